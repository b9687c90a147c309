// The model behind the records page: the list of compared tables with their counts,
// the kind filter, the record source of the table shown, and the progress of the
// running comparison. Progress arrives on the comparison's threads; everything else
// is called on the UI thread. The slots must not block on the UI thread.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "compare/record_row_source.h"

class CategoryRecordList;
class DataReader;
class ResultStore;
class TablePairList;
class TableResult;
class TableResultNode;

struct TableRow {
    std::wstring name1;
    std::wstring name2;
    bool started = false;
    bool current = false;
    // Equal, Database1 only, Database2 only, modified.
    std::wstring counts[4];
    // Set when a key value was found on more than one row of a side: the counts then
    // do not say what they seem to, and the row shows this text in their place.
    std::wstring keyNote{};
};

class DataCompareModel {
public:
    DataCompareModel(const TablePairList& pairs, ResultStore& store, DataReader& reader);
    ~DataCompareModel();

    // The source of a table's lines, made anew when the table or the filter changed.
    // Owned by the model; valid until the next GetRecordSource or SetCategoryFilter.
    RecordRowSource* GetRecordSource(int tableIndex);
    // One row per matched table pair; `started` gets the number of started tables.
    std::vector<TableRow> BuildTableRows(int& started);
    // "Key not unique in Db1: 2" (the grid's names of the sides), naming each side where a key
    // value is held by more than one row; empty when the key held. The caller holds the result's
    // lock.
    static std::wstring KeyNote(const TableResult& result);
    // Switches in the order Database1 only, Database2 only, modified, equal.
    void SetCategoryFilter(bool firstOnly, bool secondOnly, bool modified, bool equal);

    // Bound to the comparison worker.
    void OnProgress(int tablesDone, int processed, int total);
    void OnTableDone(int count);

    std::function<void()> tablesChanged;
    std::function<void(int done, int total)> recordProgress;
    std::function<void()> recordsChanged;
    std::function<void(int count)> tableDone;

private:
    const TablePairList& pairs_;
    ResultStore& store_;
    DataReader& reader_;
    // Guards the fields below: the progress thread refreshes the current source
    // while the UI thread may replace it.
    std::mutex mutex_;
    std::unique_ptr<TableResultNode> node_;
    std::unique_ptr<CategoryRecordList> source_;
    int currentIndex_ = -1;
    int startedTables_ = 0;
    bool switches_[4] = {true, true, true, false};
};
