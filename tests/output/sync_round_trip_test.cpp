// End to end on real store files: compare two stores, write the script for a direction, apply it
// to a copy of the target with the script executor, and read the copy back independently.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>

#include "compare/comparison_options.h"
#include "output/direct_sync.h"
#include "output/foreign_key_order.h"
#include "output/script_file_writer.h"
#include "output/sync_data.h"
#include "sqlexec/options.h"
#include "sqlexec/progress.h"
#include "sqlexec/script_executor.h"
#include "sqlexec/script_helper.h"
#include "sqlexec/text_file_writer.h"

namespace synctest {
namespace {

constexpr int kNull = INT32_MIN;

struct Choices {
    bool insert;
    bool update;
    bool erase;
};

class SyncRoundTripTest : public ::testing::Test {
protected:
    // Writes the script of one direction; fails the test when the writer fails.
    std::wstring WriteScript(ComparedStores& stores, int direction, Choices choices,
                             const char* name, int encoding = TextFileWriter::kUtf8)
    {
        std::wstring path = Path(dir, name);
        ScriptFileWriter writer(*stores.schema1, *stores.schema2, stores.Store(), stores.Reader(),
                                stores.Pairs(), path, encoding, direction, choices.insert,
                                choices.update, choices.erase);
        FakeProgress progress;
        writer.Run(progress);
        EXPECT_FALSE(writer.Failed()) << automation::ToUtf8(writer.ErrorText());
        return path;
    }

    // Runs a script against a store with stop-on-error on; returns the error text.
    std::wstring Apply(const std::wstring& script, const std::wstring& target)
    {
        SQLExecutor::ScriptHelper helper;
        EXPECT_TRUE(helper.Load(script));
        ConnectionSettings settings;
        settings.path = target;
        Options options;
        options.stopOnError = true;
        SQLExecutor::ScriptExecutor executor(settings, helper.GetText(), false, options);
        FakeProgress progress;
        executor.Run(progress);
        return executor.IsStopped() ? executor.GetErrorText() : std::wstring();
    }

    std::wstring CopyOf(const std::wstring& path, const char* name)
    {
        std::wstring copy = Path(dir, name);
        std::filesystem::copy_file(automation::ToUtf8(path), automation::ToUtf8(copy),
                                   std::filesystem::copy_options::overwrite_existing);
        return copy;
    }

    void ExpectSameRows(const PairData& data, const std::wstring& actual,
                        const std::wstring& expected, const std::string& context,
                        bool nullIsEmpty = false)
    {
        for (const auto& table : data.tables) {
            std::string got = DumpTable(actual, table, nullIsEmpty);
            std::string want = DumpTable(expected, table, nullIsEmpty);
            EXPECT_EQ(got, want) << context << " table " << automation::ToUtf8(table.name);
        }
    }

    // One direction over copies of both stores, applied three ways: by the direct
    // synchronisation, by the script executor and by crvconsole. Each target is returned.
    struct Applied {
        std::wstring script;  // the script's text
        std::vector<std::wstring> targets;
    };
    Applied ApplyEveryWay(const std::vector<TableDef>& tables, const std::wstring& path1,
                          const std::wstring& path2, int direction, Choices choices,
                          int encoding = TextFileWriter::kUtf8)
    {
        const std::string tag = std::to_string(direction);
        std::wstring copy1 = CopyOf(path1, ("direct1_" + tag + ".mdb").c_str());
        std::wstring copy2 = CopyOf(path2, ("direct2_" + tag + ".mdb").c_str());
        std::wstring original = direction == 1 ? path1 : path2;
        Applied applied;
        std::wstring script;
        {
            ComparedStores stores(copy1, copy2, tables);
            script =
                WriteScript(stores, direction, choices, ("to" + tag + ".sql").c_str(), encoding);
            DirectSync sync(direction, script, false, stores.Context());
            FakeProgress progress;
            sync.Run(progress);
            EXPECT_FALSE(sync.Failed())
                << "direct, direction " << tag << ": " << automation::ToUtf8(sync.ErrorText());
        }
        applied.targets.push_back(direction == 1 ? copy1 : copy2);
        std::wstring byExecutor = CopyOf(original, ("executor" + tag + ".mdb").c_str());
        EXPECT_EQ(Apply(script, byExecutor), L"") << "executor, direction " << tag;
        applied.targets.push_back(byExecutor);
        std::wstring byConsole = CopyOf(original, ("console" + tag + ".mdb").c_str());
        EXPECT_EQ(ApplyWithConsole(dir, script, byConsole), L"") << "crvconsole, direction " << tag;
        applied.targets.push_back(byConsole);
        SQLExecutor::ScriptHelper text;
        EXPECT_TRUE(text.Load(script));
        applied.script = text.GetText();
        return applied;
    }

