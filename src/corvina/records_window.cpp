#include "corvina/records_window.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "corvina/colors.h"
#include "corvina/count_bar.h"
#include "corvina/message_text.h"
#include "corvina/path_label.h"
#include "corvina/record_list_model.h"
#include "corvina/table_grid_model.h"
#include "corvina/wizard_dialog.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"

namespace {

constexpr std::uint32_t kTableLabelBackground = 0xFFDDDD;
constexpr std::uint32_t kFrameColor = 0x808080;
constexpr int kDefaultColumnWidth = 100;

QString Text(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

// A one-line label that ends in an ellipsis when its text does not fit.
class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()));
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
};

// A box with a one-pixel grey frame around its single child.
class FramedBox : public QWidget {
public:
    explicit FramedBox(QWidget* parent = nullptr) : QWidget(parent)
    {
        layout_ = new QVBoxLayout(this);
        layout_->setContentsMargins(1, 1, 1, 1);
        layout_->setSpacing(0);
    }
    QVBoxLayout* Layout() const { return layout_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(ColorFromColorRef(kFrameColor));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QVBoxLayout* layout_;
};

}  // namespace

// A caption in the bold font followed, 10 pixels on, by its value in the larger font, on a
// background of its own.
class OwnerDrawLabel : public QWidget {
public:
    OwnerDrawLabel(const QString& caption, QLabel* value, const QFont& captionFont,
                   const QFont& valueFont, QColor background, int dx, int dy,
                   QWidget* parent = nullptr)
        : QWidget(parent), value_(value)
    {
        setAutoFillBackground(true);
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, background);
        setPalette(palette);
        auto* caption_ = new QLabel(caption, this);
        caption_->setFont(captionFont);
        value_->setParent(this);
        value_->setFont(valueFont);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(dx, dy, dx, dy);
        layout->setSpacing(10);
        layout->addWidget(caption_);
        layout->addWidget(value_, 1);
    }
    QString Value() const { return value_->text(); }
    void SetValue(const QString& text) { value_->setText(text); }

private:
    QLabel* value_;
};

RecordsWindow::RecordsWindow(ComparisonContext& context, std::chrono::milliseconds stopLimit)
    : ProgressObserver(this), context_(context)
{
    runner_ = std::make_unique<ComparisonRunner>(context_, *this, stopLimit);
}

RecordsWindow::~RecordsWindow()
{
    closed_ = true;
    StopComparison();
}

void RecordsWindow::InitDialog()
{
    plainFont_ = font();
    largerFont_ = plainFont_;
    if (largerFont_.pixelSize() > 0)
        largerFont_.setPixelSize(largerFont_.pixelSize() + 2);
    else
        largerFont_.setPointSizeF(largerFont_.pointSizeF() + 1.5);
    boldFont_ = largerFont_;
    boldFont_.setWeight(QFont::DemiBold);

    auto* layout = new QVBoxLayout(this);
    BuildLabels(this);
    layout->addWidget(database1_);
    layout->addWidget(database2_);

    auto* bars = new QHBoxLayout;
    auto caption = [this](const char* text) {
        auto* label = new QLabel(QString::fromLatin1(text), this);
        label->setFont(boldFont_);
        return label;
    };
    tablesBar_ = new CountBar(this);
    recordsBar_ = new CountBar(this);
    bars->addWidget(caption("Tables:"));
    bars->addWidget(tablesBar_, 1);
    bars->addSpacing(16);
    bars->addWidget(caption("Records:"));
    bars->addWidget(recordsBar_, 1);
    layout->addLayout(bars);

    BuildGrid();
    auto* gridBox = new FramedBox;
    gridBox->Layout()->addWidget(grid_);
    auto* recordArea = new QWidget;
    BuildRecordArea(recordArea);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(8);
    splitter_->addWidget(gridBox);
    splitter_->addWidget(recordArea);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 3);

    layout->addWidget(splitter_, 1);
}

void RecordsWindow::BuildLabels(QWidget* top)
{
    path1_ = new PathLabel;
    path2_ = new PathLabel;
    database1_ = new OwnerDrawLabel(QStringLiteral("Database1:"), path1_, boldFont_, largerFont_,
                                    Qt::white, 0, 0, top);
    database2_ = new OwnerDrawLabel(QStringLiteral("Database2:"), path2_, boldFont_, largerFont_,
                                    Qt::white, 0, 0, top);
}

