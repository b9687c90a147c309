// Step 5 of the wizard: the data comparison runs from the moment the window is entered, and the
// window shows how many tables and records are done, a grid of the table pairs with their
// counts, and the records of the table chosen in the grid, of the kinds the user ticks.
#pragma once

#include <chrono>
#include <memory>

#include "compare/comparison_context.h"
#include "compare/progress_observer.h"
#include "corvina/comparison_runner.h"
#include "corvina/wizard_page.h"

class CountBar;
class OwnerDrawLabel;
class PathLabel;
class QCheckBox;
class QSplitter;
class QTableView;
class RecordListModel;
class TableGridModel;

class RecordsWindow : public DialogPage, private ProgressObserver, public RecordsView {
    Q_OBJECT
public:
    static constexpr int kGridMinimumHeight = 60;
    static constexpr int kRecordsMinimumHeight = 80;

    // context (not owned) outlives the window. stopLimit bounds the wait for the comparison's
    // worker when the window goes.
    explicit RecordsWindow(ComparisonContext& context,
                           std::chrono::milliseconds stopLimit = ComparisonContext::kStopLimit);
    ~RecordsWindow() override;

    // Starts the comparison.
    void OnEnter() override;
    // Stops the comparison without waiting for the window to go.
    void Cancel() override;
    // Lets go of the comparison's rows and connections before the wizard goes back.
    void OnBack() override;
    // Stops the comparison, then hides the window and deletes it on the event loop.
    void Destroy() override;

    // RecordsView: callable on any thread.
    void SetTableCaption(const std::wstring& name1, const std::wstring& name2) override;
    void SetDatabaseNames(const std::wstring& path1, const std::wstring& path2) override;
    void SetTableRows(std::vector<TableRow> rows) override;
    void ShowRecordProgress(std::int64_t done, std::int64_t total) override;
    void ShowTableProgress(std::int64_t done) override;
    void SetRecordSource(RecordRowSource* source) override;
    void RefreshRecords() override;
    void ComparisonFinished() override;
    void ShowError(const std::wstring& text) override;
    void InitKindFilters() override;
    std::vector<bool> GetKindFilters() const override;
    void RunOnViewThread(std::function<void()> call) override;

    // What the user sees, for the tests.
    ComparisonRunner* Runner() const { return runner_.get(); }
    QString TableCaption() const;
    QString DatabasePath(int side) const;
    PathLabel* DatabasePathLabel(int side) const { return side == 1 ? path1_ : path2_; }
    CountBar* TablesBar() const { return tablesBar_; }
    CountBar* RecordsBar() const { return recordsBar_; }
    QTableView* TableGrid() const { return grid_; }
    TableGridModel* TableGridData() const { return gridModel_; }
    QTableView* RecordList() const { return records_; }
    RecordListModel* RecordListData() const { return recordModel_; }
    // 0 Equal, 1 Only from Db1, 2 Only from Db2, 3 Modified.
    QCheckBox* KindBox(int index) const { return kinds_[index]; }
    QSplitter* Splitter() const { return splitter_; }

protected:
    void InitDialog() override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildLabels(QWidget* top);
    void BuildGrid();
    void BuildRecordArea(QWidget* area);
    // The narrowest a count column may be.
    int CountColumnMinimum() const;
    void SizeGridColumns();
    void SizeRecordColumns();
    void OnGridRow(int row);
    void StopComparison();

    ComparisonContext& context_;
    std::unique_ptr<ComparisonRunner> runner_;
    bool closed_ = false;  // set by Destroy: nothing arriving later is shown
    QFont plainFont_;
    QFont largerFont_;
    QFont boldFont_;
    OwnerDrawLabel* database1_ = nullptr;
    OwnerDrawLabel* database2_ = nullptr;
    PathLabel* path1_ = nullptr;
    PathLabel* path2_ = nullptr;
    OwnerDrawLabel* table_ = nullptr;
    CountBar* tablesBar_ = nullptr;
    CountBar* recordsBar_ = nullptr;
    int tableTotal_ = 0;
    QTableView* grid_ = nullptr;
    TableGridModel* gridModel_ = nullptr;
    QTableView* records_ = nullptr;
    RecordListModel* recordModel_ = nullptr;
    QCheckBox* kinds_[4] = {};
    QSplitter* splitter_ = nullptr;
    bool splitterPlaced_ = false;
};
