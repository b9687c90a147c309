// The result of one data comparison, table pair by table pair, while the worker
// produces it and afterwards. Only row positions are kept; values are read again
// through the record sources.
//
// Locks: the store lock guards the list of results and the current one; each
// result's own lock guards its rows and counts. Lock order: the worker's lock, then
// the store lock, then one result's lock. Readers hold the store lock only to find
// a result.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include "compare/locked_object.h"
#include "compare/record_item.h"
#include "compare/table_result.h"

class TablePair;
class TableResultNode;

class ResultStore : public LockedObject {
public:
    ResultStore();
    ~ResultStore() override;

    // Writer side (the comparison worker).
    TableResult* AddTableResult(const TablePair* pair, CaptionList captions, std::wstring query1,
                                std::wstring query2);
    bool HasCurrent() const;
    TableResult* Current() const;
    void AddToCurrent(std::unique_ptr<RecordDiffItem> item);
    void SetRest1(int firstRow, int lastRow);
    void SetRest2(int firstRow, int lastRow);
    void SetCounts(int equal, int firstOnly, int secondOnly, int modified);

    // Reader side. Null or 0 when absent.
    int ResultCount() const;
    TableResult* TableResultAt(int index) const;
    TableResult* FindTableResult(const TablePair* pair) const;
    const CaptionList* ColumnCaptionsAt(int index) const;
    const CaptionList* ColumnCaptionsOf(const TablePair* pair) const;
    int LineCountAt(int index) const;
    int CountAt(int index) const;
    int LocateLineAt(int index, int line, int& offset) const;
    // The items stay valid until the next GetRowsAt.
    std::vector<RecordDiffItem*> GetRowsAt(int index, int start, int count);

    // Ends running visits at their next item. A task that starts a new visit of
    // the store clears it first with ResetAbort.
    void Abort() { abort_.store(true); }
    void ResetAbort() { abort_.store(false); }
    bool IsAborted() const { return abort_.load(); }

    // The pair must have been compared; nothing is visited otherwise.
    void VisitTable(const TablePair* pair, StoredItemVisitor& visitor) const;
    void VisitTableResult(const TableResult* result, StoredItemVisitor& visitor) const;

    // A filtered, incrementally fed view of one result (switches in the order
    // Database1 only, Database2 only, modified, equal).
    std::unique_ptr<TableResultNode> CreateView(int tableIndex, bool firstOnly, bool secondOnly,
                                                bool modified, bool equal);
    int DeliverNewRecords(TableResultNode& node, int tableIndex);

private:
    std::atomic<bool> abort_{false};
    std::vector<std::unique_ptr<TableResult>> results_;
    std::map<const TablePair*, TableResult*> byPair_;
    TableResult* current_ = nullptr;
    RowItemPools pools_;
};
