// Recordset positions: 1-based AbsolutePosition, settable to any row at any
// time (also after EOF), and the same row for the same position on a rerun.
#include <thread>

#include "platform/automation/wide_text.h"
#include "store_fixture.h"

namespace providertest {
namespace {

class PositionTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        Run(L"CREATE TABLE r (k TEXT(10), v LONG)");
        // Duplicate keys: ties must still come back in one fixed order.
        const wchar_t* keys[] = {L"d", L"b", L"a", L"c", L"b", L"a"};
        for (int i = 0; i < 6; ++i)
            Run(std::wstring(L"INSERT INTO r VALUES ('") + keys[i] + L"', " + std::to_wstring(i) +
                L")");
    }

    std::vector<int32_t> ReadAll(const Ptr<Recordset>& rs)
    {
        std::vector<int32_t> values;
        for (; !rs->IsEOF(); rs->MoveNext())
            values.push_back(rs->Fields()->Item(L"v")->Value().lVal());
        return values;
    }
};

// A value moved out of the current row is read again when the row is asked for
// before the cursor moves: at the row itself, re-positioned onto it, and on any
// row revisited later; the taking reader gets each row's own value.
TEST_F(PositionTest, TakenValuesAreReadAgainWhenTheRowIsAskedFor)
{
    for (const wchar_t* sql :
         {L"SELECT k, v FROM r ORDER BY k", L"SELECT DISTINCT k, v FROM r ORDER BY k, v"}) {
        const std::vector<int32_t> all = ReadAll(Query(sql));
        auto rs = Query(sql);
        std::vector<int32_t> taken;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const long pos = rs->AbsolutePosition();
            taken.push_back(rs->Fields()->Item(L"v")->TakeValue().lVal());
            if (pos == 2) {
                EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[1]);
            }
            if (pos == 4) {
                rs->Fields()->Item(L"k")->TakeValue();
                rs->SetAbsolutePosition(pos);
                // Sorted keys a, a, b, b, c, d in both statements.
                EXPECT_EQ(rs->Fields()->Item(L"k")->Value().bstrVal(), L"b");
            }
        }
        EXPECT_EQ(taken, all);
        for (long pos : {4L, 1L, 6L}) {
            rs->SetAbsolutePosition(pos);
            EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[pos - 1]);
        }
        rs->SetAbsolutePosition(6);
        rs->MoveNext();
        EXPECT_THROW(rs->Fields()->Item(0L)->TakeValue(), automation::ComError);
    }
}

// A whole row taken into the reader's own values: each row's values, reusing the
// reader's text memory, while the row itself stays readable through its fields,
// before and after the take, streamed or revisited.
TEST_F(PositionTest, TakenRowsLeaveTheRowReadable)
{
    for (const wchar_t* sql :
         {L"SELECT k, v FROM r ORDER BY k", L"SELECT DISTINCT k, v FROM r ORDER BY k, v"}) {
        const std::vector<int32_t> all = ReadAll(Query(sql));
        auto rs = Query(sql);
        Variant k = Variant(std::wstring(40, L'z')), v;
        Variant* slots[] = {&k, &v};
        std::vector<int32_t> taken;
        for (; !rs->IsEOF(); rs->MoveNext()) {
            const long pos = rs->AbsolutePosition();
            if (pos == 3) {
                EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[2]);
            }
            rs->TakeRow(slots);
            taken.push_back(v.lVal());
            EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[pos - 1]);
            EXPECT_EQ(rs->Fields()->Item(L"k")->Value(), k);
        }
        EXPECT_EQ(taken, all);
        EXPECT_THROW(rs->TakeRow(slots), automation::ComError);
        for (long pos : {5L, 2L}) {
            rs->SetAbsolutePosition(pos);
            rs->TakeRow(slots);
            EXPECT_EQ(v.lVal(), all[pos - 1]);
            v = Variant();
            rs->TakeRow(slots);  // taken twice: the row's values both times
            EXPECT_EQ(v.lVal(), all[pos - 1]);
            EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[pos - 1]);
            EXPECT_EQ(rs->Fields()->Item(L"k")->Value(), k);
        }
    }
}