    // Known rows on each side: both scripts apply every way and each target then equals its
    // source. Returns the text of the script upgrading Database1.
    // after1, after2: statements run on each side once its rows are in.
    std::wstring ExpectBothDirections(const std::vector<TableDef>& tables,
                                      const std::vector<std::vector<Row>>& rows1,
                                      const std::vector<std::vector<Row>>& rows2,
                                      const std::vector<std::wstring>& after1 = {},
                                      const std::vector<std::wstring>& after2 = {})
    {
        std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
        std::filesystem::remove(automation::ToUtf8(path1));
        std::filesystem::remove(automation::ToUtf8(path2));
        CreateStore(path1, tables);
        CreateStore(path2, tables);
        for (size_t t = 0; t < tables.size(); ++t) {
            InsertRows(path1, tables[t], rows1[t]);
            InsertRows(path2, tables[t], rows2[t]);
        }
        for (const auto& sql : after1)
            Execute(path1, sql);
        for (const auto& sql : after2)
            Execute(path2, sql);
        std::wstring script1;
        for (int direction : {1, 2}) {
            Applied applied = ApplyEveryWay(tables, path1, path2, direction, {true, true, true});
            if (direction == 1)
                script1 = applied.script;
            for (const auto& target : applied.targets)
                for (const auto& table : tables)
                    EXPECT_EQ(DumpTable(target, table),
                              DumpTable(direction == 1 ? path2 : path1, table))
                        << "direction " << direction << " " << automation::ToUtf8(target);
        }
        return script1;
    }

    std::wstring ExpectBothDirections(const TableDef& table, const std::vector<Row>& rows1,
                                      const std::vector<Row>& rows2)
    {
        return ExpectBothDirections(std::vector<TableDef>{table}, {rows1}, {rows2});
    }

