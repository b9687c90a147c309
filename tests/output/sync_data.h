// Random tables and rows for the synchronisation round trips: every column type of the store,
// composite and text keys, NULL keys, empty strings, control characters, binary values over
// several base64 lines, dates, money and decimals, and foreign keys between tables and to the
// table itself.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "output/sync_fixture.h"

namespace synctest {

enum class Kind {
    Long,
    Short,
    Byte,
    Text,
    Memo,
    Double,
    Single,
    Money,
    Decimal,
    Date,
    YesNo,
    Binary,
    Guid
};

struct KindInfo {
    Kind kind;
    const wchar_t* ddl;
    int adoType;
};

inline const std::vector<KindInfo>& AllKinds()
{
    static const std::vector<KindInfo> kinds = {
        {Kind::Long, L"LONG", 3},
        {Kind::Short, L"SHORT", 2},
        {Kind::Byte, L"BYTE", 17},
        {Kind::Text, L"TEXT(60)", 202},
        {Kind::Memo, L"MEMO", 203},
        {Kind::Double, L"DOUBLE", 5},
        {Kind::Single, L"SINGLE", 4},
        {Kind::Money, L"CURRENCY", 6},
        {Kind::Decimal, L"DECIMAL(18,4)", 131},
        {Kind::Date, L"DATETIME", 7},
        {Kind::YesNo, L"YESNO", 11},
        {Kind::Binary, L"LONGBINARY", 205},
        {Kind::Guid, L"GUID", 72},
    };
    return kinds;
}

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    int Int(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
    bool Chance(int percent) { return Int(1, 100) <= percent; }

    std::wstring Text(int maxLength)
    {
        static const std::vector<std::wstring> pieces = {
            L"a", L"B", L"z", L" ", L"\"", L"'", L"\r\n", L"\n", L"\t", L"\u00e9", L"\u4e2d", L"&",
            L",", L";", L"(", L")", L"chr(", L"--", L"#", L"0", L"9", L"x y",
            // Texts of the statement forms themselves inside values.
            L" WHERE ", L") VALUES (", L"base64(\""};
        std::wstring text;
        int count = Int(0, maxLength / 2);
        while (static_cast<int>(text.size()) < maxLength && count-- > 0)
            text += pieces[Int(0, static_cast<int>(pieces.size()) - 1)];
        if (static_cast<int>(text.size()) > maxLength)
            text.resize(maxLength);
        return text;
    }

    Variant Value(Kind kind)
    {
        switch (kind) {
            case Kind::Long:
                return Variant(static_cast<int32_t>(Int(INT32_MIN, INT32_MAX)));
            case Kind::Short:
                return Variant(static_cast<int16_t>(Int(-32768, 32767)));
            case Kind::Byte:
                return Variant(static_cast<uint8_t>(Int(0, 255)));
            case Kind::Text:
                return Variant(Text(60));
            case Kind::Memo:
                return Variant(Text(400));
            case Kind::Double: {
                double d;
                do {
                    d = std::bit_cast<double>(std::uniform_int_distribution<uint64_t>()(rng_));
                } while (!std::isfinite(d) || d == 0 || std::fabs(std::log10(std::fabs(d))) > 280);
                // At most 15 significant digits, magnitudes within 1e-280..1e280: the store's
                // reader of SQL number literals rounds some longer literals and some near the ends
                // of the range to a neighbouring double (a fault of the store, not of the script;
                // the script's own number text is checked digit-exact elsewhere).
                char text[32];
                std::snprintf(text, sizeof text, "%.15g", d);
                return Variant(Chance(30) ? Int(-1000, 1000) / 8.0 : std::strtod(text, nullptr));
            }
            case Kind::Single: {
                float f;
                do {
                    f = std::bit_cast<float>(std::uniform_int_distribution<uint32_t>()(rng_));
                } while (!std::isfinite(f) || f == 0);
                return Variant(f);
            }
            case Kind::Money:
                return Variant(automation::Currency{std::uniform_int_distribution<int64_t>(
                    -9000000000000000000LL, 9000000000000000000LL)(rng_)});
            case Kind::Decimal: {
                int64_t units = std::uniform_int_distribution<int64_t>(-99999999999999LL,
                                                                       99999999999999LL)(rng_);
                std::wstring text = std::to_wstring(units / 10000) + L"." +
                                    std::to_wstring(std::llabs(units % 10000) + 10000).substr(1);
                if (units < 0 && units / 10000 == 0)
                    text = L"-" + text;
                return automation::ChangeType(Variant(text), automation::VT_DECIMAL);
            }
            case Kind::Date: {
                double day = Int(0, 3) == 0 ? 0 : Int(1, 73000);
                double seconds = Int(0, 3) == 0 ? 0 : Int(0, 86399);
                if (day == 0 && seconds == 0)
                    seconds = 1;
                return Variant::FromDate(day + seconds / 86400.0);
            }
            case Kind::YesNo:
                return Variant(Chance(50));
            case Kind::Binary: {
                std::vector<uint8_t> bytes(Int(1, 3) == 1 ? Int(0, 3) : Int(50, 300));
                for (auto& b : bytes)
                    b = static_cast<uint8_t>(Int(0, 255));
                return Variant(automation::SafeArray(std::move(bytes)));
            }
            case Kind::Guid: {
                static const wchar_t* hex = L"0123456789ABCDEF";
                std::wstring g = L"{";
                for (int i = 0; i < 32; ++i) {
                    if (i == 8 || i == 12 || i == 16 || i == 20)
                        g += L'-';
                    g += hex[Int(0, 15)];
                }
                return Variant(g + L"}");
            }
        }
        return Variant::Null();
    }

    std::mt19937& Engine() { return rng_; }

private:
    std::mt19937 rng_;
};

// One generated database pair: the tables, the rows of each side.
struct PairData {
    std::vector<TableDef> tables;
    std::vector<std::vector<Kind>> kinds;  // per table, per column
    std::vector<std::vector<Row>> rows1;
    std::vector<std::vector<Row>> rows2;
};

// Parent (id key, self-reference), Child (composite text and number key, references Parent),
// Loose (no primary key; nullable number and text key fields). Each gets random value columns.
inline PairData GeneratePair(Generator& g, int rowsPerTable)
{
    PairData data;
    auto addValueColumns = [&](TableDef& table, std::vector<Kind>& kinds) {
        std::vector<KindInfo> pool = AllKinds();
        std::shuffle(pool.begin(), pool.end(), g.Engine());
        int count = g.Int(3, static_cast<int>(pool.size()));
        for (int i = 0; i < count; ++i) {
            table.columns.push_back({L"v" + std::to_wstring(i), pool[i].ddl, pool[i].adoType});
            kinds.push_back(pool[i].kind);
        }
    };
    TableDef parent{L"Parent",
                    {{L"id", L"LONG", 3}, {L"up", L"LONG", 3}},
                    {L"id"},
                    true,
                    {{L"up", L"Parent", L"id"}}};
    TableDef child{L"Child Rows",
                   {{L"code", L"TEXT(20)", 202}, {L"n", L"SHORT", 2}, {L"parent", L"LONG", 3}},
                   {L"code", L"n"},
                   true,
                   {{L"parent", L"Parent", L"id"}}};
    TableDef loose{
        L"Loose", {{L"k1", L"LONG", 3}, {L"k2", L"TEXT(10)", 202}}, {L"k1", L"k2"}, false, {}};
    // Half the schemas also hold a cycle of foreign keys (Child Rows and Loose refer to each
    // other); the script must still order every table and apply.
    if (g.Chance(50)) {
        child.foreignKeys.push_back({L"n", L"Loose", L"k1"});
        loose.foreignKeys.push_back({L"k1", L"Child Rows", L"n"});
    }
    std::vector<Kind> parentKinds{Kind::Long, Kind::Long};
    std::vector<Kind> childKinds{Kind::Text, Kind::Short, Kind::Long};
    std::vector<Kind> looseKinds{Kind::Long, Kind::Text};
    addValueColumns(parent, parentKinds);
    addValueColumns(child, childKinds);
    addValueColumns(loose, looseKinds);
    // The child table comes first in schema order, so only the dependency order puts the parent
    // before it.
    data.tables = {child, parent, loose};
    data.kinds = {childKinds, parentKinds, looseKinds};

    auto valueColumns = [&](const std::vector<Kind>& kinds, size_t firstValue, Row& row) {
        for (size_t c = firstValue; c < kinds.size(); ++c)
            row.push_back(g.Chance(10) ? Variant::Null() : g.Value(kinds[c]));
    };
    // Keys of each table as generated; a key is a row's leading values.
    std::vector<Row> base[3];
    std::set<int> parentIds;
    for (int i = 0; i < rowsPerTable; ++i) {
        int id = g.Int(-50, 400);
        if (!parentIds.insert(id).second)
            continue;
        Row row{Variant(int32_t(id)), parentIds.size() > 1 && g.Chance(60)
                                          ? Variant(int32_t(*parentIds.begin()))
                                          : Variant::Null()};
        valueColumns(parentKinds, 2, row);
        base[1].push_back(std::move(row));
    }
    std::set<std::pair<std::wstring, int>> childKeys;
    static const std::vector<std::wstring> codes = {
        L"", L"a", L"A", L"ab", L"a\rb", L"\u00e9", L"z\"q", L"b c", L"\t", L"k WHERE x"};
    for (int i = 0; i < rowsPerTable; ++i) {
        std::wstring code = codes[g.Int(0, static_cast<int>(codes.size()) - 1)];
        int n = g.Int(-3, 3);
        if (!childKeys.insert({code, n}).second)
            continue;
        Row row{Variant(code), Variant(int16_t(n)),
                Variant(int32_t(*std::next(parentIds.begin(),
                                           g.Int(0, static_cast<int>(parentIds.size()) - 1))))};
        valueColumns(childKinds, 3, row);
        base[0].push_back(std::move(row));
    }
    std::set<std::pair<int, std::wstring>> looseKeys;  // -1000: NULL number, L"\x1": NULL text
    for (int i = 0; i < rowsPerTable; ++i) {
        int k1 = g.Chance(20) ? -1000 : g.Int(0, 4);
        std::wstring k2 = g.Chance(20) ? L"\x1" : codes[g.Int(0, 3)];
        if (!looseKeys.insert({k1, k2}).second)
            continue;
        Row row{k1 == -1000 ? Variant::Null() : Variant(int32_t(k1)),
                k2 == L"\x1" ? Variant::Null() : Variant(k2)};
        valueColumns(looseKinds, 2, row);
        base[2].push_back(std::move(row));
    }

    // Each side: some rows deleted, some values changed, some rows only on that side.
    auto side = [&](std::vector<std::vector<Row>>& out) {
        out.assign(3, {});
        for (int t = 0; t < 3; ++t) {
            size_t keyCount = data.tables[t].keys.size();
            for (const Row& row : base[t]) {
                if (g.Chance(8))
                    continue;
                Row copy = row;
                if (g.Chance(15))
                    for (size_t c = keyCount; c < copy.size(); ++c)
                        if (g.Chance(50))
                            copy[c] = g.Chance(10) ? Variant::Null() : g.Value(data.kinds[t][c]);
                out[t].push_back(std::move(copy));
            }
        }
        // Rows only on this side: parents with fresh ids.
        for (int i = 0; i < rowsPerTable / 10 + 1; ++i) {
            int id = g.Int(1000, 100000);
            Row row{Variant(int32_t(id)), Variant(int32_t(id))};
            valueColumns(parentKinds, 2, row);
            out[1].push_back(std::move(row));
        }
    };
    side(data.rows1);
    side(data.rows2);
    // A fresh parent id may have been drawn on both sides: keep the first of equal keys.
    for (auto* rows : {&data.rows1[1], &data.rows2[1]}) {
        std::set<int> seen;
        rows->erase(std::remove_if(rows->begin(), rows->end(),
                                   [&](const Row& r) { return !seen.insert(r[0].lVal()).second; }),
                    rows->end());
    }
    return data;
}

inline void WriteStore(const std::wstring& path, const PairData& data,
                       const std::vector<std::vector<Row>>& rows)
{
    CreateStore(path, data.tables);
    for (size_t t = 0; t < data.tables.size(); ++t)
        InsertRows(path, data.tables[t], rows[t]);
}

}  // namespace synctest
