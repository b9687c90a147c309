// Joins the records window to the comparison: starts the data comparison, passes its progress
// to the window and the window's choices (the table shown, the record kinds) to the record model.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compare/comparison_context.h"
#include "compare/data_compare_model.h"

// What the runner drives. Every operation may be called on the comparison's threads; the view
// carries it to its own thread.
class RecordsView {
public:
    virtual ~RecordsView() = default;

    virtual void SetTableCaption(const std::wstring& name1, const std::wstring& name2) = 0;
    virtual void SetDatabaseNames(const std::wstring& path1, const std::wstring& path2) = 0;
    virtual void SetTableRows(std::vector<TableRow> rows) = 0;
    virtual void ShowRecordProgress(std::int64_t done, std::int64_t total) = 0;
    virtual void ShowTableProgress(std::int64_t done) = 0;
    // source (owned by the record model) replaces the one shown.
    virtual void SetRecordSource(RecordRowSource* source) = 0;
    virtual void RefreshRecords() = 0;
    virtual void ComparisonFinished() = 0;
    virtual void ShowError(const std::wstring& text) = 0;
    virtual void InitKindFilters() = 0;
    // Database1 only, Database2 only, modified, equal.
    virtual std::vector<bool> GetKindFilters() const = 0;
    // Runs the call on the view's thread, unless the view is gone or going by then.
    virtual void RunOnViewThread(std::function<void()> call) = 0;
};

class ComparisonRunner {
public:
    // Neither is owned; both outlive the runner. stopLimit bounds the wait for the worker when
    // the runner stops.
    ComparisonRunner(ComparisonContext& context, RecordsView& view,
                     std::chrono::milliseconds stopLimit = ComparisonContext::kStopLimit);
    // Stops the comparison.
    ~ComparisonRunner();
    ComparisonRunner(const ComparisonRunner&) = delete;
    ComparisonRunner& operator=(const ComparisonRunner&) = delete;

    // On the view's thread, all of them.
    void Start();
    // Shows the records of table pair `index` (a row of the grid), unless it is shown already.
    void SelectTable(int index);
    // A kind check box was clicked.
    void KindsChanged();
    // Asks the worker to stop and waits for it within the limit; afterwards nothing of the run
    // reaches the view. Returns the context's wait result.
    int Stop();
    // Lets go of the comparison's rows and both database connections.
    void ReleaseConnections();

    DataCompareModel* Model() const { return model_; }
    int CurrentTable() const { return current_; }
    bool IsFinished() const { return finished_; }

private:
    void ShowTable(int index);
    void RefreshTableGrid();
    void Finish();
    void Unbind();

    ComparisonContext& context_;
    RecordsView& view_;
    const std::chrono::milliseconds stopLimit_;
    DataCompareModel* model_ = nullptr;  // the context's, for the run this runner started
    int current_ = -1;
    bool stopped_ = false;
    bool finished_ = false;
};
