// The data comparison: a worker thread merges the key-ordered rows of each compared
// table pair and queues the items; a ticker thread moves them into the result
// store twice a second and reports progress. Neither thread ever waits for the UI
// thread, so a UI thread that waits for them cannot deadlock.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "compare/item_queue.h"
#include "compare/table_result.h"
#include "compare/thread_object.h"

class DataReader;
class ReadAheadStream;
class ResultStore;
class TablePair;
class TablePairList;

// What the worker compares of one matched table pair, copied when the run is
// prepared: the run never reads the schema or the pair list afterwards, so they may
// change or go while an abandoned run is still ending.
struct ComparedTable {
    struct Field {
        std::wstring name1;
        std::wstring name2;
        bool key;
    };
    const TablePair* pair;  // identity only, never dereferenced by the run
    std::wstring name1;
    std::wstring name2;
    std::vector<Field> fields;  // matched fields, in pair-list order
    // Per side (0 Database1, 1 Database2): whether the side's primary key or a unique
    // index that admits no Null lies within the key fields, so that no key value can
    // be held by two of its rows.
    bool keyHeld[2] = {false, false};
};

class DataCompareWorker {
public:
    using ProgressCallback = std::function<void(int tablesDone, int processed, int total)>;
    using TableDoneCallback = std::function<void(int tablesDone)>;
    using FinishedCallback = std::function<void()>;

    static constexpr std::chrono::milliseconds kFirstTick{1000};
    static constexpr std::chrono::milliseconds kTickPeriod{500};
    // Items the merge queues before it wakes the ticker to move them to the store:
    // between two ticks a fast merge would otherwise hold one item per table row.
    static constexpr size_t kMaxQueued = 1 << 16;
    // Results the merge gathers before it queues them under one lock.
    static constexpr size_t kMergeBatch = 256;

    // Takes the pairs as they are now and the current "nulleqemptystr" setting.
    DataCompareWorker(const TablePairList& pairs, ResultStore& store, DataReader& reader);
    ~DataCompareWorker();

    static std::vector<ComparedTable> SnapshotPairs(const TablePairList& pairs);

    // The two ordered statements and the column captions of a table; the positions
    // of the key fields in the select list go to keyIndexes.
    static void BuildQueries(const ComparedTable& table, std::wstring& query1, std::wstring& query2,
                             CaptionList& captions, std::vector<int>& keyIndexes);

    void SetProgressCallback(ProgressCallback callback) { progress_ = std::move(callback); }
    void SetTableDoneCallback(TableDoneCallback callback) { tableDone_ = std::move(callback); }
    void SetFinishedCallback(FinishedCallback callback) { finished_ = std::move(callback); }

    // Thread bodies.
    void Run();
    void ProgressTicker();

    bool IsRunning() const { return running_.load(); }
    void RequestStop();
    bool HasError() const { return error_.load(); }
    // Read after the end (the finished callback or a joined thread).
    std::wstring ErrorText() const;

    // `report`: also tell the progress callback.
    void FlushItems(bool report = true);
    // Lets the ticker flush before its time; the merge goes on meanwhile.
    void WantFlush();
    void SignalDone() { endEvent_.Set(); }

private:
    enum class PairEnd { Done, Stopped };

    PairEnd ComparePair(const ComparedTable& table, bool nullEqualsEmpty);
    void CountBoth(const ComparedTable& table, int& count1, int& count2);
    // Merges two key-ordered streams into queued items; the first rows of the
    // one-sided tails (0 when none) go to restRow1 and restRow2.
    PairEnd Merge(const ComparedTable& table, ReadAheadStream& stream1, ReadAheadStream& stream2,
                  bool nullEqualsEmpty, int& restRow1, int& restRow2);
    struct MergeBatch {
        std::vector<QueuedItem> items;
        int equal = 0, firstOnly = 0, secondOnly = 0, modified = 0;
    };
    // Notes on the current result that a key value is held by more than one row of a side.
    void NoteDuplicateKey(int side, std::wstring keyText);
    // The merge compares the rows of a side's one-sided tail only at its first row: where
    // the side's schema does not hold the key, a repeat among the tail's other rows is
    // looked for here, so that the result says whether its key held everywhere.
    void CheckRestKeys(const ComparedTable& table, int side, int firstRow, int lastRow);
    // Queues the batch's items, adds its counts and empties it.
    void Publish(MergeBatch& batch);
    void EndRun(bool withError, const std::wstring& errorText);
    void WakeTicker();

    std::atomic<bool> running_{true};
    std::atomic<bool> error_{false};
    std::wstring errorText_;
    ManualEvent endEvent_;
    const std::vector<ComparedTable> tables_;
    ResultStore& store_;
    DataReader& reader_;
    ItemQueue queue_;
    std::atomic<int> tablesDone_{0}, processed_{0}, total_{0};
    std::atomic<int> equal_{0}, firstOnly_{0}, secondOnly_{0}, modified_{0};
    std::vector<int> keyIndexes_;
    bool nullEqualsEmpty_ = false;  // the "nulleqemptystr" setting of this run
    std::recursive_mutex section_;
    std::atomic<bool> flushWanted_{false};
    std::mutex tickMutex_;
    std::condition_variable tickWake_;
    ProgressCallback progress_;
    TableDoneCallback tableDone_;
    FinishedCallback finished_;
};
