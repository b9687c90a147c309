#include "compare/comparison_context.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "compare/ado_record_connection.h"
#include "compare/data_compare_model.h"
#include "compare/data_compare_worker.h"
#include "compare/data_reader.h"
#include "compare/output_task_factory.h"
#include "compare/result_store.h"
#include "compare/table_pair_list.h"
#include "compare/thread_object.h"
#include "database/database_schema.h"

// Everything one run uses; the threads hold it too. Members are destroyed in
// reverse order: the worker and model before the reader, the reader before the
// connections.
struct ComparisonContext::Run {
    std::shared_ptr<TablePairList> pairs;
    std::unique_ptr<RecordConnection> connection1;
    std::unique_ptr<RecordConnection> connection2;
    std::unique_ptr<ResultStore> store;
    std::unique_ptr<DataReader> reader;
    std::unique_ptr<DataCompareModel> model;
    std::unique_ptr<DataCompareWorker> worker;
};

// The run's way back to the context and its window; cut when the context lets go of the
// run. Its lock is held while a notice is delivered.
struct ComparisonContext::FinishRelay {
    std::mutex mutex;
    ComparisonContext* context = nullptr;
};

ComparisonContext::ComparisonContext(const OutputTaskFactory* outputs)
    : connections_([this](int side) {
          // Each connection copies its side's settings: an abandoned run never reads
          // the context's.
          return std::make_unique<AdoRecordConnection>(side == 1 ? source1_.Settings()
                                                                 : source2_.Settings());
      }),
      outputs_(outputs)
{
}

ComparisonContext::ComparisonContext(ConnectionFactory connections,
                                     const OutputTaskFactory* outputs)
    : connections_(std::move(connections)), outputs_(outputs)
{
}

ComparisonContext::~ComparisonContext()
{
    // The tasks go before the results they read; a task is never running here (its page has
    // waited for its thread).
    syncTask_.reset();
    ReleaseResultTasks();
    if (run_)
        run_->worker->RequestStop();
    ReleaseRun();
}

TablePairList* ComparisonContext::BuildTablePairs()
{
    if (!source1_.Schema() || !source2_.Schema()) {
        ReleaseResultTasks();
        pairs_.reset();
        schema1_ = schema2_ = nullptr;
        return nullptr;
    }
    return BuildTablePairs(*source1_.Schema(), *source2_.Schema());
}

TablePairList* ComparisonContext::BuildTablePairs(const DatabaseSchema& schema1,
                                                  const DatabaseSchema& schema2)
{
    // A script writer made over the old pairs would write from pairs that are gone.
    ReleaseResultTasks();
    pairs_ = std::make_shared<TablePairList>(schema1, schema2);
    schema1_ = &schema1;
    schema2_ = &schema2;
    return pairs_.get();
}

TablePairList* ComparisonContext::PairList() const
{
    return pairs_.get();
}

void ComparisonContext::ReleaseRun()
{
    if (relay_) {
        std::lock_guard<std::mutex> lock(relay_->mutex);
        relay_->context = nullptr;
    }
    relay_.reset();
    // A thread that is still running is let go; it keeps the run alive itself.
    workerThread_.reset();
    tickerThread_.reset();
    run_.reset();
}

void ComparisonContext::ReleaseResultTasks()
{
    scriptTask_.reset();
    htmlTask_.reset();
    excelTask_.reset();
}

bool ComparisonContext::HasFinishedRunOfPairs() const
{
    // Only the results of a run over the current pairs go with the current schemas.
    return outputs_ && run_ && run_->pairs == pairs_;
}

DataCompareModel* ComparisonContext::PrepareDataComparison()
{
    ReleaseResultTasks();
    if (run_)
        run_->worker->RequestStop();
    ReleaseRun();
    abandoned_ = false;
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        error_ = false;
        errorText_.clear();
    }
    if (!pairs_)
        return nullptr;

    auto run = std::make_shared<Run>();
    run->pairs = pairs_;
    run->store = std::make_unique<ResultStore>();
    run->connection1 = connections_(1);
    run->connection2 = connections_(2);
    run->reader = std::make_unique<DataReader>(*run->connection1, *run->connection2);
    run->model = std::make_unique<DataCompareModel>(*run->pairs, *run->store, *run->reader);
    run->worker = std::make_unique<DataCompareWorker>(*run->pairs, *run->store, *run->reader);

    DataCompareModel* model = run->model.get();
    DataCompareWorker* worker = run->worker.get();
    relay_ = std::make_shared<FinishRelay>();
    relay_->context = this;
    // The model's notices reach the window: once the run is let go, none may start, and
    // one under way ends before the stop returns and the window may go.
    worker->SetProgressCallback([relay = relay_, model](int tablesDone, int processed, int total) {
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (relay->context)
            model->OnProgress(tablesDone, processed, total);
    });
    worker->SetTableDoneCallback([relay = relay_, model](int count) {
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (relay->context)
            model->OnTableDone(count);
    });
    worker->SetFinishedCallback([relay = relay_, worker] {
        std::lock_guard<std::mutex> lock(relay->mutex);
        if (relay->context)
            relay->context->OnWorkerFinished(*worker);
    });
    workerThread_ = std::make_unique<ThreadObject>([run] { run->worker->Run(); });
    tickerThread_ = std::make_unique<ThreadObject>([run] { run->worker->ProgressTicker(); });
    run_ = std::move(run);
    return model;
}