    testsupport::TempDir dir;
};

// Generated pairs hold every column type, a table referring to itself through chains and
// cycles that the file enforces, an AutoNumber field that is no key, a table compared by a field
// that is not its primary key and one without any primary key. Scripts go out in UTF-8, UTF-16
// and ANSI, and every third pair is compared with "Treat empty strings and NULL as the same".
TEST_F(SyncRoundTripTest, ApplyingTheScriptMakesTheTargetEqualTheSourceInBothDirections)
{
    // SYNC_SEED replays one generated pair and keeps its files in /tmp/sync_seed.
    const char* only = std::getenv("SYNC_SEED");
    const int first = only ? std::atoi(only) : 1;
    const int last = only ? first : 15;
    const int encodings[] = {TextFileWriter::kUtf8, TextFileWriter::kUtf16, TextFileWriter::kAnsi};
    for (int seed = first; seed <= last; ++seed) {
        Generator g(static_cast<unsigned>(seed));
        const int encoding = encodings[seed % 3];
        g.ansi = encoding == TextFileWriter::kAnsi;
        const bool nullIsEmpty = seed % 3 == 1;
        PairData data = GeneratePair(g, g.Int(0, 25));
        AddHarderTables(g, data, g.Int(1, 20), true);
        std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
        std::filesystem::remove(automation::ToUtf8(path1));
        std::filesystem::remove(automation::ToUtf8(path2));
        WriteStore(path1, data, data.rows1);
        WriteStore(path2, data, data.rows2);
        ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(nullIsEmpty));
        std::string context = "seed " + std::to_string(seed);
        if (seed % 9 == 0) {
            // Now and then every way of applying it: direct, executor and crvconsole.
            for (int direction : {1, 2}) {
                Applied applied = ApplyEveryWay(data.tables, path1, path2, direction,
                                                {true, true, true}, encoding);
                for (const auto& target : applied.targets)
                    ExpectSameRows(data, target, direction == 1 ? path2 : path1,
                                   context + " every way, direction " + std::to_string(direction),
                                   nullIsEmpty);
            }
        } else {
            std::wstring script1, script2;
            {
                ComparedStores stores(path1, path2, data.tables);
                script1 = WriteScript(stores, 1, {true, true, true}, "to1.sql", encoding);
                script2 = WriteScript(stores, 2, {true, true, true}, "to2.sql", encoding);
            }
            std::wstring target1 = CopyOf(path1, "target1.mdb");
            std::wstring target2 = CopyOf(path2, "target2.mdb");
            EXPECT_EQ(Apply(script1, target1), L"") << context;
            EXPECT_EQ(Apply(script2, target2), L"") << context;
            ExpectSameRows(data, target1, path2, context + " direction 1", nullIsEmpty);
            ExpectSameRows(data, target2, path1, context + " direction 2", nullIsEmpty);
        }
        if (only)
            std::filesystem::copy(dir.path(), "/tmp/sync_seed",
                                  std::filesystem::copy_options::overwrite_existing |
                                      std::filesystem::copy_options::recursive);
        if (HasFailure())
            break;
    }
    ComparisonOptions::SaveNullEqualsEmpty(false);
}

// The rows a target holds after applying only some choices, computed from the generated sides:
// keys are a row's leading key values.
std::vector<std::vector<Row>> Expected(const PairData& data,
                                       const std::vector<std::vector<Row>>& target,
                                       const std::vector<std::vector<Row>>& source, Choices c)
{
    std::vector<std::vector<Row>> out(data.tables.size());
    for (size_t t = 0; t < data.tables.size(); ++t) {
        size_t keys = data.tables[t].keys.size();
        auto key = [keys](const Row& r) {
            std::vector<std::wstring> k;
            for (size_t i = 0; i < keys; ++i)
                k.push_back(r[i].IsNull() ? L"\x1" : CellValue(r[i]).ToText());
            return k;
        };
        std::map<std::vector<std::wstring>, const Row*> sourceByKey, targetByKey;
        for (const Row& r : source[t])
            sourceByKey[key(r)] = &r;
        for (const Row& r : target[t])
            targetByKey[key(r)] = &r;
        for (const Row& r : target[t]) {
            auto it = sourceByKey.find(key(r));
            if (it == sourceByKey.end()) {
                if (!c.erase)
                    out[t].push_back(r);
            } else {
                out[t].push_back(c.update ? *it->second : r);
            }
        }
        for (const Row& r : source[t])
            if (c.insert && !targetByKey.count(key(r)))
                out[t].push_back(r);
    }
    return out;
}

TEST_F(SyncRoundTripTest, EachChoiceAloneChangesOnlyWhatItNames)
{
    const Choices choices[] = {{true, false, false}, {false, true, false}, {false, false, true},
                               {true, true, false},  {false, true, true},  {true, false, true}};
    for (unsigned seed : {7u, 8u}) {
        Generator g(seed);
        // Seed 8: an ANSI script, with "Treat empty strings and NULL as the same" on.
        const bool nullIsEmpty = seed == 8;
        const int encoding = seed == 8 ? TextFileWriter::kAnsi : TextFileWriter::kUtf16;
        g.ansi = encoding == TextFileWriter::kAnsi;
        ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(nullIsEmpty));
        PairData data = GeneratePair(g, 30);
        AddHarderTables(g, data, 15, false);
        std::wstring path1 = Path(dir, "one.mdb"), path2 = Path(dir, "two.mdb");
        std::filesystem::remove(automation::ToUtf8(path1));
        std::filesystem::remove(automation::ToUtf8(path2));
        WriteStore(path1, data, data.rows1);
        WriteStore(path2, data, data.rows2);
        int n = 0;
        for (const Choices& c : choices) {
            for (int direction : {1, 2}) {
                std::string context = "seed " + std::to_string(seed) + " choice " +
                                      std::to_string(n) + " direction " + std::to_string(direction);
                std::wstring script;
                {
                    ComparedStores stores(path1, path2, data.tables);
                    script = WriteScript(stores, direction, c, "part.sql", encoding);
                }
                const auto& target = direction == 1 ? data.rows1 : data.rows2;
                const auto& source = direction == 1 ? data.rows2 : data.rows1;
                std::wstring applied = CopyOf(direction == 1 ? path1 : path2, "applied.mdb");
                EXPECT_EQ(Apply(script, applied), L"") << context;
                std::wstring expected = Path(dir, "expected.mdb");
                std::filesystem::remove(automation::ToUtf8(expected));
                WriteStore(expected, data, Expected(data, target, source, c));
                ExpectSameRows(data, applied, expected, context, nullIsEmpty);
            }
            ++n;
        }
    }
    ComparisonOptions::SaveNullEqualsEmpty(false);
}

