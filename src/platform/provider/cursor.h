// The rows of one executed SELECT, as a static cursor: rows are read from
// SQLite as the cursor first moves over them, and any row already passed can
// be visited again by its position at constant cost. Single-table selects
// remember only each row's rowid and read a revisited row back by it;
// other selects keep the rows they have passed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/automation/variant.h"
#include "platform/provider/query_emitter.h"
#include "platform/provider/range_scan.h"
#include "platform/provider/row_image.h"
#include "platform/provider/rowid_list.h"
#include "platform/provider/table_pages.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace provider {

class Cursor {
public:
    // How a column's stored values become compact values of a row image: its
    // RowImage::Kind with the automation type it stands for.
    enum class ImageForm : uint8_t {
        Value, Byte, Short, Long, Bool, Money, Single, Double, Date, Text
    };

    // Prepares and binds the statement; no row is read yet. `lock` guards
    // the connection (held for each move, not for each column read).
    Cursor(sqlite3* db, const EmittedSelect& select,
           const std::vector<automation::Variant>& parameters,
           std::shared_ptr<std::recursive_mutex> lock = nullptr);
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    const std::vector<ResultColumn>& Columns() const { return columns_; }

    // Moves to the 0-based row `index`; false (and at end) when there is none.
    bool MoveTo(int64_t index);
    int64_t Position() const { return position_; }
    bool AtEnd() const { return atEnd_; }
    const std::vector<automation::Variant>& Row() const { return row_; }
    // Moves the current row's value at `index` out to the caller, sparing a copy
    // when the caller moves on right after. A row taken from is read again should
    // it be asked for before the cursor moves.
    automation::Variant TakeValue(size_t index);
    // As TakeValue, giving the cursor `value` in exchange: a caller that reads
    // row after row into the same values hands their memory back and forth, and
    // decoding the next row allocates nothing.
    void SwapValue(size_t index, automation::Variant& value);
    // The whole current row into out[0..Columns().size()), decoded straight into
    // the caller's values (reusing their text memory) where the row has not been
    // decoded yet; the current row itself stays readable. Requires a current row.
    void TakeRow(automation::Variant* const* out);
    // TakeRow, then MoveTo(Position() + 1), under one hold of the lock.
    bool TakeRowAndMoveNext(automation::Variant* const* out);
    // The compact form of a column's values in a row image (RowImage::Value when
    // it has none).
    RowImage::Kind ImageKind(size_t column) const { return imageKinds_[column]; }
    // The current row into `out`: column i in the compact form kinds[i] where that
    // is the column's ImageKind and the value is in its column's stored form, else
    // as the automation value TakeRow would give; then MoveTo(Position() + 1),
    // under one hold of the lock. Requires a current row.
    // A long forward read of this kind goes on from the table's pages (see
    // ReadPagesWhile) where the select and the file allow it, else by stretches on
    // threads of their own (see RangeScan) where the select allows that.
    bool TakeImageAndMoveNext(RowImage& out, const RowImage::Kind* kinds);
    // TakeImageAndMoveNext into out[0], out[1], ... for up to `count` rows, under one
    // hold of the lock, counting the rows taken in `taken` (fewer at the end). Should
    // one raise, the rows before it stay taken. Requires a current row.
    void TakeImagesAndMoveNext(RowImage* const* out, size_t count, const RowImage::Kind* kinds,
                               size_t& taken);
    // The reader of images is done with them for now: the stretches read ahead, their
    // threads and connections go. A later forward move reads on by one statement.
    void EndReadAhead();
    // Rows read forward one by one before a read by images goes on by stretches.
    static constexpr int64_t kScanAfter = 8192;
    // Reads the current row again if a value was taken from it, or decodes it
    // if it was not yet.
    void RestoreTaken();
    bool Taken() const { return taken_ || pending_; }

    // While held, the connection keeps one read transaction open across the
    // revisits of rows already passed: a reader that goes through many of them
    // in turn pays for one transaction instead of one per row, and reads them
    // all from one snapshot. Let go when done: while the hold lasts the
    // connection sees no newer commits.
    void HoldReads(bool hold);

