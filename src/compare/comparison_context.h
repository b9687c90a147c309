// The comparison of the comparison program: the two database sides with their schemas, the
// pairing of their tables and fields, the run objects of a data comparison (result store,
// record sources, view model, worker and ticker threads) with the error state of the last run,
// and the output tasks made from the finished comparison.
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
#include "compare/wizard_task.h"
#include "database/database_source.h"

class OutputTaskFactory;

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

    // Reads both sides through the provider, with the sources' settings as they are when a
    // run is prepared. outputs (not owned, outliving the context) makes the output tasks;
    // without it no output task can be made.
    explicit ComparisonContext(const OutputTaskFactory* outputs = nullptr);
    explicit ComparisonContext(ConnectionFactory connections,
                               const OutputTaskFactory* outputs = nullptr);
    virtual ~ComparisonContext();
    ComparisonContext(const ComparisonContext&) = delete;
    ComparisonContext& operator=(const ComparisonContext&) = delete;

    // The two sides: the database pages fill their settings, progress pages load them as
    // tasks. A pair list built over a source's schema is valid until that source loads again.
    DatabaseSource& Source1() { return source1_; }
    DatabaseSource& Source2() { return source2_; }
    const DatabaseSource& Source1() const { return source1_; }
    const DatabaseSource& Source2() const { return source2_; }

    // Replaces the pair list with a new one over both sources' loaded schemas; null (and no
    // pair list) while a side has no schema.
    TablePairList* BuildTablePairs();
    // The same over two schemas held by the caller (schemas made in code), which must outlive
    // the pair list and the output tasks.
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
    // or copied). Reading rows later opens them again. The connections of a run that was
    // let go are its own until it ends, and close then.
    void CloseConnections();
    // Lets go of the current run: its results, its reader and both connections, and the output
    // tasks that read them (the direct synchronisation stays). A run that was let go keeps what
    // it reads until it ends.
    void ReleaseDataComparison();

    // The output tasks, each replacing the previous one of its kind, for the progress pages.
    // The script writer and the reports read the results of the current run and go with it:
    // a new pair list or a new run deletes them. Null when there is no finished run to write
    // from or no maker of output tasks. encoding: 1 ANSI, 2 UTF-8, 3 UTF-16; direction: 1 =
    // upgrade Database1 to Database2, 2 = the reverse.
    WizardTask* CreateScriptWriter(const std::wstring& path, int encoding, int direction,
                                   bool insert, bool update, bool erase);
    WizardTask* ScriptTask() const { return scriptTask_.get(); }
    // The two reports over both schemas' names, with the kinds to report: only in Database1,
    // only in Database2, modified, equal. They go with the run as the script writer does.
    WizardTask* CreateHtmlReport(const std::wstring& path, bool firstOnly, bool secondOnly,
                                 bool modified, bool equal);
    WizardTask* CreateExcelReport(const std::wstring& path, bool firstOnly, bool secondOnly,
                                  bool modified, bool equal);
    WizardTask* HtmlReportTask() const { return htmlTask_.get(); }
    WizardTask* ExcelReportTask() const { return excelTask_.get(); }

    // The direct synchronisation of the script at path into the direction's target; throws
    // std::invalid_argument for a direction other than 1 or 2. It needs only the context, so
    // it outlives new runs; ReleaseSynchronizer or the context's end deletes it.
    WizardTask* CreateSynchronizer(const std::wstring& path, int direction, bool backup);
    void ReleaseSynchronizer();
    WizardTask* SyncTask() const { return syncTask_.get(); }

    virtual bool HasError() const;
    virtual std::wstring ErrorText() const;

    // Fired on the worker thread when a run ends by itself (done or failed), not
    // after a stop request. May be set while a run goes.
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
    void ReleaseResultTasks();
    bool HasFinishedRunOfPairs() const;

    DatabaseSource source1_;
    DatabaseSource source2_;
    ConnectionFactory connections_;
    const OutputTaskFactory* outputs_;
    // The schemas the pair list was built over.
    const DatabaseSchema* schema1_ = nullptr;
    const DatabaseSchema* schema2_ = nullptr;
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
    std::unique_ptr<WizardTask> scriptTask_;
    std::unique_ptr<WizardTask> htmlTask_;
    std::unique_ptr<WizardTask> excelTask_;
    std::unique_ptr<WizardTask> syncTask_;
};