void RecordsWindow::BuildGrid()
{
    grid_ = new QTableView;
    gridModel_ = new TableGridModel(grid_);
    grid_->setModel(gridModel_);
    grid_->setHorizontalHeader(new TableGridHeader(boldFont_, plainFont_, grid_));
    grid_->setItemDelegate(new TableGridDelegate(grid_));
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() + 6);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setShowGrid(false);
    grid_->setFrameShape(QFrame::NoFrame);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setMinimumHeight(kGridMinimumHeight);
    grid_->installEventFilter(this);
    connect(grid_, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            OnGridRow(index.row());
    });
}

void RecordsWindow::BuildRecordArea(QWidget* area)
{
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* kinds = new QHBoxLayout;
    const char* const names[4] = {"Equal", "Only from Db1", "Only from Db2", "Modified"};
    for (int i = 0; i < 4; ++i) {
        kinds_[i] = new QCheckBox(QString::fromLatin1(names[i]), area);
        kinds->addWidget(kinds_[i]);
        connect(kinds_[i], &QCheckBox::clicked, this, [this] {
            if (runner_ && !closed_)
                runner_->KindsChanged();
        });
    }
    kinds->addStretch();
    layout->addLayout(kinds);

    table_ = new OwnerDrawLabel(QStringLiteral("Table:"), new ElidedLabel, boldFont_, largerFont_,
                                ColorFromColorRef(kTableLabelBackground), 4, 2);
    records_ = new QTableView;
    recordModel_ = new RecordListModel(records_);
    records_->setModel(recordModel_);
    connect(recordModel_, &RecordListModel::readFailed, this, [this](const QString& text) {
        if (!closed_)
            ShowError(L"Can't read the records: " + text.toStdWString());
    });
    records_->setItemDelegate(new RecordLineDelegate(records_));
    records_->verticalHeader()->hide();
    // Fixed heights: the view never asks for a line it does not show to measure it.
    records_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    records_->verticalHeader()->setDefaultSectionSize(records_->fontMetrics().height() + 4);
    records_->horizontalHeader()->setDefaultSectionSize(kDefaultColumnWidth);
    records_->setWordWrap(false);
    records_->setTextElideMode(Qt::ElideRight);
    records_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    records_->setSelectionBehavior(QAbstractItemView::SelectRows);
    records_->setFrameShape(QFrame::NoFrame);
    records_->setMinimumHeight(kRecordsMinimumHeight);

    auto* box = new FramedBox;
    box->Layout()->addWidget(table_);
    box->Layout()->addWidget(records_, 1);
    layout->addWidget(box, 1);
}

void RecordsWindow::OnEnter()
{
    // Back and Next are off until the comparison ends.
    runner_->Start();
}

void RecordsWindow::StopComparison()
{
    if (runner_)
        runner_->Stop();
    if (recordModel_)
        recordModel_->SetSource(nullptr);
    runner_.reset();
}

void RecordsWindow::Cancel()
{
    if (runner_)
        runner_->Stop();
}

void RecordsWindow::OnBack()
{
    if (!runner_)
        return;
    runner_->Stop();
    // No row is read again from here on: the list lets go of its source first.
    recordModel_->SetSource(nullptr);
    runner_->ReleaseConnections();
}

void RecordsWindow::Destroy()
{
    closed_ = true;
    StopComparison();
    DialogPage::Destroy();
}

void RecordsWindow::RunOnViewThread(std::function<void()> call)
{
    PostToUiThread([this, call = std::move(call)] {
        if (!closed_)
            call();
    });
}

void RecordsWindow::SetTableCaption(const std::wstring& name1, const std::wstring& name2)
{
    RunOnViewThread([this, name1, name2] {
        table_->SetValue(name1 == name2 ? Text(name1) : Text(name1) + " / " + Text(name2));
    });
}

void RecordsWindow::SetDatabaseNames(const std::wstring& path1, const std::wstring& path2)
{
    RunOnViewThread([this, path1, path2] {
        path1_->SetPath(Text(path1));
        path2_->SetPath(Text(path2));
    });
}

void RecordsWindow::SetTableRows(std::vector<TableRow> rows)
{
    RunOnViewThread([this, rows = std::move(rows)]() mutable {
        tableTotal_ = int(rows.size());
        const bool first = gridModel_->RowTotal() != int(rows.size());
        gridModel_->SetRows(std::move(rows));
        if (first)
            SizeGridColumns();
        // A table whose key is not unique shows its note across the four count columns.
        for (int row = 0; row < gridModel_->RowTotal(); ++row) {
            const int span = gridModel_->HasKeyNote(row) ? TableGridModel::kColumns - 2 : 1;
            if (grid_->columnSpan(row, TableGridModel::kFirstCount) != span)
                grid_->setSpan(row, TableGridModel::kFirstCount, 1, span);
        }
        tablesBar_->SetValues(tablesBar_->Done(), tableTotal_);
    });
}