    // A long forward read of images of a whole table in rowid order may read the table's
    // pages from the file itself (see TablePages) for as long as `fileHoldsReads` says
    // that the file holds what this connection reads, and a log, if any, is all in it.
    // Any row it cannot read exactly as SQLite does is read through SQLite.
    void ReadPagesWhile(std::function<bool()> fileHoldsReads)
    {
        fileHoldsReads_ = std::move(fileHoldsReads);
    }
    // Whether the forward read goes on from the table's pages just now.
    bool ReadingPages() const { return pages_ != nullptr; }

    // Releases the SQLite statements; the cursor then has no rows.
    void Release();
    bool Released() const { return main_ == nullptr; }

private:
    bool StepMain();
    void Decode(sqlite3_stmt* stmt);
    void DecodeValue(sqlite3_stmt* stmt, size_t column, automation::Variant& out) const;
    // The row the statement stands on into `out` (Reset to the row's size): column i
    // in the compact form kinds[i] where the value has it.
    void ImageRow(sqlite3_stmt* stmt, const RowImage::Kind* kinds, RowImage& out) const;
    bool Revisit(int64_t index);
    void StartScan(const RowImage::Kind* kinds);
    bool StartPages(const RowImage::Kind* kinds);
    bool PageImage(RowImage& out) const;
    bool PageStep();
    bool TakeImageLocked(RowImage& out, const RowImage::Kind* kinds);

    // Holds the lock shared with the connection's other cursors, if any.
    std::unique_lock<std::recursive_mutex> Hold() const;
    bool MoveLocked(int64_t index);
    void TakeRowLocked(automation::Variant* const* out);

    sqlite3* db_;
    std::shared_ptr<std::recursive_mutex> lock_;
    sqlite3_stmt* main_ = nullptr;
    sqlite3_stmt* lookup_ = nullptr;
    sqlite3_stmt* hold_ = nullptr;  // a lookup left standing on a row while reads are held
    std::vector<ResultColumn> columns_;
    std::vector<RowImage::Kind> imageKinds_;              // ImageKind of each column
    std::vector<ImageForm> imageForms_;                   // and how it is made
    RowidList rowids_;                                    // lookup mode
    std::vector<std::vector<automation::Variant>> kept_;  // keeping mode
    int64_t streamed_ = 0;  // rows read from the main statement so far
    bool exhausted_ = false;
    int64_t position_ = -1;
    bool atEnd_ = false;
    bool taken_ = false;  // row_ holds moved-from values
    // The current row was read by the main statement, which still stands on it,
    // but not yet decoded into row_: most rows of a long forward read are taken
    // whole by their reader and never need row_.
    bool pending_ = false;
    std::vector<automation::Variant> row_;
    // The forward read by stretches, once started; the main statement then stands
    // nowhere. Its latest row is `scanImage_` until taken.
    EmittedSelect range_;  // its rangeItems, rangeFrom and orderTerms
    bool scanTried_ = false;
    int64_t scanAt_ = kScanAfter;  // the row count at which to try it (again)
    int scanTries_ = 0;
    std::unique_ptr<RangeScan> scan_;
    std::vector<RowImage::Kind> scanKinds_;
    RowImage scanImage_;
    bool imaged_ = false;
    bool resume_ = false;  // the scan ended early: the main statement must be made again
    // The read from the table's pages, once started: the main statement stands on the
    // row it read last (keeping its read transaction) and reads no further.
    std::function<bool()> fileHoldsReads_;
    std::unique_ptr<TablePages> pages_;
    int64_t pagesFrom_ = 0;  // rows the main statement had read when the pages began
    int64_t passOver_ = 0;   // rows the pages gave that the main statement is yet to pass
    bool pagesDamaged_ = false;  // the pages did not parse up to where the read stood
    std::vector<int> pageFields_;  // each column's field in the record; -1: the rowid
    int64_t pageChanges_ = 0;      // the connection's changed rows when it started
};

// The automation value of a natural value whose Access type is known.
automation::Variant ReadTyped(sqlite3_stmt* stmt, int col, AccessType type);
automation::Variant ReadTyped(sqlite3_value* value, AccessType type);

}  // namespace provider