TEST_F(SyncRoundTripTest, RowsWithBinaryKeysOfAnyLengthAreUpdatedAndDeletedByTheirKey)
{
    const TableDef table{
        L"Blobs", {{L"k", L"BINARY(8)", 128}, {L"v", L"TEXT(10)", 202}}, {L"k"}, true, {}};
    auto key = [](std::vector<uint8_t> bytes) { return Variant(automation::SafeArray(bytes)); };
    // Keys of one to eight bytes, odd and even, with bytes that as 16-bit units would be
    // surrogates (00 D8, FF DF) and keys that are prefixes of one another.
    std::wstring script = ExpectBothDirections(
        table,
        {{key({1, 0}), Variant(L"same")},
         {key({0x41, 0, 0x42, 0}), Variant(L"old")},
         {key({0xFF, 0xFF, 0, 1}), Variant(L"gone")},
         {key({7}), Variant(L"old")},
         {key({0x62, 0x61, 0x7A}), Variant(L"old")},
         {key({0x62, 0x61}), Variant(L"old")},
         {key({0, 0xD8, 0xFF, 0xDF, 5}), Variant(L"old")},
         {key({9, 9, 9, 9, 9, 9, 9}), Variant(L"gone")}},
        {{key({1, 0}), Variant(L"same")},
         {key({0x41, 0, 0x42, 0}), Variant(L"new")},
         {key({9, 8, 7, 6, 5, 4}), Variant(L"added")},
         {key({7}), Variant(L"new")},
         {key({0x62, 0x61, 0x7A}), Variant(L"new")},
         {key({0x62, 0x61}), Variant(L"old")},
         {key({0, 0xD8, 0xFF, 0xDF, 5}), Variant(L"new")},
         {key({9, 9, 9, 9, 9, 9, 9, 9}), Variant(L"added")}});
    EXPECT_NE(script.find(L"UPDATE [Blobs] SET [v]=\"new\" WHERE [k]=ChrB(65) & ChrB(0) & "
                          L"ChrB(66) & ChrB(0);"),
              std::wstring::npos)
        << automation::ToUtf8(script);
    EXPECT_NE(script.find(L"UPDATE [Blobs] SET [v]=\"new\" WHERE [k]=ChrB(7);"),
              std::wstring::npos);
    EXPECT_NE(script.find(L"DELETE FROM [Blobs] WHERE [k]=ChrB(255) & ChrB(255) & ChrB(0) & "
                          L"ChrB(1);"),
              std::wstring::npos);
}

TEST_F(SyncRoundTripTest, RowsWithSingleDoubleAndDateKeysAreMatchedExactly)
{
    const TableDef table{L"Measures",
                         {{L"s", L"SINGLE", 4},
                          {L"d", L"DOUBLE", 5},
                          {L"t", L"DATETIME", 7},
                          {L"v", L"TEXT(10)", 202}},
                         {L"s", L"d", L"t"},
                         true,
                         {}};
    auto row = [](float s, double d, double t, const wchar_t* v) {
        return Row{Variant(s), Variant(d), Variant::FromDate(t), Variant(v)};
    };
    const double noon = 45356.5, time = 50829.0 / 86400.0;
    ExpectBothDirections(table,
                         {row(0.1f, 0.1, noon, L"old"), row(1.0f / 3, 1e-200, 45356, L"gone"),
                          row(-2.5f, 2.0 / 3, time, L"same")},
                         {row(0.1f, 0.1, noon, L"new"), row(3.4e38f, -1e200, 1, L"added"),
                          row(-2.5f, 2.0 / 3, time, L"same")});
}

Row Ints(std::initializer_list<int> values)
{
    Row row;
    for (int v : values)
        row.push_back(v == kNull ? Variant::Null() : Variant(int32_t(v)));
    return row;
}

