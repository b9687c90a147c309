// The merge of two key-ordered streams into equal, Database1-only, Database2-only
// and modified records, run through the context on real threads.
#include <gtest/gtest.h>

#include "compare/comparison_options.h"
#include "compare/read_ahead_stream.h"
#include "comparison_fixture.h"

namespace {

using namespace testsupport;

struct MergeCase {
    const char* what;
    std::vector<std::wstring> columns;
    std::vector<std::wstring> key;
    std::vector<Row> rows1;
    std::vector<Row> rows2;
    bool nullEqualsEmpty;
    std::vector<StoredRow> expected;
    std::array<int, 4> counts;  // equal, Database1 only, Database2 only, modified
};

// A case is named by what it tries, so that the test's name is readable and the same in every
// build (not the bytes of the parameter).
void PrintTo(const MergeCase& c, std::ostream* os)
{
    *os << c.what;
}

class RecordMergeTest : public testing::TestWithParam<MergeCase> {};

TEST_P(RecordMergeTest, StoresEveryOutcomeInKeyOrder)
{
    const MergeCase& c = GetParam();
    ASSERT_TRUE(ComparisonOptions::SaveNullEqualsEmpty(c.nullEqualsEmpty));
    ComparisonHarness h;
    h.AddBoth(L"T", c.columns, c.rows1, c.rows2, c.key);
    h.Run();
    EXPECT_FALSE(h.context->HasError()) << h.context->ErrorText().size();
    EXPECT_EQ(h.StoredRows(0), c.expected) << c.what;
    EXPECT_EQ(h.Counts(0), c.counts) << c.what;
}

const std::vector<std::wstring> kIdName = {L"id", L"name"};

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordMergeTest,
    testing::Values(MergeCase{"equal rows",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {I(2), T(L"b")}},
                              {{I(2), T(L"b")}, {I(1), T(L"a")}},
                              false,
                              {{'=', 1, 0, {}}, {'=', 2, 0, {}}},
                              {2, 0, 0, 0}},
                    MergeCase{"only in Database1 between matches",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {I(2), T(L"b")}, {I(3), T(L"c")}},
                              {{I(1), T(L"a")}, {I(3), T(L"c")}},
                              false,
                              {{'=', 1, 0, {}}, {'1', 2, 0, {}}, {'=', 3, 0, {}}},
                              {2, 1, 0, 0}},
                    MergeCase{"only in Database2 between matches",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {I(3), T(L"c")}},
                              {{I(1), T(L"a")}, {I(2), T(L"b")}, {I(3), T(L"c")}},
                              false,
                              {{'=', 1, 0, {}}, {'2', 0, 2, {}}, {'=', 2, 0, {}}},
                              {2, 0, 1, 0}},
                    MergeCase{"modified lists the differing fields",
                              {L"id", L"a", L"b"},
                              {},
                              {{I(1), T(L"x"), I(5)}},
                              {{I(1), T(L"y"), I(5)}},
                              false,
                              {{'M', 1, 1, {1}}},
                              {0, 0, 0, 1}},
                    MergeCase{"rest of Database1 is a range",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {I(2), T(L"b")}, {I(3), T(L"c")}, {I(4), T(L"d")}},
                              {{I(1), T(L"a")}},
                              false,
                              {{'=', 1, 0, {}}, {'1', 2, 0, {}}, {'1', 3, 0, {}}, {'1', 4, 0, {}}},
                              {1, 3, 0, 0}},
                    MergeCase{"rest of Database2 is a range",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}},
                              {{I(0), T(L"z")}, {I(1), T(L"a")}, {I(2), T(L"b")}},
                              false,
                              {{'2', 0, 1, {}}, {'=', 1, 0, {}}, {'2', 0, 3, {}}},
                              {1, 0, 2, 0}},
                    MergeCase{"empty Database2 table: one range from row 1",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {I(2), T(L"b")}},
                              {},
                              false,
                              {{'1', 1, 0, {}}, {'1', 2, 0, {}}},
                              {0, 2, 0, 0}},
                    MergeCase{"both tables empty", kIdName, {}, {}, {}, false, {}, {0, 0, 0, 0}},
                    MergeCase{"NULL keys sort first and match each other",
                              kIdName,
                              {},
                              {{I(1), T(L"a")}, {N(), T(L"n")}},
                              {{N(), T(L"n")}, {I(1), T(L"a")}},
                              false,
                              {{'=', 1, 0, {}}, {'=', 2, 0, {}}},
                              {2, 0, 0, 0}},
                    MergeCase{"a NULL key never matches an empty-text key",
                              {L"k", L"v"},
                              {},
                              {{N(), I(1)}},
                              {{T(L""), I(1)}},
                              true,
                              {{'1', 1, 0, {}}, {'2', 0, 1, {}}},
                              {0, 1, 1, 0}},
                    MergeCase{"text keys differing in case do not match",
                              {L"k", L"v"},
                              {},
                              {{T(L"abc"), I(1)}},
                              {{T(L"ABC"), I(1)}},
                              false,
                              {{'2', 0, 1, {}}, {'1', 1, 0, {}}},
                              {0, 1, 1, 0}},
                    MergeCase{"composite keys compare in field order",
                              {L"a", L"b", L"v"},
                              {L"a", L"b"},
                              {{I(1), I(1), T(L"p")}, {I(1), I(2), T(L"q")}, {I(2), I(1), T(L"r")}},
                              {{I(1), I(2), T(L"Q")}, {I(2), I(1), T(L"r")}, {I(2), I(2), T(L"s")}},
                              false,
                              {{'1', 1, 0, {}}, {'M', 2, 1, {2}}, {'=', 3, 0, {}}, {'2', 0, 3, {}}},
                              {1, 1, 1, 1}},
                    MergeCase{"NULL against empty text is a change without the setting",
                              kIdName,
                              {},
                              {{I(1), N()}},
                              {{I(1), T(L"")}},
                              false,
                              {{'M', 1, 1, {1}}},
                              {0, 0, 0, 1}},
                    MergeCase{"NULL against empty text is equal with the setting",
                              kIdName,
                              {},
                              {{I(1), N()}},
                              {{I(1), T(L"")}},
                              true,
                              {{'=', 1, 0, {}}},
                              {1, 0, 0, 0}},
                    MergeCase{"a money change in the fourth decimal is a modification",
                              kIdName,
                              {},
                              {{I(1), automation::Variant(automation::Currency{10001})}},
                              {{I(1), automation::Variant(automation::Currency{10002})}},
                              false,
                              {{'M', 1, 1, {1}}},
                              {0, 0, 0, 1}}));

