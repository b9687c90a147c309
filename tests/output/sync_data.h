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
#include <limits>
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
        while (static_cast<int>(text.size()) < maxLength && count-- > 0) {
            const std::wstring& piece = pieces[Int(0, static_cast<int>(pieces.size()) - 1)];
            if (!ansi || piece != L"\u4e2d")
                text += piece;
        }
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
                if (Chance(10)) {
                    const double extremes[] = {std::numeric_limits<double>::max(),
                                               -std::numeric_limits<double>::max(),
                                               std::numeric_limits<double>::min(),
                                               std::numeric_limits<double>::denorm_min()};
                    return Variant(extremes[Int(0, 3)]);
                }
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
                if (Chance(15)) {
                    const float extremes[] = {std::numeric_limits<float>::max(),
                                              -std::numeric_limits<float>::max(),
                                              std::numeric_limits<float>::min(),
                                              -std::numeric_limits<float>::denorm_min()};
                    return Variant(extremes[Int(0, 3)]);
                }
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
                if (Chance(25))  // before 12/30/1899: days backwards, the time forward
                    day = -Int(1, 657434);
                if (day == 0 && seconds == 0)
                    seconds = 1;
                double time = seconds / 86400.0;
                if (Chance(25))  // a fraction of a second
                    time = std::uniform_real_distribution<double>(0, 0.99999)(rng_);
                return Variant::FromDate(day < 0 ? day - time : day + time);
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

    // Texts only of characters an ANSI script can hold.
    bool ansi = false;

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

// Adds the harder tables to a generated pair: Tree refers to itself (chains and cycles of
// references, enforced by the file when `enforce`), Counted has an AutoNumber field that is not
// its key, Alt is compared by a field that is not its primary key.
inline void AddHarderTables(Generator& g, PairData& data, int rowsPerTable, bool enforce)
{
    auto valueColumns = [&](TableDef& table, std::vector<Kind>& kinds, int count) {
        static const Kind pool[] = {Kind::Text, Kind::Date, Kind::Single, Kind::Double, Kind::Memo};
        for (int i = 0; i < count; ++i) {
            Kind kind = pool[g.Int(0, 4)];
            for (const auto& info : AllKinds())
                if (info.kind == kind)
                    table.columns.push_back({L"v" + std::to_wstring(i), info.ddl, info.adoType});
            kinds.push_back(kind);
        }
    };
    TableDef tree{L"Tree",
                  {{L"id", L"LONG", 3}, {L"up", L"LONG", 3}},
                  {L"id"},
                  true,
                  {{L"up", L"Tree", L"id"}},
                  enforce};
    TableDef counted{
        L"Counted", {{L"code", L"TEXT(10)", 202}, {L"n", L"COUNTER", 3}}, {L"code"}, true, {}};
    TableDef alt{
        L"Alt", {{L"code", L"TEXT(10)", 202}, {L"id", L"LONG", 3}}, {L"code"}, true, {}, false,
        {L"id"}};
    std::vector<Kind> treeKinds{Kind::Long, Kind::Long}, countedKinds{Kind::Text, Kind::Long},
        altKinds{Kind::Text, Kind::Long};
    valueColumns(tree, treeKinds, g.Int(1, 2));
    valueColumns(counted, countedKinds, g.Int(1, 2));
    valueColumns(alt, altKinds, g.Int(1, 2));
    const size_t first = data.tables.size();
    data.tables.insert(data.tables.end(), {tree, counted, alt});
    data.kinds.insert(data.kinds.end(), {treeKinds, countedKinds, altKinds});
    auto values = [&](const std::vector<Kind>& kinds, Row& row) {
        for (size_t c = 2; c < kinds.size(); ++c)
            row.push_back(g.Chance(10) ? Variant::Null() : g.Value(kinds[c]));
    };
    // Keys shared by both sides, then each side drops some, changes some and adds its own.
    std::set<int> ids;
    while (static_cast<int>(ids.size()) < rowsPerTable)
        ids.insert(g.Int(1, 400));
    std::vector<std::wstring> codes;
    for (int i = 0; i < rowsPerTable; ++i)
        codes.push_back(g.Text(6) + L"#" + std::to_wstring(i));
    for (auto* side : {&data.rows1, &data.rows2}) {
        side->resize(first + 3);
        std::vector<int> own;
        for (int id : ids)
            if (!g.Chance(10))
                own.push_back(id);
        for (int i = 0; i < rowsPerTable / 5 + 1; ++i)
            own.push_back(100000 * (side == &data.rows1 ? 1 : 2) + i);
        for (int id : own) {
            // A parent on the same side, itself now and then, or none.
            Row row{Variant(int32_t(id)),
                    g.Chance(25)
                        ? Variant::Null()
                        : Variant(int32_t(own[g.Int(0, static_cast<int>(own.size()) - 1)]))};
            values(treeKinds, row);
            (*side)[first].push_back(std::move(row));
        }
        for (size_t i = 0; i < codes.size(); ++i) {
            if (g.Chance(10))
                continue;
            Row row{Variant(codes[i]), Variant(int32_t(i + 1))};
            values(countedKinds, row);
            (*side)[first + 1].push_back(std::move(row));
            Row other{Variant(codes[i]), Variant(int32_t(1000 + i))};
            values(altKinds, other);
            (*side)[first + 2].push_back(std::move(other));
        }
        // Rows of this side only; their AutoNumber and primary key values are the side's own.
        for (int i = 0; i < rowsPerTable / 5 + 1; ++i) {
            int n = (side == &data.rows1 ? 5000 : 6000) + i;
            Row row{Variant(L"only" + std::to_wstring(n)), Variant(int32_t(n))};
            Row other = row;
            values(countedKinds, row);
            values(altKinds, other);
            (*side)[first + 1].push_back(std::move(row));
            (*side)[first + 2].push_back(std::move(other));
        }
    }
}

// Stores the rows. A table whose file enforces its references to itself gets them by UPDATEs
// once all its rows are in, so that any order and any cycle of references can be written.
inline void WriteStore(const std::wstring& path, const PairData& data,
                       const std::vector<std::vector<Row>>& rows)
{
    CreateStore(path, data.tables);
    for (size_t t = 0; t < data.tables.size(); ++t) {
        const TableDef& table = data.tables[t];
        if (!table.enforceSelfReferences) {
            InsertRows(path, table, rows[t]);
            continue;
        }
        std::vector<Row> without = rows[t];
        std::vector<size_t> columns;
        for (const auto& fk : table.foreignKeys)
            for (size_t c = 0; c < table.columns.size(); ++c)
                if (fk.relatedTable == table.name && table.columns[c].name == fk.column)
                    columns.push_back(c);
        for (Row& row : without)
            for (size_t c : columns)
                row[c] = Variant::Null();
        InsertRows(path, table, without);
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
        for (const Row& row : rows[t])
            for (size_t c : columns)
                if (!row[c].IsNull())
                    connection->Run(L"UPDATE [" + table.name + L"] SET [" + table.columns[c].name +
                                        L"]=? WHERE [" + table.keys[0] + L"]=?",
                                    {row[c], row[0]}, nullptr, provider::adodb::adCmdText);
        connection->Close();
    }
}

}  // namespace synctest