TEST_F(PositionTest, AbsolutePositionReachesAnyRowEvenAfterEof)
{
    for (const wchar_t* sql :
         {L"SELECT k, v FROM r ORDER BY k", L"SELECT DISTINCT k, v FROM r ORDER BY k, v"}) {
        auto rs = Query(sql);
        EXPECT_EQ(rs->AbsolutePosition(), 1);
        std::vector<int32_t> all = ReadAll(rs);
        ASSERT_EQ(all.size(), 6u);
        EXPECT_TRUE(rs->IsEOF());
        EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
        for (long pos : {3L, 1L, 6L, 2L, 2L}) {
            rs->SetAbsolutePosition(pos);
            EXPECT_EQ(rs->AbsolutePosition(), pos);
            EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[pos - 1]);
        }
        rs->SetAbsolutePosition(5);
        rs->MoveNext();
        EXPECT_EQ(rs->Fields()->Item(L"v")->Value().lVal(), all[5]);
        rs->MoveNext();
        EXPECT_TRUE(rs->IsEOF());
        EXPECT_THROW(rs->Fields()->Item(0L)->Value(), automation::ComError);
        EXPECT_THROW(rs->MoveNext(), automation::ComError);
        EXPECT_THROW(rs->SetAbsolutePosition(7), automation::ComError);
        EXPECT_THROW(rs->SetAbsolutePosition(0), automation::ComError);
        // A second run of the same statement puts the same rows at the same places.
        EXPECT_EQ(ReadAll(Query(sql)), all);
    }
}

TEST_F(PositionTest, RevisitedRowsKeepComputedColumns)
{
    auto rs = Query(L"SELECT 'x FROM y' & k AS label, v * 2 AS twice FROM r ORDER BY v");
    rs->SetAbsolutePosition(6);
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(rs->Fields()->Item(L"label")->Value(), Variant(L"x FROM yb"));
    EXPECT_EQ(rs->Fields()->Item(L"twice")->Value(), Variant(2));
}

TEST_F(PositionTest, SeekingAheadBeforeReadingWorks)
{
    auto rs = Query(L"SELECT v FROM r ORDER BY k DESC");
    rs->SetAbsolutePosition(4);
    int32_t fourth = rs->Fields()->Item(0L)->Value().lVal();
    rs->SetAbsolutePosition(1);
    std::vector<int32_t> all = ReadAll(rs);
    EXPECT_EQ(all[3], fourth);
    EXPECT_EQ(all.front(), 0);  // 'd'
}

// A long run of rows read again under a hold comes from one snapshot, which keeps no other
// connection from writing; once the hold is let go the rows read what was committed since.
TEST_F(PositionTest, HeldReadsSeeOneSnapshotUntilLetGo)
{
    auto rs = Query(L"SELECT v FROM r ORDER BY v");
    ASSERT_EQ(ReadAll(rs).size(), 6u);
    rs->HoldReads(true);
    auto other = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
    other->Open(JetString(path));
    other->Execute(L"UPDATE r SET v = v + 100", nullptr, adCmdText | adExecuteNoRecords);
    for (long pos = 1; pos <= 6; ++pos) {
        rs->SetAbsolutePosition(pos);
        EXPECT_EQ(rs->Fields()->Item(0L)->Value().lVal(), pos - 1);
    }
    rs->HoldReads(false);
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(rs->Fields()->Item(0L)->Value().lVal(), 101);
}

TEST_F(PositionTest, TwoThreadsReadThroughOneConnection)
{
    // The comparison's worker streams one recordset while a view re-reads
    // rows of another over the same connection.
    for (int i = 0; i < 10; ++i)
        Run(L"INSERT INTO r SELECT k, v + " + std::to_wstring((i + 1) * 6) + L" FROM r");
    auto streamed = Query(L"SELECT v FROM r ORDER BY v");
    long sum = 0;
    std::thread worker([&] {
        for (; !streamed->IsEOF(); streamed->MoveNext())
            sum += streamed->Fields()->Item(0L)->Value().lVal() >= 0 ? 1 : 0;
    });
    long seen = 0;
    for (int i = 0; i < 50; ++i) {
        auto rs = Query(L"SELECT count(*) FROM r WHERE v >= " + std::to_wstring(i));
        seen += rs->Fields()->Item(0L)->Value().lVal() > 0;
    }
    worker.join();
    EXPECT_EQ(sum, 6 * 1024);
    EXPECT_EQ(seen, 50);
}