TEST_F(SyncRoundTripTest, ATableReferringToItselfGetsParentsBeforeChildrenAndCyclesStillApply)
{
    const TableDef table{
        L"E", {{L"ID", L"LONG", 3}, {L"Boss", L"LONG", 3}}, {L"ID"}, true, {{L"Boss", L"E", L"ID"}},
        true};
    // Key order is the reverse of the reference order; 10 and 11 refer to each other, 20 to
    // itself, on both sides in rows that only one side holds.
    std::wstring script = ExpectBothDirections(
        {table}, {{Ints({7, kNull}), Ints({30, kNull}), Ints({31, 30}), Ints({40, kNull})}},
        {{Ints({5, kNull}), Ints({3, 5}), Ints({1, 3}), Ints({7, 1}), Ints({10, kNull}),
          Ints({11, 10}), Ints({20, kNull})}},
        {L"UPDATE [E] SET [Boss]=31 WHERE [ID]=30", L"UPDATE [E] SET [Boss]=40 WHERE [ID]=40"},
        {L"UPDATE [E] SET [Boss]=11 WHERE [ID]=10", L"UPDATE [E] SET [Boss]=20 WHERE [ID]=20"});
    size_t parent = script.find(L"INSERT INTO [E] ([ID], [Boss]) VALUES (5, NULL);");
    size_t child = script.find(L"INSERT INTO [E] ([ID], [Boss]) VALUES (3, 5);");
    ASSERT_NE(parent, std::wstring::npos) << automation::ToUtf8(script);
    EXPECT_LT(parent, child);
    EXPECT_NE(script.find(L"UPDATE [E] SET [Boss]=20 WHERE [ID]=20;"), std::wstring::npos);
    // The table that refers to itself did not take the order away from the tables between them.
    const TableDef owner{L"Owner", {{L"ID", L"LONG", 3}}, {L"ID"}, true, {}};
    TableDef owned = table;
    owned.foreignKeys.push_back({L"ID", L"Owner", L"ID"});
    auto schema = BuildSchema(Path(dir, "one.mdb"), {owned, owner});
    auto order = ForeignKeyOrder(schema->Tables());
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0]->Name(), L"Owner");
}

TEST_F(SyncRoundTripTest, AnAutoNumberFieldThatIsNoKeyIsNeverSetByAnUpdate)
{
    const TableDef table = CountedTable();
    auto row = [](const wchar_t* code, int n, const wchar_t* v) {
        return Row{Variant(code), Variant(int32_t(n)), Variant(v)};
    };
    std::wstring script = ExpectBothDirections(table, {row(L"a", 1, L"old"), row(L"c", 3, L"gone")},
                                               {row(L"a", 1, L"new"), row(L"b", 2, L"x")});
    EXPECT_NE(script.find(L"UPDATE [C] SET [V]=\"new\" WHERE [Code]=\"a\";"), std::wstring::npos)
        << automation::ToUtf8(script);
    EXPECT_EQ(script.find(L"AutoNumber"), std::wstring::npos) << automation::ToUtf8(script);

    // An AutoNumber value that differs is named in a comment and stays; the rest is updated.
    std::wstring path1 = Path(dir, "n1.mdb"), path2 = Path(dir, "n2.mdb");
    CreateStore(path1, {table});
    CreateStore(path2, {table});
    InsertRows(path1, table, {row(L"a", 1, L"old")});
    InsertRows(path2, table, {row(L"a", 7, L"new")});
    Applied applied = ApplyEveryWay({table}, path1, path2, 1, {true, true, true});
    EXPECT_NE(
        applied.script.find(L"\r\n-- The AutoNumber field [N] of [C] differs (7 in the "
                            L"source); it cannot be changed and is left as it is: WHERE "
                            L"[Code]=\"a\"\r\nUPDATE [C] SET [V]=\"new\" WHERE [Code]=\"a\";"),
        std::wstring::npos)
        << automation::ToUtf8(applied.script);
    for (const auto& target : applied.targets)
        EXPECT_EQ(DumpTable(target, table), "'a'|1|'new'\n") << automation::ToUtf8(target);
    // The header names the table whose rows keep a different AutoNumber value.
    EXPECT_EQ(applied.script.find(L"-- Corvina 2.1\r\n\r\n-- An AutoNumber field cannot be "
                                  L"changed, so rows of these tables keep AutoNumber values that "
                                  L"differ from the source: [C]\r\n\r\n"),
              0u)
        << automation::ToUtf8(applied.script);
}