void ComparisonContext::StartThreads()
{
    if (!workerThread_)
        return;
    workerThread_->Start();
    try {
        tickerThread_->Start();
    } catch (...) {
        // Without its ticker the worker would wait for ever at its end.
        run_->worker->RequestStop();
        run_->worker->SignalDone();
        throw;
    }
}

int ComparisonContext::StopAndWait(std::chrono::milliseconds limit)
{
    if (!run_)
        return kWaitObject0;
    run_->worker->RequestStop();
    if (!workerThread_->IsStarted())
        return kWaitObject0;
    if (!workerThread_->Wait(limit)) {
        abandoned_ = true;
        // The worker may still call back; nothing of this context may be reached.
        std::lock_guard<std::mutex> lock(relay_->mutex);
        relay_->context = nullptr;
        return kWaitTimeout;
    }
    tickerThread_->Join();
    return kWaitObject0;
}

void ComparisonContext::CloseConnections()
{
    // A run that was let go still reads through its connections; they close when it ends.
    if (!run_ || abandoned_)
        return;
    run_->reader->CloseAll();
    run_->connection1->Close();
    run_->connection2->Close();
}

void ComparisonContext::ReleaseDataComparison()
{
    ReleaseResultTasks();
    if (run_)
        run_->worker->RequestStop();
    ReleaseRun();
#if defined(__GLIBC__)
    // The run's rows were allocated on the heaps of its threads, which the C library keeps
    // after they are freed; handed back now, they do not add up over the runs of a session.
    malloc_trim(0);
#endif
}

void ComparisonContext::OnWorkerFinished(DataCompareWorker& worker)
{
    {
        std::lock_guard<std::mutex> lock(errorMutex_);
        error_ = worker.HasError();
        if (error_)
            errorText_ = worker.ErrorText();
    }
    if (completion_)
        completion_();
}

WizardTask* ComparisonContext::CreateScriptWriter(const std::wstring& path, int encoding,
                                                  int direction, bool insert, bool update,
                                                  bool erase)
{
    scriptTask_.reset();
    if (!HasFinishedRunOfPairs())
        return nullptr;
    scriptTask_ =
        outputs_->MakeScriptWriter(*schema1_, *schema2_, *run_->store, *run_->reader, *run_->pairs,
                                   path, encoding, direction, insert, update, erase);
    return scriptTask_.get();
}

WizardTask* ComparisonContext::CreateHtmlReport(const std::wstring& path, bool firstOnly,
                                                bool secondOnly, bool modified, bool equal)
{
    htmlTask_.reset();
    if (!HasFinishedRunOfPairs())
        return nullptr;
    htmlTask_ = outputs_->MakeHtmlReport(path, schema1_->GetName(), schema2_->GetName(),
                                         *run_->store, *run_->reader, *run_->pairs, firstOnly,
                                         secondOnly, modified, equal);
    return htmlTask_.get();
}

WizardTask* ComparisonContext::CreateExcelReport(const std::wstring& path, bool firstOnly,
                                                 bool secondOnly, bool modified, bool equal)
{
    excelTask_.reset();
    if (!HasFinishedRunOfPairs())
        return nullptr;
    excelTask_ = outputs_->MakeExcelReport(path, schema1_->GetName(), schema2_->GetName(),
                                           *run_->store, *run_->reader, *run_->pairs, firstOnly,
                                           secondOnly, modified, equal);
    return excelTask_.get();
}

WizardTask* ComparisonContext::CreateSynchronizer(const std::wstring& path, int direction,
                                                  bool backup)
{
    syncTask_.reset();
    if (!outputs_)
        return nullptr;
    syncTask_ = outputs_->MakeSynchronizer(direction, path, backup, *this);
    return syncTask_.get();
}

void ComparisonContext::ReleaseSynchronizer()
{
    syncTask_.reset();
}

bool ComparisonContext::HasError() const
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return error_;
}

std::wstring ComparisonContext::ErrorText() const
{
    std::lock_guard<std::mutex> lock(errorMutex_);
    return errorText_;
}

void ComparisonContext::SetCompletionCallback(std::function<void()> callback)
{
    // A running worker may be calling the notice now.
    std::unique_lock<std::mutex> lock;
    if (relay_)
        lock = std::unique_lock<std::mutex>(relay_->mutex);
    completion_ = std::move(callback);
}

ResultStore* ComparisonContext::Store() const
{
    return run_ ? run_->store.get() : nullptr;
}

DataReader* ComparisonContext::Reader() const
{
    return run_ ? run_->reader.get() : nullptr;
}

DataCompareModel* ComparisonContext::Model() const
{
    return run_ ? run_->model.get() : nullptr;
}

DataCompareWorker* ComparisonContext::Worker() const
{
    return run_ ? run_->worker.get() : nullptr;
}