TEST(RecordMergeReadTest, RestRangesAreNotRead)
{
    ComparisonHarness h;
    std::vector<Row> rows;
    constexpr int kRows = 50000;
    for (int i = 1; i <= kRows; ++i)
        rows.push_back({I(i), T(L"x")});
    h.AddBoth(L"T", kIdName, rows, {});
    h.Run();
    // The merge takes one Database1 row before it sees the empty side; reading ahead
    // fetches at most a window and a batch more, never the whole rest.
    EXPECT_LT(h.db1.rowsRead.load(),
              static_cast<int>(ReadAheadStream::kWindow + 2 * ReadAheadStream::kBatch));
    EXPECT_EQ(h.context->Store()->CountAt(0), kRows);
    EXPECT_EQ(h.Counts(0), (std::array<int, 4>{0, kRows, 0, 0}));
}

// A table the user keys on a field that no unique index covers: a repeat that lies wholly in
// the tail that only one side has (past the other side's last key) is found there without
// the tail's rows being read; a side whose primary key is the key costs nothing more.
TEST(RecordMergeReadTest, ARepeatInsideAnUnreadTailIsNotedWithoutReadingItsRows)
{
    constexpr int kRows = 50000;
    ComparisonHarness h;
    AddTable(h.schema1, L"T", kIdName);  // no primary key on Database1
    AddTable(h.schema2, L"T", kIdName, {L"id"});
    std::vector<Row> rows1;
    for (int i = 1; i <= kRows; ++i)
        rows1.push_back({I(i), T(L"x")});
    rows1.push_back({I(kRows - 10), T(L"y")});
    rows1.push_back({I(kRows - 3), T(L"z")});
    h.db1.AddTable(L"T", kIdName, rows1);
    h.db2.AddTable(L"T", kIdName, {{I(1), T(L"x")}, {I(2), T(L"x")}});
    h.Pairs().GetPair(0)->Fields().GetPair(0)->SetKey(true);
    h.Run();
    ASSERT_FALSE(h.context->HasError());
    EXPECT_LT(h.db1.rowsRead.load(),
              static_cast<int>(ReadAheadStream::kWindow + 2 * ReadAheadStream::kBatch));
    EXPECT_EQ(h.db1.groupQueries.load(), 1);
    EXPECT_EQ(h.db2.groupQueries.load(), 0);
    const TableResult* result = h.context->Store()->TableResultAt(0);
    ASSERT_TRUE(result);
    {
        ObjectLock lock(result->Mutex());
        // The smallest repeated value: the first of the tail in key order.
        EXPECT_EQ(result->DuplicateKey(0).value_or(L"-"), std::to_wstring(kRows - 10));
        EXPECT_EQ(result->DuplicateKey(1).value_or(L"-"), L"-");
        EXPECT_TRUE(result->RestKeysChecked());
    }
    EXPECT_EQ(h.Counts(0), (std::array<int, 4>{2, kRows, 0, 0}));
}

