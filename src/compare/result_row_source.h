// The ordered result list of one table pair: stored items, then an optional rest
// range of rows that exist on one side only and were never read.
//
// Equal records are by far the most common and carry nothing but a Database1 row,
// so consecutive equal rows are kept as one run: the memory of a result grows with
// the number of differences, not with the size of the table. Item positions and
// line numbers are the same as if every equal row were an item of its own.
#pragma once

#include <climits>
#include <functional>
#include <memory>
#include <vector>

#include "compare/record_diff_item.h"
#include "compare/row_item_pool.h"

class ResultRowSource {
public:
    enum Side { kDatabase1 = 0, kDatabase2 = 1 };

    ResultRowSource() = default;
    ResultRowSource(const ResultRowSource&) = delete;
    ResultRowSource& operator=(const ResultRowSource&) = delete;

    void Add(std::unique_ptr<RecordDiffItem> item);
    // An equal record at Database1 row `row`, as Add of its item would add it.
    void AddEqual(int row) { AddEqualRow(row); }
    // A copy of an item held elsewhere (equal runs stay runs).
    void AddCopyOf(RecordDiffItem& item);

    // Rows firstRow..lastRow of one side; an empty or inverted range sets no rest.
    void SetRest(int side, int firstRow, int lastRow);
    void SetRestRaw(int side, int firstRow, int count);

    int ItemCount() const { return itemCount_; }
    int Count() const { return itemCount_ + restCount_; }
    // A modified record shows as two lines, every other item and rest row as one.
    int LineCount() const { return lineCount_ + restCount_; }
    int RestCount() const { return restCount_; }
    int RestFirstRow() const { return restFirstRow_; }
    int RestSide() const { return restSide_; }

    // The position of the item that shows `line`, and the line's offset inside it
    // (1 for the Database2 line of a modified record, else 0).
    int LocateLine(int line, int& offset) const;

    // The items at positions [start, start + count), rest rows and equal runs taken
    // from the pools (which the caller rewinds).
    std::vector<RecordDiffItem*> GetRows(int start, int count, RowItemPools& pools) const;

    // Lets the items from position `from` on accept the visitor, then, when
    // withRest is set, each rest row. `stop` is asked before every item and row.
    // Returns the number of items visited.
    int Visit(int from, StoredItemVisitor& visitor, bool withRest,
              const std::function<bool()>& stop) const;

private:
    // One stored item, or (item null) a run of equal rows runFirstRow, runFirstRow+1...
    struct Segment {
        int firstIndex;
        int firstLine;
        std::unique_ptr<RecordDiffItem> item;
        int runFirstRow;
        int runCount;
        int Count() const { return item ? 1 : runCount; }
    };

    void AddEqualRow(int row);
    size_t SegmentOfIndex(int index) const;
    RecordDiffItem* ItemAt(const Segment& segment, int index, RowItemPools& pools) const;

    std::vector<Segment> segments_;
    int itemCount_ = 0;
    int lineCount_ = 0;  // lines of the items, without the rest
    int restCount_ = 0;
    int restFirstRow_ = INT_MAX;
    int restSide_ = kDatabase1;
};
