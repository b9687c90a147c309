// A record stream read ahead on a thread of its own, so that the merge compares
// while both sides fetch their next rows. At most about `window` records wait; the
// records the merge has finished with go back to the reading thread and are filled
// again, so rows cost no allocation and no thread frees another's memory. A reader
// error reaches the caller of Next at the place in the stream where it occurred.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "compare/record_reader.h"

// Aligned, and the merge's own fields on a cache line of their own: the two sides'
// streams stand side by side, and neither reading thread nor the merge should wait
// for a line another of them writes.
class alignas(64) ReadAheadStream {
public:
    static constexpr size_t kWindow = 4096;
    // Records cross between the threads in batches: one lock and one wake-up per
    // batch, not per row. Large batches keep both threads running instead of waking
    // each other (measured: 64 rows per batch cost a fifth more time than 1024); the
    // window bounds the records in flight, whatever the table's size.
    static constexpr size_t kBatch = 1024;

    // Records of values, or, with `kinds`, of row images (see RecordStream); read on a
    // thread of its own when `threaded`, else on the caller's.
    explicit ReadAheadStream(RecordReader& reader,
                             std::vector<provider::RowImage::Kind> kinds = {},
                             bool threaded = true);
    // Stops reading (after the row being read) and waits for the thread.
    ~ReadAheadStream();
    ReadAheadStream(const ReadAheadStream&) = delete;
    ReadAheadStream& operator=(const ReadAheadStream&) = delete;

    // The next record, null at the end; rethrows the reader's error. `done` is a
    // record of this stream the caller no longer needs.
    std::unique_ptr<DbRecord> Next(std::unique_ptr<DbRecord> done = {});

private:
    using Records = std::vector<std::unique_ptr<DbRecord>>;

    void Produce();
    // The inline stream's Next: the next few records on the caller's thread.
    std::unique_ptr<DbRecord> ReadInline();

    RecordStream stream_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<DbRecord>> ready_;  // read, not yet taken
    Records spare_;                                // given back, not yet reused
    bool ended_ = false;
    std::exception_ptr error_;
    std::atomic<bool> stop_{false};
    // The consumer's own, used without the lock.
    alignas(64) std::deque<std::unique_ptr<DbRecord>> taken_;
    Records returned_;
    Records inlineBatch_;
    bool inlineEnded_ = false;
    alignas(64) std::thread thread_;  // last: starts when everything above is ready
};