TEST(RecordMergeReadTest, TailsOfKeysThatTheSchemaHoldsAreNotGrouped)
{
    // Database1's tail: keyed by its primary key on one side; on the other, a repeat the merge
    // saw already (the tail's own repeat would then change nothing).
    ComparisonHarness h;
    h.AddBoth(L"P", kIdName, {{I(1), T(L"a")}, {I(2), T(L"b")}, {I(3), T(L"c")}},
              {{I(1), T(L"a")}});
    AddTable(h.schema1, L"U", kIdName);
    AddTable(h.schema2, L"U", kIdName);
    h.db1.AddTable(L"U", kIdName, {{I(1), T(L"a")}, {I(1), T(L"b")}, {I(2), T(L"c")},
                                   {I(5), T(L"d")}, {I(5), T(L"e")}});
    h.db2.AddTable(L"U", kIdName, {{I(1), T(L"a")}, {I(2), T(L"c")}, {I(3), T(L"x")},
                                   {I(3), T(L"y")}});
    const int u = h.Pairs().GetPair(0)->First()->Name() == L"U" ? 0 : 1;
    h.Pairs().GetPair(u)->Fields().GetPair(0)->SetKey(true);
    h.Run();
    ASSERT_FALSE(h.context->HasError());
    EXPECT_EQ(h.db1.groupQueries.load(), 0);
    EXPECT_EQ(h.db2.groupQueries.load(), 0);
    for (int index = 0; index < 2; ++index) {
        const TableResult* result = h.context->Store()->TableResultAt(index);
        ASSERT_TRUE(result);
        ObjectLock lock(result->Mutex());
        EXPECT_TRUE(result->RestKeysChecked());
        const bool isU = result->Query1().find(L"[U]") != std::wstring::npos;
        EXPECT_EQ(result->DuplicateKey(0).value_or(L"-"), isU ? L"1" : L"-");
        EXPECT_EQ(result->DuplicateKey(1).value_or(L"-"), isU ? L"3" : L"-");
    }
}

// A unique index lets rows hold Null in its columns as often as they like: it holds the key
// only where none of its columns admits Null.
TEST(RecordMergeReadTest, AUniqueIndexHoldsTheKeyOnlyWhereItAdmitsNoNull)
{
    struct Case {
        const char* what;
        int nulls;
        bool nullable;
        bool grouped;
    };
    for (const Case& c : {Case{"Nulls allowed", SchemaIndex::kNullsAllow, true, true},
                          Case{"Nulls barred by the index", SchemaIndex::kNullsDisallow, true,
                               false},
                          Case{"a field that is required", SchemaIndex::kNullsAllow, false,
                               false}}) {
        SCOPED_TRACE(c.what);
        ComparisonHarness h;
        for (DatabaseSchema* schema : {&h.schema1, &h.schema2}) {
            auto table = std::make_unique<SchemaTable>(L"T");
            for (const wchar_t* name : {L"id", L"name"})
                table->AddField(std::make_unique<SchemaField>(table.get(), name, nullptr, 0, false,
                                                              std::nullopt, 0, 0, c.nullable,
                                                              false, L""));
            auto index = std::make_unique<SchemaIndex>(table.get(), L"ByName", false, true, c.nulls);
            index->AddColumn(table->Fields()[1].get());
            table->AddIndex(std::move(index));
            schema->AddTable(std::move(table));
        }
        h.db1.AddTable(L"T", kIdName, {{I(1), N()}, {I(2), N()}, {I(3), T(L"c")}});
        h.db2.AddTable(L"T", kIdName, {});
        h.Pairs().GetPair(0)->Fields().GetPair(1)->SetKey(true);
        h.Run();
        ASSERT_FALSE(h.context->HasError());
        EXPECT_EQ(h.db1.groupQueries.load(), c.grouped ? 1 : 0);
        const TableResult* result = h.context->Store()->TableResultAt(0);
        ASSERT_TRUE(result);
        ObjectLock lock(result->Mutex());
        EXPECT_EQ(result->DuplicateKey(0).value_or(L"-"), c.grouped ? L"NULL" : L"-");
    }
}

TEST(RecordMergeQueryTest, StatementsAndCaptionsFollowTheFieldPairs)
{
    ComparisonHarness h;
    AddTable(h.schema1, L"Orders", {L"Name", L"ID", L"Extra"}, {L"ID"});
    AddTable(h.schema2, L"ORDERS", {L"NAME", L"id"}, {L"id"});
    TablePairList& pairs = h.Pairs();
    auto tables = DataCompareWorker::SnapshotPairs(pairs);
    ASSERT_EQ(tables.size(), 1u);
    std::wstring q1, q2;
    CaptionList captions;
    std::vector<int> keys;
    DataCompareWorker::BuildQueries(tables[0], q1, q2, captions, keys);
    EXPECT_EQ(q1, L"select [Name], [ID] from [Orders] order by [ID]");
    EXPECT_EQ(q2, L"select [NAME], [id] from [ORDERS] order by [id]");
    EXPECT_EQ(captions, (CaptionList{L"Name / NAME", L"ID / id"}));
    EXPECT_EQ(keys, (std::vector<int>{1}));
}

}  // namespace
