#include "corvina/comparison_runner.h"

ComparisonRunner::ComparisonRunner(ComparisonContext& context, RecordsView& view,
                                   std::chrono::milliseconds stopLimit)
    : context_(context), view_(view), stopLimit_(stopLimit)
{
}

ComparisonRunner::~ComparisonRunner()
{
    Stop();
}

void ComparisonRunner::Start()
{
    view_.ShowTableProgress(0);
    model_ = context_.PrepareDataComparison();
    if (!model_) {
        view_.ShowError(L"Select tables and fields to compare.");
        return;
    }
    // The model calls these on the comparison's threads; the view carries them over.
    DataCompareModel* model = model_;
    model->tablesChanged = [this] { view_.RunOnViewThread([this] { RefreshTableGrid(); }); };
    model->recordProgress = [this](int done, int total) { view_.ShowRecordProgress(done, total); };
    model->recordsChanged = [this] { view_.RefreshRecords(); };
    model->tableDone = [this](int count) { view_.ShowTableProgress(count); };
    context_.SetCompletionCallback([this] { view_.RunOnViewThread([this] { Finish(); }); });
    try {
        context_.StartThreads();
    } catch (const std::exception&) {
        Unbind();
        view_.ShowError(L"Can't start the comparison.");
        return;
    }
    view_.SetDatabaseNames(context_.Source1().Settings().path, context_.Source2().Settings().path);
    view_.InitKindFilters();
    model->SetCategoryFilter(true, true, true, false);
    ShowTable(0);
}

void ComparisonRunner::SelectTable(int index)
{
    if (!model_ || index == current_ || index < 0)
        return;
    int started = 0;
    if (index >= int(model_->BuildTableRows(started).size()))
        return;
    ShowTable(index);
}

void ComparisonRunner::ShowTable(int index)
{
    current_ = index;
    RecordRowSource* source = model_->GetRecordSource(index);
    // A table already compared gets no more progress: its lines are taken now.
    source->Refresh();
    view_.SetRecordSource(source);
    int started = 0;
    std::vector<TableRow> rows = model_->BuildTableRows(started);
    if (index < int(rows.size()))
        view_.SetTableCaption(rows[index].name1, rows[index].name2);
    view_.SetTableRows(std::move(rows));
}

void ComparisonRunner::KindsChanged()
{
    if (!model_)
        return;
    const std::vector<bool> kinds = view_.GetKindFilters();
    model_->SetCategoryFilter(kinds[0], kinds[1], kinds[2], kinds[3]);
    ShowTable(current_ < 0 ? 0 : current_);
}

void ComparisonRunner::RefreshTableGrid()
{
    if (!model_)
        return;
    int started = 0;
    view_.SetTableRows(model_->BuildTableRows(started));
}

void ComparisonRunner::Finish()
{
    if (!model_ || stopped_)
        return;
    if (context_.HasError()) {
        view_.ShowError(context_.ErrorText());
        return;
    }
    finished_ = true;
    RefreshTableGrid();
    view_.ComparisonFinished();
}

int ComparisonRunner::Stop()
{
    if (!model_ || stopped_)
        return ComparisonContext::kWaitObject0;
    stopped_ = true;
    // Once the wait returns no notice of the run is under way or can start (an abandoned worker
    // is cut off from the context), so the slots can go.
    const int result = context_.StopAndWait(stopLimit_);
    Unbind();
    return result;
}

void ComparisonRunner::Unbind()
{
    context_.SetCompletionCallback({});
    if (context_.Model() == model_) {
        model_->tablesChanged = nullptr;
        model_->recordProgress = nullptr;
        model_->recordsChanged = nullptr;
        model_->tableDone = nullptr;
    }
}

void ComparisonRunner::ReleaseConnections()
{
    Stop();
    // The results go as well: a new run starts from the tables page, and what this one held
    // would otherwise stay until then.
    if (model_ && context_.Model() == model_)
        context_.ReleaseDataComparison();
    model_ = nullptr;
}