void RecordsWindow::ShowRecordProgress(std::int64_t done, std::int64_t total)
{
    RunOnViewThread([this, done, total] { recordsBar_->SetValues(done, total); });
}

void RecordsWindow::ShowTableProgress(std::int64_t done)
{
    RunOnViewThread([this, done] { tablesBar_->SetValues(done, tableTotal_); });
}

void RecordsWindow::SetRecordSource(RecordRowSource* source)
{
    RunOnViewThread([this, source] {
        recordModel_->SetSource(source);
        SizeRecordColumns();
    });
}

void RecordsWindow::RefreshRecords()
{
    RunOnViewThread([this] {
        const int columns = recordModel_->columnCount();
        recordModel_->Refresh();
        if (columns != recordModel_->columnCount())
            SizeRecordColumns();
    });
}

void RecordsWindow::ComparisonFinished()
{
    RunOnViewThread([this] {
        Wizard().EnableBack();
        Wizard().EnableNext();
    });
}

void RecordsWindow::ShowError(const std::wstring& text)
{
    RunOnViewThread([this, text] {
        Wizard().Dialogs().MessageBox(window(), MessageBoxText(text, L"Error"), L"Error",
                                      ui::MB_OK | ui::MB_ICONERROR);
    });
}

void RecordsWindow::InitKindFilters()
{
    RunOnViewThread([this] {
        kinds_[0]->setChecked(false);
        for (int i = 1; i < 4; ++i)
            kinds_[i]->setChecked(true);
    });
}

std::vector<bool> RecordsWindow::GetKindFilters() const
{
    return {kinds_[1]->isChecked(), kinds_[2]->isChecked(), kinds_[3]->isChecked(),
            kinds_[0]->isChecked()};
}

QString RecordsWindow::TableCaption() const
{
    return table_->Value();
}

QString RecordsWindow::DatabasePath(int side) const
{
    return side == 1 ? path1_->Path() : path2_->Path();
}

void RecordsWindow::OnGridRow(int row)
{
    if (runner_ && !closed_)
        runner_->SelectTable(row);
}

int RecordsWindow::CountColumnMinimum() const
{
    // Nine digits with the cell's text margins, and each count caption whole as the header
    // draws it (4 pixels in, 2 spare at the right).
    const int margin =
        grid_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid_) + 1;
    int minimum =
        grid_->fontMetrics().horizontalAdvance(QStringLiteral("999999999")) + 2 * margin + 2;
    const QFontMetrics header(plainFont_);
    for (int column = 2; column < TableGridModel::kColumns; ++column)
        minimum = std::max(
            minimum,
            header.horizontalAdvance(
                gridModel_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()) +
                8);
    return minimum;
}

void RecordsWindow::SizeGridColumns()
{
    // The names share what the counts leave: a third each, as long as a quarter of a third is
    // enough for a count.
    const int width = grid_->viewport()->width();
    const int count = std::max(width / 12, CountColumnMinimum());
    const int name = std::max(0, (width - 4 * count) / 2);
    grid_->setColumnWidth(0, name);
    grid_->setColumnWidth(1, name);
    for (int column = 2; column < TableGridModel::kColumns; ++column)
        grid_->setColumnWidth(column, count);
}

void RecordsWindow::SizeRecordColumns()
{
    const int columns = recordModel_->columnCount();
    if (columns == 0)
        return;
    const int width = (records_->viewport()->width() - 16) / columns;
    for (int column = 0; column < columns; ++column)
        records_->setColumnWidth(column, width > 99 ? width : kDefaultColumnWidth);
}

void RecordsWindow::resizeEvent(QResizeEvent* event)
{
    DialogPage::resizeEvent(event);
    if (splitter_ && !splitterPlaced_ && splitter_->height() > 0) {
        // Room for a few tables at first; the records take the rest.
        splitterPlaced_ = true;
        const int grid = grid_->verticalHeader()->defaultSectionSize() * 5 + 30;
        splitter_->setSizes({grid, std::max(splitter_->height() - grid, kRecordsMinimumHeight)});
    }
    if (grid_)
        SizeGridColumns();
}

void RecordsWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape in the window does not close the program; Enter goes to the focused control.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    DialogPage::keyPressEvent(event);
}

bool RecordsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            const QModelIndex current = grid_->currentIndex();
            if (current.isValid())
                OnGridRow(current.row());
            return true;
        }
    }
    if (watched == grid_ && event->type() == QEvent::Resize)
        SizeGridColumns();
    return DialogPage::eventFilter(watched, event);
}
