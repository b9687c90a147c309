// Helpers of the comparison tests: schemas built in code, in-memory databases, and
// a whole comparison run through the context with real threads.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "compare/comparison_context.h"
#include "compare/data_compare_worker.h"
#include "compare/record_diff_item.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "database/database_schema.h"
#include "database/schema_key.h"
#include "memory_database.h"

namespace testsupport {

inline SchemaTable* AddTable(DatabaseSchema& schema, const std::wstring& name,
                             const std::vector<std::wstring>& fields,
                             const std::vector<std::wstring>& primaryKey = {})
{
    auto table = std::make_unique<SchemaTable>(name);
    for (const auto& field : fields)
        table->AddField(std::make_unique<SchemaField>(table.get(), field, nullptr, 0, false,
                                                      std::nullopt, 0, 0, true, false, L""));
    if (!primaryKey.empty()) {
        auto key = std::make_unique<SchemaKey>(table.get(), L"PrimaryKey", L"", SchemaKey::kPrimary,
                                               0, 0, false);
        for (const auto& column : primaryKey)
            key->AddColumn(column, L"");
        table->AddKey(std::move(key));
    }
    return schema.AddTable(std::move(table));
}

// Lends a database to a context that wants to own its connections. With `keeper`, the
// connection keeps the database alive, so a run that was let go may outlive its lender.
class BorrowedConnection : public RecordConnection {
public:
    explicit BorrowedConnection(RecordConnection& target,
                                std::shared_ptr<RecordConnection> keeper = nullptr)
        : target_(target), keeper_(std::move(keeper))
    {
    }
    std::unique_ptr<RecordCursor> CreateCursor(const std::wstring& statement) override
    {
        return target_.CreateCursor(statement);
    }
    automation::Variant ExecuteScalar(const std::wstring& statement) override
    {
        return target_.ExecuteScalar(statement);
    }
    void Close() override { target_.Close(); }

private:
    RecordConnection& target_;
    std::shared_ptr<RecordConnection> keeper_;
};

// One stored item in a comparable form: kind letter and rows.
struct StoredRow {
    char kind;  // '1' Database1 only, '2' Database2 only, 'M' modified, '=' equal
    int row1;
    int row2;
    std::vector<int> changed;
    friend bool operator==(const StoredRow&, const StoredRow&) = default;
    friend std::ostream& operator<<(std::ostream& os, const StoredRow& r)
    {
        os << r.kind << "(" << r.row1 << "," << r.row2 << ")";
        for (int c : r.changed)
            os << " " << c;
        return os;
    }
};

class StoredRowCollector : public StoredItemVisitor {
public:
    std::vector<StoredRow> rows;
    void VisitEqual(EqualSideRecordItem& i) override { rows.push_back({'=', i.Row(), 0, {}}); }
    void VisitModified(ModifiedDiffItem& i) override
    {
        rows.push_back({'M', i.Row1(), i.Row2(), i.ChangedFields()});
    }
    void VisitSecondOnly(SecondSideRecordItem& i) override
    {
        rows.push_back({'2', 0, i.Row(), {}});
    }
    void VisitFirstOnly(SideRecordItem& i) override { rows.push_back({'1', i.Row(), 0, {}}); }
};

// Two schemas, two in-memory databases and a context over them. The runs share the
// databases, which live until the last run that reads them has ended, so a run that was let
// go never reads a database that is gone.
class ComparisonHarness {
private:
    std::shared_ptr<MemoryDatabase> owned1_ = std::make_shared<MemoryDatabase>();
    std::shared_ptr<MemoryDatabase> owned2_ = std::make_shared<MemoryDatabase>();

public:
    DatabaseSchema schema1{L"one.mdb"};
    DatabaseSchema schema2{L"two.mdb"};
    MemoryDatabase& db1 = *owned1_;
    MemoryDatabase& db2 = *owned2_;
    std::unique_ptr<ComparisonContext> context;

    ComparisonHarness() { UseContext(NewContext()); }

    // A context over the harness's databases.
    std::unique_ptr<ComparisonContext> NewContext()
    {
        return std::make_unique<ComparisonContext>(
            [db1 = owned1_, db2 = owned2_](int side) -> std::unique_ptr<RecordConnection> {
                const auto& db = side == 1 ? db1 : db2;
                return std::make_unique<BorrowedConnection>(*db, db);
            });
    }

    // Counts the completion notices of the new context only.
    void UseContext(std::unique_ptr<ComparisonContext> replacement)
    {
        context = std::move(replacement);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = 0;
        }
        context->SetCompletionCallback([this] {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ += 1;
            cv_.notify_all();
        });
    }

    // A table of the same name and columns on both sides, keyed by its first column.
    void AddBoth(const std::wstring& name, const std::vector<std::wstring>& columns,
                 std::vector<Row> rows1, std::vector<Row> rows2, std::vector<std::wstring> key = {})
    {
        if (key.empty())
            key = {columns.front()};
        AddTable(schema1, name, columns, key);
        AddTable(schema2, name, columns, key);
        db1.AddTable(name, columns, std::move(rows1));
        db2.AddTable(name, columns, std::move(rows2));
    }

    TablePairList& Pairs()
    {
        if (!context->PairList())
            context->BuildTablePairs(schema1, schema2);
        return *context->PairList();
    }

    void Start()
    {
        Pairs();
        context->PrepareDataComparison();
        context->StartThreads();
    }

    // Waits for the completion notice; false when it did not come in time.
    bool WaitFinished(std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, limit, [this] { return finished_ > 0; });
    }

    // Runs the whole comparison to its end.
    void Run()
    {
        Start();
        ASSERT_TRUE(WaitFinished());
        ASSERT_EQ(context->StopAndWait(), ComparisonContext::kWaitObject0);
    }

    std::vector<StoredRow> StoredRows(int tableIndex)
    {
        StoredRowCollector collector;
        context->Store()->VisitTableResult(context->Store()->TableResultAt(tableIndex), collector);
        return collector.rows;
    }

    std::array<int, 4> Counts(int tableIndex)
    {
        TableResult* result = context->Store()->TableResultAt(tableIndex);
        EXPECT_TRUE(result);
        return result ? result->Counts() : std::array<int, 4>{};
    }

    int Finished()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return finished_;
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    int finished_ = 0;
};

inline automation::Variant I(int32_t v)
{
    return automation::Variant(v);
}
inline automation::Variant T(const wchar_t* v)
{
    return automation::Variant(v);
}
inline automation::Variant N()
{
    return automation::Variant::Null();
}

}  // namespace testsupport
