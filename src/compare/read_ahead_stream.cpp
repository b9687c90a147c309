#include "compare/read_ahead_stream.h"

#include <chrono>

ReadAheadStream::ReadAheadStream(RecordReader& reader, std::vector<provider::RowImage::Kind> kinds,
                                 bool threaded)
    : stream_(reader, std::move(kinds))
{
    if (threaded)
        thread_ = std::thread([this] { Produce(); });
}

ReadAheadStream::~ReadAheadStream()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true);
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    try {
        stream_.End();
    } catch (...) {
        // What was read ahead goes with the reader, later.
    }
}

namespace {
constexpr size_t kStep = 64;  // records read under one lock of the reader
// Records an inline stream reads under one lock of the reader: few, so that the
// records just filled are still in the cache when the merge compares them.
constexpr size_t kInlineStep = 16;
constexpr std::chrono::milliseconds kBatchTime{10};
}  // namespace

void ReadAheadStream::Produce()
{
    Records batch;
    Records reusable;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stop_.load() || ready_.size() < kWindow; });
            if (stop_.load())
                return;
            for (auto& record : spare_)
                reusable.push_back(std::move(record));
            spare_.clear();
        }
        std::exception_ptr error;
        bool end = false;
        try {
            // Smaller steps under the reader's lock let a view read by position
            // in between, and a stop take effect soon.
            // Slow rows go over after a short while, not after a whole batch: the
            // merge sees them soon and notices a stop soon.
            const auto due = std::chrono::steady_clock::now() + kBatchTime;
            while (batch.size() < kBatch && !stop_.load()) {
                if (!stream_.NextBatch(batch, kStep, reusable)) {
                    end = true;
                    break;
                }
                if (std::chrono::steady_clock::now() >= due)
                    break;
            }
        } catch (...) {
            error = std::current_exception();
            end = true;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto& record : batch)
                ready_.push_back(std::move(record));
            error_ = error;
            ended_ = end;
        }
        batch.clear();
        changed_.notify_all();
        if (end)
            return;
    }
}

std::unique_ptr<DbRecord> ReadAheadStream::ReadInline()
{
    if (taken_.empty()) {
        if (inlineEnded_) {
            if (error_)
                std::rethrow_exception(error_);
            return nullptr;
        }
        // The rows read before an error are taken first; the error comes after them.
        try {
            inlineEnded_ = !stream_.NextBatch(inlineBatch_, kInlineStep, returned_);
        } catch (...) {
            error_ = std::current_exception();
            inlineEnded_ = true;
        }
        for (auto& record : inlineBatch_)
            taken_.push_back(std::move(record));
        inlineBatch_.clear();
        if (taken_.empty())
            return ReadInline();
    }
    std::unique_ptr<DbRecord> record = std::move(taken_.front());
    taken_.pop_front();
    return record;
}

std::unique_ptr<DbRecord> ReadAheadStream::Next(std::unique_ptr<DbRecord> done)
{
    if (done)
        returned_.push_back(std::move(done));
    if (!thread_.joinable())
        return ReadInline();
    if (taken_.empty()) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (auto& record : returned_)
            spare_.push_back(std::move(record));
        returned_.clear();
        changed_.wait(lock, [this] { return !ready_.empty() || ended_; });
        if (ready_.empty()) {
            if (error_)
                std::rethrow_exception(error_);
            return nullptr;
        }
        taken_.swap(ready_);
        lock.unlock();
        changed_.notify_all();
    }
    std::unique_ptr<DbRecord> record = std::move(taken_.front());
    taken_.pop_front();
    return record;
}