TEST_F(SyncRoundTripTest, TheLargestAndSmallestFloatsAndSinglesAreWrittenBack)
{
    const float fmax = std::numeric_limits<float>::max();
    const double dmax = std::numeric_limits<double>::max();
    const TableDef values{
        L"V", {{L"k", L"LONG", 3}, {L"s", L"SINGLE", 4}, {L"d", L"DOUBLE", 5}}, {L"k"}, true, {}};
    const TableDef keyed{L"K", {{L"s", L"SINGLE", 4}, {L"t", L"TEXT(5)", 202}}, {L"s"}, true, {}};
    auto v = [](int k, float s, double d) {
        return Row{Variant(int32_t(k)), Variant(s), Variant(d)};
    };
    auto key = [](float s, const wchar_t* t) { return Row{Variant(s), Variant(t)}; };
    const float fmin = std::numeric_limits<float>::denorm_min();
    std::wstring script = ExpectBothDirections(
        {values, keyed},
        {{v(1, 1.5f, 1.5), v(2, fmax, dmax), v(4, -fmax, -dmax)},
         {key(fmax, L"old"), key(-fmax, L"gone"), key(fmin, L"old")}},
        {{v(1, fmax, std::numeric_limits<double>::min()), v(3, -fmax, -dmax),
          v(2, fmin, std::numeric_limits<double>::denorm_min())},
         {key(fmax, L"new"), key(std::numeric_limits<float>::min(), L"added"), key(fmin, L"new")}});
    EXPECT_NE(script.find(L"UPDATE [K] SET [t]=\"new\" WHERE [s]=3.4028235e+38;"),
              std::wstring::npos)
        << automation::ToUtf8(script);
}

TEST_F(SyncRoundTripTest, EveryDateTheStoreHoldsSurvivesFractionsOfASecondAndDaysBefore1899)
{
    std::vector<double> dates = {36526.123456789, -1.75,   -2.000011574074074,
                                 -657434.5,       -657434, 2958465.999988426,
                                 1.0 / 86400 / 3, 0.5,     -1.0,
                                 45356.5 + 1e-9};
    std::mt19937 rng(22);
    std::uniform_real_distribution<double> anywhere(-657434.0, 2958465.99);
    for (int i = 0; i < 60; ++i) {
        double d = anywhere(rng);
        if (i % 3 == 0)  // a whole second, or a step beside one
            d = std::nextafter(std::round(d * 86400) / 86400, i % 2 ? 1e9 : -1e9);
        if (d > -1 && d < 0)
            d = -d;  // the same moment as its positive twin, which the store keeps
        dates.push_back(d);
    }
    const TableDef values{L"D", {{L"k", L"LONG", 3}, {L"d", L"DATETIME", 7}}, {L"k"}, true, {}};
    const TableDef keyed{
        L"DK", {{L"d", L"DATETIME", 7}, {L"v", L"TEXT(5)", 202}}, {L"d"}, true, {}};
    std::vector<Row> rows1, rows2, keys1, keys2;
    for (size_t i = 0; i < dates.size(); ++i) {
        Variant date = Variant::FromDate(dates[i]);
        rows1.push_back(
            {Variant(int32_t(i)), i % 4 ? Variant::FromDate(40000.25) : Variant::Null()});
        rows2.push_back({Variant(int32_t(i)), date});
        if (i % 5 != 1)
            keys1.push_back({date, Variant(i % 5 ? L"old" : L"gone")});
        if (i % 5 != 0)
            keys2.push_back({date, Variant(L"new")});
    }
    std::wstring script = ExpectBothDirections({values, keyed}, {rows1, keys1}, {rows2, keys2});
    EXPECT_NE(script.find(L"SET [d]=CDate(36526.123456789) WHERE [k]=0;"), std::wstring::npos);
    EXPECT_NE(script.find(L"SET [d]=#12/29/1899 18:00:00# WHERE [k]=1;"), std::wstring::npos)
        << automation::ToUtf8(script.substr(0, 3000));
}

}  // namespace
}  // namespace synctest
