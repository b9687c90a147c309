// A long forward read of a single-table select, on several threads at once.
//
// Reading a table in the order of its key costs a lookup of every row through the
// key's index; one statement does them one after another. Here a scout walks the
// ordering terms alone (the index holds them, so this is quick) and cuts the order
// into stretches of rows, and readers, each on a connection of its own, read the
// stretches between their bounds at the same time. The rows come out in the order
// the statement gives them, and at most a few stretches wait at any time, so memory
// does not grow with the table.
//
// A stretch's rows are the scout's: a reader that finds others between the bounds
// (a term holding Null, which bounds cannot express, or a change committed between
// the two readings) reads the scout's rows one by one by their rowids instead, and
// leaves out those deleted since.
//
// A table read in the order of a key kept as its rowid needs no lookups, and holds no
// Null in its key: there the scout only skips a stretch's rows to find its upper
// bound, and a stretch's rows are those its reader finds between the bounds.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/provider/row_image.h"
#include "platform/provider/sql_functions.h"

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_value;

namespace provider {

struct EmittedSelect;
class Statement;

class RangeScan {
public:
    // Fills an image from a statement standing on a row of the select's columns.
    using Decoder = std::function<void(sqlite3_stmt*, RowImage&)>;

    // The read of `select` (which must have orderTerms) from the row after the one
    // whose rowid is `afterRowid`, in the database file `file`, by `readers` reading
    // threads. Null when the file cannot be opened again, or when the order has no
    // index to read stretches by: the caller then reads on as it did. `later` is set
    // when it is the row that does not do: its ordering terms hold Null, and the rows
    // after it cannot be told by a bound.
    static std::unique_ptr<RangeScan> Start(const std::string& file, const EmittedSelect& select,
                                            int64_t afterRowid, Decoder decode, unsigned readers,
                                            bool& later);
    // Stops the threads (each ends the stretch it reads) and closes the connections.
    ~RangeScan();
    RangeScan(const RangeScan&) = delete;
    RangeScan& operator=(const RangeScan&) = delete;

    // The next row: its rowid, and its image in `image`, whose memory the scan keeps
    // for later rows. False at the end; rethrows a reading error where it occurred.
    bool Next(int64_t& rowid, RowImage& image);

    // The processors this process may run on: those of its affinity mask, and no more
    // than its control group's share of time (where it has one) keeps busy.
    static unsigned UsableCores();

    // Rows per stretch.
    static constexpr size_t kStretch = 1024;

private:
    struct Bound;
    struct Stretch;
    struct Reader;

    RangeScan() = default;
    void Scout();
    void Read(Reader& reader);
    void Fill(Reader& reader, Stretch& stretch);
    void Stop();

    Decoder decode_;
    CounterState counter_;  // for the functions every connection has; reads use none
    size_t terms_ = 0;
    bool skipping_ = false;  // the scout finds bounds only (rowid order)
    sqlite3* scoutDb_ = nullptr;
    std::unique_ptr<Statement> scout_;
    std::vector<std::unique_ptr<Reader>> readers_;
    std::shared_ptr<Bound> start_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Stretch>> stretches_;  // made by the scout, not yet passed
    size_t firstIndex_ = 0;                           // index of stretches_.front()
    size_t made_ = 0;                                 // stretches the scout made
    size_t claimed_ = 0;                              // stretches handed to readers
    bool scoutDone_ = false;
    std::exception_ptr scoutError_;
    bool stop_ = false;
    std::vector<std::unique_ptr<Stretch>> spare_;  // passed, for reuse

    // The consumer's own.
    std::unique_ptr<Stretch> current_;
    size_t next_ = 0;  // in current_

    std::vector<std::thread> threads_;  // last: started once everything is ready
};

}  // namespace provider
