#include "compare/data_compare_model.h"

#include "compare/category_record_list.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/table_result_node.h"

DataCompareModel::DataCompareModel(const TablePairList& pairs, ResultStore& store,
                                   DataReader& reader)
    : pairs_(pairs), store_(store), reader_(reader)
{
}

DataCompareModel::~DataCompareModel() = default;

RecordRowSource* DataCompareModel::GetRecordSource(int tableIndex)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!source_ || tableIndex != currentIndex_) {
        source_.reset();
        currentIndex_ = tableIndex;
        node_.reset();
        node_ =
            store_.CreateView(tableIndex, switches_[0], switches_[1], switches_[2], switches_[3]);
        source_ = std::make_unique<CategoryRecordList>(*node_, reader_, tableIndex);
    }
    return source_.get();
}

std::wstring DataCompareModel::KeyNote(const TableResult& result)
{
    std::wstring note;
    for (int side = 0; side < 2; ++side) {
        if (const auto& value = result.DuplicateKey(side))
            note += (note.empty() ? L"Key not unique in Db" : L"; in Db") +
                    std::to_wstring(side + 1) + L": " + *value;
    }
    return note;
}

std::vector<TableRow> DataCompareModel::BuildTableRows(int& started)
{
    int currentIndex = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        started = startedTables_;
        currentIndex = currentIndex_;
    }
    std::vector<TableRow> rows;
    int i = 0;
    for (const auto& pair : pairs_.Pairs()) {
        if (!pair->IsMatched())
            continue;
        TableRow row;
        row.name1 = pair->First()->Name();
        row.name2 = pair->Second()->Name();
        row.started = i < started;
        row.current = i == currentIndex;
        std::array<int, 4> counts{};
        if (const TableResult* result = store_.FindTableResult(pair.get())) {
            ObjectLock resultLock(result->Mutex());
            counts = result->Counts();
            row.keyNote = KeyNote(*result);
        }
        for (int k = 0; k < 4; ++k)
            row.counts[k] = std::to_wstring(counts[k]);
        rows.push_back(std::move(row));
        ++i;
    }
    return rows;
}

void DataCompareModel::SetCategoryFilter(bool firstOnly, bool secondOnly, bool modified, bool equal)
{
    std::lock_guard<std::mutex> lock(mutex_);
    switches_[0] = firstOnly;
    switches_[1] = secondOnly;
    switches_[2] = modified;
    switches_[3] = equal;
    source_.reset();
    node_.reset();
}

void DataCompareModel::OnProgress(int tablesDone, int processed, int total)
{
    bool tablesGrew = false;
    bool refreshed = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (tablesDone == startedTables_) {
            startedTables_ += 1;
            tablesGrew = true;
        }
        if (tablesDone == currentIndex_ && source_) {
            source_->Refresh();
            refreshed = true;
        }
    }
    if (tablesGrew && tablesChanged)
        tablesChanged();
    if (recordProgress)
        recordProgress(processed, total);
    if (refreshed && recordsChanged)
        recordsChanged();
}

void DataCompareModel::OnTableDone(int count)
{
    if (tableDone)
        tableDone(count);
}