// A long forward read of row images goes on over connections of its own once it has read
// some thousand rows. Another connection deleting, inserting and changing rows meanwhile must
// cost no row it left alone: every such row arrives once, in order, and its position reads it
// back afterwards. A read whose reading ahead is ended early goes on where it was.
TEST_F(PositionTest, ALongReadLosesNoRowWhileAnotherConnectionWrites)
{
    // A key made with the table is read in the table's own order, one added later by its index.
    const std::vector<std::vector<std::wstring>> layouts = {
        {L"CREATE TABLE big (k LONG PRIMARY KEY, v LONG)"},
        {L"CREATE TABLE big (k LONG, v LONG)", L"CREATE INDEX pk ON big (k) WITH PRIMARY"},
    };
    for (const std::vector<std::wstring>& layout : layouts) {
        SCOPED_TRACE(automation::ToUtf8(layout.back()));
        ErrorOf(L"DROP TABLE big");
        for (const std::wstring& sql : layout)
            Run(sql);
        Run(L"INSERT INTO big VALUES (1, 1)");
        for (int have = 1; have < 40000; have *= 2)
            Run(L"INSERT INTO big SELECT k + " + std::to_wstring(have) + L", v FROM big");
        Run(L"DELETE FROM big WHERE k > 40000");
        auto rs = Query(L"SELECT k, v FROM big ORDER BY k");
        const std::vector<provider::RowImage::Kind> kinds = rs->ImageKinds();
        provider::RowImage image;
        {
            // A read whose reading ahead ends early goes on at the row after the last one read.
            auto early = Query(L"SELECT k, v FROM big ORDER BY k");
            int64_t expected = 1;
            for (; expected <= 12000; ++expected) {
                early->TakeImageAndMoveNext(image, kinds.data());
                ASSERT_EQ(image.columns[0].i, expected);
            }
            early->EndReadAhead();
            for (; !early->IsEOF(); ++expected) {
                if (expected % 2) {
                    early->TakeImageAndMoveNext(image, kinds.data());
                    ASSERT_EQ(image.columns[0].i, expected);
                } else {
                    ASSERT_EQ(early->Fields()->Item(0L)->Value().lVal(), expected);
                    early->MoveNext();
                }
            }
            EXPECT_EQ(expected, 40001);
        }
        std::vector<int64_t> keys;
        auto other = automation::CreateObjectAs<Connection>(L"ADODB.Connection");
        other->Open(JetString(path));
        while (!rs->IsEOF()) {
            rs->TakeImageAndMoveNext(image, kinds.data());
            ASSERT_EQ(image.columns[0].kind, provider::RowImage::Integer);
            keys.push_back(image.columns[0].i);
            if (keys.size() == 10000) {
                other->Execute(L"DELETE FROM big WHERE k > 20000 AND k MOD 3 = 0", nullptr,
                               adCmdText | adExecuteNoRecords);
                other->Execute(L"INSERT INTO big SELECT k + 100000, v FROM big WHERE k > 39000",
                               nullptr, adCmdText | adExecuteNoRecords);
                other->Execute(L"UPDATE big SET v = 2 WHERE k > 30000", nullptr,
                               adCmdText | adExecuteNoRecords);
            }
        }
        for (size_t i = 1; i < keys.size(); ++i)
            ASSERT_LT(keys[i - 1], keys[i]) << "at row " << i;
        size_t next = 0;
        for (int64_t k = 1; k <= 40000; ++k) {
            while (next < keys.size() && keys[next] < k)
                ++next;
            if (k <= 20000 || k % 3 != 0) {
                ASSERT_TRUE(next < keys.size() && keys[next] == k) << "row " << k << " is missing";
            }
        }
        for (long pos : {1L, 9000L, 15000L, 25000L, static_cast<long>(keys.size())}) {
            rs->SetAbsolutePosition(pos);
            const Variant k = rs->Fields()->Item(0L)->Value();
            if (!k.IsNull()) {
                EXPECT_EQ(k.lVal(), keys[size_t(pos - 1)]) << "position " << pos;
            }
        }
    }
}

TEST_F(PositionTest, EmptyResultIsAtBofAndEof)
{
    auto rs = Query(L"SELECT * FROM r WHERE v > 100");
    EXPECT_TRUE(rs->IsEOF());
    EXPECT_TRUE(rs->IsBOF());
    EXPECT_EQ(rs->AbsolutePosition(), adPosEOF);
    EXPECT_EQ(rs->Fields()->Count(), 2);
    EXPECT_EQ(rs->Fields()->Item(1L)->Name(), L"v");
    EXPECT_EQ(rs->Fields()->Item(L"K")->DefinedSize(), 10);
    EXPECT_THROW(rs->Fields()->Item(L"nope"), automation::ComError);
    rs->Close();
    EXPECT_EQ(rs->State(), adStateClosed);
    EXPECT_THROW(rs->IsEOF(), automation::ComError);
}

TEST_F(PositionTest, ClosingTheConnectionClosesItsRecordsets)
{
    auto rs = Query(L"SELECT v FROM r");
    auto field = rs->Fields()->Item(0L);
    connection->Close();
    EXPECT_THROW(field->Value(), automation::ComError);
    EXPECT_THROW(rs->MoveNext(), automation::ComError);
}

}  // namespace
}  // namespace providertest
