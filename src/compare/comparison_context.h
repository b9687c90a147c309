// The comparison of the comparison program: the pairing of the two databases'
// tables and fields, and the run objects of a data comparison (result store, record
// sources, view model, worker and ticker threads) with the error state of the last
// run.
//
// A run's objects are shared by the context and the run's two threads. When a
// worker does not end within the stop limit it is abandoned: the context lets go of
// the run, and the run's objects live on until its threads have ended, so neither a
// new run nor a new pair list nor the context's end can free what they still use.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "compare/record_cursor.h"
#include "database/connection_settings.h"

class DataCompareModel;
class DataCompareWorker;
class DataReader;
class DatabaseSchema;
class ResultStore;
class TablePairList;
class ThreadObject;

class ComparisonContext {
public:
    // Wait results of StopAndWait.
    static constexpr int kWaitObject0 = 0;
    static constexpr int kWaitTimeout = 258;
    static constexpr std::chrono::milliseconds kStopLimit{10000};

    // Opens the record connection of side 1 or 2 (the databases open on first use).
    using ConnectionFactory = std::function<std::unique_ptr<RecordConnection>(int side)>;

    // Reads both sides through the provider, with the settings of Settings1() and
    // Settings2() as they are when a run is prepared.
    ComparisonContext();
    explicit ComparisonContext(ConnectionFactory connections);
    virtual ~ComparisonContext();
    ComparisonContext(const ComparisonContext&) = delete;
    ComparisonContext& operator=(const ComparisonContext&) = delete;

    // Replaces the pair list with a new one over both schemas' tables.
    // The database pages fill these.
    ConnectionSettings& Settings1() { return settings1_; }
    ConnectionSettings& Settings2() { return settings2_; }

    TablePairList* BuildTablePairs(const DatabaseSchema& schema1, const DatabaseSchema& schema2);
    TablePairList* PairList() const;

    // Makes the objects of a new run over the current pair list (a run still going is
    // asked to stop and let go); returns its model.
    DataCompareModel* PrepareDataComparison();
    void StartThreads();
    // Asks the worker to stop and waits up to the stop limit; kWaitTimeout when it
    // did not end (the run is then abandoned).
    int StopAndWait(std::chrono::milliseconds limit = kStopLimit);
    bool IsWorkerAbandoned() const { return abandoned_; }

    // Closes the results and both connections (before the databases are written to
    // or copied). Reading rows later opens them again.
    void CloseConnections();

    virtual bool HasError() const;
    virtual std::wstring ErrorText() const;

    // Fired on the worker thread when a run ends by itself (done or failed), not
    // after a stop request.
    void SetCompletionCallback(std::function<void()> callback);

    ResultStore* Store() const;
    DataReader* Reader() const;
    DataCompareModel* Model() const;
    DataCompareWorker* Worker() const;

private:
    struct Run;
    struct FinishRelay;

    void OnWorkerFinished(DataCompareWorker& worker);
    void ReleaseRun();

    ConnectionSettings settings1_;
    ConnectionSettings settings2_;
    ConnectionFactory connections_;
    std::shared_ptr<TablePairList> pairs_;
    std::shared_ptr<Run> run_;
    std::unique_ptr<ThreadObject> workerThread_;
    std::unique_ptr<ThreadObject> tickerThread_;
    std::shared_ptr<FinishRelay> relay_;
    mutable std::mutex errorMutex_;
    bool error_ = false;
    std::wstring errorText_;
    bool abandoned_ = false;
    std::function<void()> completion_;
};
