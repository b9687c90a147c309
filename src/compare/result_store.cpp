#include "compare/result_store.h"

#include "compare/table_result_node.h"

ResultStore::ResultStore() = default;
ResultStore::~ResultStore() = default;

TableResult* ResultStore::AddTableResult(const TablePair* pair, CaptionList captions,
                                         std::wstring query1, std::wstring query2)
{
    ObjectLock lock(Mutex());
    results_.push_back(
        std::make_unique<TableResult>(std::move(captions), std::move(query1), std::move(query2)));
    current_ = results_.back().get();
    byPair_[pair] = current_;
    return current_;
}

bool ResultStore::HasCurrent() const
{
    ObjectLock lock(Mutex());
    return current_ != nullptr;
}

TableResult* ResultStore::Current() const
{
    ObjectLock lock(Mutex());
    return current_;
}

void ResultStore::AddToCurrent(std::unique_ptr<RecordDiffItem> item)
{
    ObjectLock lock(Mutex());
    ObjectLock resultLock(current_->Mutex());
    current_->Rows().Add(std::move(item));
}

void ResultStore::SetRest1(int firstRow, int lastRow)
{
    ObjectLock lock(Mutex());
    ObjectLock resultLock(current_->Mutex());
    current_->Rows().SetRest(ResultRowSource::kDatabase1, firstRow, lastRow);
}

void ResultStore::SetRest2(int firstRow, int lastRow)
{
    ObjectLock lock(Mutex());
    ObjectLock resultLock(current_->Mutex());
    current_->Rows().SetRest(ResultRowSource::kDatabase2, firstRow, lastRow);
}

void ResultStore::SetCounts(int equal, int firstOnly, int secondOnly, int modified)
{
    ObjectLock lock(Mutex());
    ObjectLock resultLock(current_->Mutex());
    current_->SetCounts(equal, firstOnly, secondOnly, modified);
}

int ResultStore::ResultCount() const
{
    ObjectLock lock(Mutex());
    return static_cast<int>(results_.size());
}

TableResult* ResultStore::TableResultAt(int index) const
{
    ObjectLock lock(Mutex());
    if (index < 0 || index >= static_cast<int>(results_.size()))
        return nullptr;
    return results_[index].get();
}

TableResult* ResultStore::FindTableResult(const TablePair* pair) const
{
    ObjectLock lock(Mutex());
    auto it = byPair_.find(pair);
    return it == byPair_.end() ? nullptr : it->second;
}

const CaptionList* ResultStore::ColumnCaptionsAt(int index) const
{
    const TableResult* result = TableResultAt(index);
    return result ? &result->Captions() : nullptr;
}

const CaptionList* ResultStore::ColumnCaptionsOf(const TablePair* pair) const
{
    const TableResult* result = FindTableResult(pair);
    return result ? &result->Captions() : nullptr;
}

int ResultStore::LineCountAt(int index) const
{
    const TableResult* result = TableResultAt(index);
    if (!result)
        return 0;
    ObjectLock lock(result->Mutex());
    return result->Rows().LineCount();
}

int ResultStore::CountAt(int index) const
{
    const TableResult* result = TableResultAt(index);
    if (!result)
        return 0;
    ObjectLock lock(result->Mutex());
    return result->Rows().Count();
}

int ResultStore::LocateLineAt(int index, int line, int& offset) const
{
    offset = 0;
    const TableResult* result = TableResultAt(index);
    if (!result)
        return 0;
    ObjectLock lock(result->Mutex());
    return result->Rows().LocateLine(line, offset);
}

std::vector<RecordDiffItem*> ResultStore::GetRowsAt(int index, int start, int count)
{
    ObjectLock lock(Mutex());  // the pools are the store's
    const TableResult* result = TableResultAt(index);
    if (!result)
        return {};
    ObjectLock resultLock(result->Mutex());
    pools_.Rewind();
    return result->Rows().GetRows(start, count, pools_);
}

void ResultStore::VisitTable(const TablePair* pair, StoredItemVisitor& visitor) const
{
    if (const TableResult* result = FindTableResult(pair))
        VisitTableResult(result, visitor);
}

void ResultStore::VisitTableResult(const TableResult* result, StoredItemVisitor& visitor) const
{
    if (!result)
        return;
    ObjectLock lock(result->Mutex());
    result->Rows().Visit(0, visitor, true, [this] { return IsAborted(); });
}

std::unique_ptr<TableResultNode> ResultStore::CreateView(int tableIndex, bool firstOnly,
                                                         bool secondOnly, bool modified, bool equal)
{
    auto node = std::make_unique<TableResultNode>(*this, tableIndex, firstOnly, secondOnly,
                                                  modified, equal);
    DeliverNewRecords(*node, tableIndex);
    return node;
}

int ResultStore::DeliverNewRecords(TableResultNode& node, int tableIndex)
{
    const TableResult* result = TableResultAt(tableIndex);
    if (!result)
        return 0;
    // Node before result, the order the records view takes them in when it refreshes.
    ObjectLock nodeLock(node.Mutex());
    ObjectLock lock(result->Mutex());
    node.Receive(result->Rows());
    return 0;
}
