// The records window as the user meets it: the comparison of two real stores runs on entry, the
// grid and the bars count it, the record list shows each kind in its colours with a modified
// record on two lines, the kind boxes and the grid choose what is shown, and leaving or closing
// while the comparison runs ends it at once without anything reaching the window afterwards.
#include "corvina/records_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <chrono>
#include <climits>
#include <cmath>
#include <filesystem>
#include <functional>

#include "../compare/comparison_fixture.h"
#include "../output/sync_fixture.h"
#include "compare/data_compare_model.h"
#include "corvina/colors.h"
#include "corvina/count_bar.h"
#include "corvina/record_list_model.h"
#include "corvina/step_indicator.h"
#include "corvina/table_grid_model.h"
#include "corvina/wizard_dialog.h"
#include "platform/ui/frame_dialogs.h"
#include "platform/ui/message_box.h"
#include "sqlexec/i_progress.h"

namespace {

using automation::Variant;
using synctest::Row;
using Clock = std::chrono::steady_clock;

class AnsweringDialogs : public ui::FrameDialogs {
public:
    int MessageBox(QWidget*, const std::wstring& text, const std::wstring& caption,
                   unsigned type) override
    {
        boxes.push_back({caption, text, type});
        return ui::IDOK;
    }
    struct Box {
        std::wstring caption, text;
        unsigned type;
    };
    std::vector<Box> boxes;
};

bool WaitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::seconds(30))
{
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

void FlushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QString Cell(QAbstractItemModel* model, int row, int column, int role = Qt::DisplayRole)
{
    return model->data(model->index(row, column), role).toString();
}

// A source of lines made in the test; counts the lines asked for.
class FakeSource : public RecordRowSource {
public:
    FakeSource(int count, CaptionList captions) : count_(count), captions_(std::move(captions)) {}
    bool IsReady() const override { return true; }
    const CaptionList* ColumnCaptions() const override { return &captions_; }
    int LineCount() const override { return count_; }
    void Refresh() override {}
    RecordLines GetLines(int first, int count) override
    {
        lines_.clear();
        for (int i = first; i < std::min(count_, first + count); ++i) {
            RecordLine line;
            line.kind = RecordLine::Kind(i % 5);
            for (size_t c = 0; c < captions_.size(); ++c)
                line.cells.push_back({L"r" + std::to_wstring(i) + L"c" + std::to_wstring(c),
                                      c == 1 && (line.kind == RecordLine::kModifiedFirst ||
                                                 line.kind == RecordLine::kModifiedSecond)});
            lines_.push_back(std::move(line));
            highest = std::max(highest, i);
        }
        requests += 1;
        RecordLines out;
        for (const auto& line : lines_)
            out.push_back(&line);
        return out;
    }
    void SetCount(int count) { count_ = count; }
    int highest = -1;
    int requests = 0;

private:
    int count_;
    CaptionList captions_;
    std::vector<RecordLine> lines_;
};

TEST(RecordListModelTest, ShowsEachKindInItsColoursAndBuildsOnlyTheLinesOnScreen)
{
    FakeSource source(1000000, {L"id", L"name", L"city"});
    QTableView view;
    RecordListModel model;
    view.setModel(&model);
    view.setItemDelegate(new RecordLineDelegate(&view));
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.resize(800, 600);
    model.SetSource(&source);
    view.show();
    QCoreApplication::processEvents();
    view.grab();
    EXPECT_EQ(model.rowCount(), 1000000);
    EXPECT_EQ(model.columnCount(), 3);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "name");
    // A million lines, yet only about a page of them was built.
    EXPECT_LT(source.highest, 200);

    struct Expect {
        int row;
        int kind;
        QVariant background;
        bool nameChanged;
    };
    const Expect cases[] = {
        {0, RecordLine::kFirstOnly, QColor(0xF2, 0xF2, 0xFF), false},
        {1, RecordLine::kSecondOnly, QColor(0xFF, 0xFF, 0x7F), false},
        {2, RecordLine::kModifiedFirst, QVariant(), true},
        {3, RecordLine::kModifiedSecond, QVariant(), true},
        {4, RecordLine::kEqual, QVariant(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(model.data(model.index(c.row, 0), RecordListModel::KindRole).toInt(), c.kind);
        EXPECT_EQ(model.data(model.index(c.row, 0), Qt::BackgroundRole), c.background);
        EXPECT_EQ(model.data(model.index(c.row, 1), RecordListModel::ChangedRole).toBool(),
                  c.nameChanged);
        EXPECT_FALSE(model.data(model.index(c.row, 2), RecordListModel::ChangedRole).toBool());
        EXPECT_EQ(Cell(&model, c.row, 2), QString("r%1c2").arg(c.row));
    }
    // Far down the list: one page is asked for, not everything before it.
    const int before = source.requests;
    EXPECT_EQ(Cell(&model, 765432, 0), "r765432c0");
    EXPECT_EQ(source.requests, before + 1);

    // Lines added by the comparison appear without a reset of the view.
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    source.SetCount(1000010);
    model.Refresh();
    EXPECT_EQ(model.rowCount(), 1000010);
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(Cell(&model, 1000009, 1), "r1000009c1");
}

TEST(CountBarTest, FillsTheDoneShareOfAnyTotal)
{
    struct Case {
        std::int64_t done, total;
        int filled;
        const char* text;
    };
    const std::int64_t big = 3000000000LL;
    const Case cases[] = {
        {0, 0, 0, "0 of 0"},
        {5, 0, 0, "5 of 0"},
        {0, 10, 0, "0 of 10"},
        {5, 10, 100, "5 of 10"},
        {10, 10, 200, "10 of 10"},
        {big, 2 * big, 100, "3000000000 of 6000000000"},
        {LLONG_MAX / 2, LLONG_MAX, 99, nullptr},
        {LLONG_MAX, LLONG_MAX, 200, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        EXPECT_EQ(CountBar::FilledWidth(200, c.done, c.total), c.filled);
        CountBar bar;
        bar.SetValues(c.done, c.total);
        if (c.text) {
            EXPECT_EQ(bar.Text(), c.text);
        }
        bar.resize(200, 18);
        bar.grab();  // paints without a fault
    }
}

// The contrast of two colours as the web's accessibility guidelines measure it (1 to 21).
double Contrast(QColor a, QColor b)
{
    auto luminance = [](QColor c) {
        auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) +
               0.0722 * channel(c.blue());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(CountBarTest, TheTextReadsOnTheDoneShareAndOnTheRemainder)
{
    const QColor done = ColorFromColorRef(0xFF6666);
    const QColor remainder = ColorFromColorRef(0xE6D8AD);
    struct Case {
        std::int64_t done, total;
        bool onDone;  // the text stands on the done share (else on the remainder)
    };
    for (const Case& c : {Case{0, 2, false}, Case{1, 4001982, false}, Case{4001982, 4001982, true}}) {
        SCOPED_TRACE(c.done);
        CountBar bar;
        bar.resize(300, 18);
        bar.SetValues(c.done, c.total);
        const QImage image = bar.grab().toImage();
        const QColor ground = c.onDone ? done : remainder;
        // The text's strongest pixel against the part it stands on.
        double best = 1.0;
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                best = std::max(best, Contrast(image.pixelColor(x, y), ground));
        EXPECT_GE(best, c.onDone ? 3.0 : 4.5);
    }
}

TEST(TableGridModelTest, ColoursRowsByStateAndPosition)
{
    TableGridModel model;
    std::vector<TableRow> rows(3);
    rows[0] = {L"A", L"A", true, false, {L"1", L"2", L"3", L"4"}};
    rows[1] = {L"B", L"C", true, true, {L"0", L"0", L"0", L"0"}};
    rows[2] = {L"D", L"D", false, false, {L"0", L"0", L"0", L"0"}};
    model.SetRows(rows);
    struct Expect {
        QColor background, text;
    };
    const Expect expect[] = {
        {Qt::white, Qt::black},
        {QColor(0x99, 0x99, 0xFF), Qt::white},
        {Qt::white, QColor(0x9D, 0x9D, 0x9D)},
    };
    for (int row = 0; row < 3; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(model.data(model.index(row, 0), Qt::BackgroundRole).value<QColor>(),
                  expect[row].background);
        EXPECT_EQ(model.data(model.index(row, 3), Qt::ForegroundRole).value<QColor>(),
                  expect[row].text);
    }
    rows[1].current = false;
    model.SetRows(rows);
    EXPECT_EQ(model.data(model.index(1, 0), Qt::BackgroundRole).value<QColor>(),
              QColor(0xDD, 0xEE, 0xFF));
    EXPECT_EQ(Cell(&model, 0, 5), "4");
    EXPECT_EQ(model.headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "Equal");
}

// Two native stores: Customers with every kind of record, Orders all equal, and Staff paired by
// hand with Personnel.
class RecordsWindowTest : public ::testing::Test {
protected:
    const synctest::TableDef customers{
        L"Customers",
        {{L"id", L"LONG", 3}, {L"name", L"TEXT(20)", 202}, {L"city", L"TEXT(20)", 202}},
        {L"id"},
        true,
        {}};
    const synctest::TableDef orders{
        L"Orders", {{L"id", L"LONG", 3}, {L"qty", L"LONG", 3}}, {L"id"}, true, {}};

    void SetUp() override
    {
        path1 = synctest::Path(dir, "one.mdb");
        path2 = synctest::Path(dir, "two.mdb");
        synctest::CreateStore(path1, {customers, orders});
        synctest::CreateStore(path2, {customers, orders});
        synctest::InsertRows(path1, customers,
                             {{Variant(1), Variant(L"Ann"), Variant(L"Oslo")},
                              {Variant(2), Variant(L"Bob"), Variant(L"Rome")},
                              {Variant(3), Variant(L"Cid"), Variant(L"Lima")},
                              {Variant(4), Variant(L"Dan"), Variant(L"Kiev")}});
        synctest::InsertRows(path2, customers,
                             {{Variant(1), Variant(L"Ann"), Variant(L"Oslo")},
                              {Variant(2), Variant(L"Bob"), Variant(L"Nice")},
                              {Variant(4), Variant(L"Dan"), Variant(L"Kiev")},
                              {Variant(5), Variant(L"Eve"), Variant(L"Bern")}});
        synctest::InsertRows(path1, orders, {{Variant(1), Variant(7)}});
        synctest::InsertRows(path2, orders, {{Variant(1), Variant(7)}});
        wizard.Initialize();
    }

    void LoadAndPair()
    {
        ComparisonContext& context = wizard.Context();
        context.Source1().Settings().path = path1;
        context.Source2().Settings().path = path2;
        FakeProgress progress;
        ASSERT_TRUE(context.Source1().Load(progress));
        ASSERT_TRUE(context.Source2().Load(progress));
        ASSERT_TRUE(context.BuildTablePairs());
    }

    RecordsWindow* Enter(ComparisonContext& context,
                         std::chrono::milliseconds limit = ComparisonContext::kStopLimit)
    {
        wizard.DisableBack();
        wizard.DisableNext();
        auto* window = new RecordsWindow(context, limit);
        window->Create(wizard);
        window->resize(760, 480);
        window->OnEnter();
        return window;
    }

    int TableRowOf(RecordsWindow* window, const QString& name)
    {
        for (int row = 0; row < window->TableGridData()->rowCount(); ++row)
            if (Cell(window->TableGridData(), row, 0) == name)
                return row;
        return -1;
    }

    std::vector<int> Kinds(RecordsWindow* window)
    {
        std::vector<int> kinds;
        RecordListModel* model = window->RecordListData();
        for (int row = 0; row < model->rowCount(); ++row)
            kinds.push_back(model->data(model->index(row, 0), RecordListModel::KindRole).toInt());
        return kinds;
    }

    testsupport::TempDir dir;
    std::wstring path1, path2;
    AnsweringDialogs dialogs;
    WizardDialog wizard{dialogs};
};

TEST_F(RecordsWindowTest, ComparesOnEntryAndShowsCountsKindsAndTheChosenTable)
{
    LoadAndPair();
    RecordsWindow* window = Enter(wizard.Context());
    // On entry: Back and Next wait for the end; Equal is off, the other kinds on.
    EXPECT_FALSE(wizard.BackButton()->isEnabled());
    EXPECT_FALSE(window->KindBox(0)->isChecked());
    for (int i = 1; i < 4; ++i)
        EXPECT_TRUE(window->KindBox(i)->isChecked());

    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    EXPECT_TRUE(wizard.BackButton()->isEnabled());
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(window->DatabasePath(1), QString::fromStdWString(path1));
    EXPECT_EQ(window->DatabasePath(2), QString::fromStdWString(path2));
    EXPECT_EQ(window->TablesBar()->Text(), "2 of 2");

    const int row = TableRowOf(window, "Customers");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Cell(window->TableGridData(), row, 1), "Customers");
    // Equal, Db1, Db2, Modified.
    const char* counts[] = {"2", "1", "1", "1"};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(Cell(window->TableGridData(), row, 2 + k), counts[k]);

    if (row != window->Runner()->CurrentTable())
        window->Runner()->SelectTable(row);
    EXPECT_EQ(window->TableCaption(), "Customers");
    EXPECT_EQ(window->TableGridData()->data(window->TableGridData()->index(row, 0),
                                            TableGridModel::StateRole),
              TableGridModel::kCurrent);
    // By key: 2 modified (Database1's line above Database2's), 3 only in Db1, 5 only in Db2.
    RecordListModel* records = window->RecordListData();
    ASSERT_EQ(Kinds(window), (std::vector<int>{2, 3, 0, 1}));
    EXPECT_EQ(Cell(records, 0, 2), "Rome");
    EXPECT_EQ(Cell(records, 1, 2), "Nice");
    for (int line = 0; line < 2; ++line) {
        EXPECT_TRUE(records->data(records->index(line, 2), RecordListModel::ChangedRole).toBool());
        EXPECT_FALSE(records->data(records->index(line, 1), RecordListModel::ChangedRole).toBool());
    }
    EXPECT_EQ(records->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), "city");

    // Ticking Equal adds the equal records in key order; clearing Modified drops both lines.
    window->KindBox(0)->click();
    EXPECT_EQ(Kinds(window), (std::vector<int>{4, 2, 3, 0, 4, 1}));
    window->KindBox(3)->click();
    EXPECT_EQ(Kinds(window), (std::vector<int>{4, 0, 4, 1}));

    // A click on the table shown does not reload it; a click on another one shows it.
    int resets = 0;
    QObject::connect(records, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    window->Runner()->SelectTable(row);
    EXPECT_EQ(resets, 0);
    const int orders = TableRowOf(window, "Orders");
    window->Runner()->SelectTable(orders);
    EXPECT_EQ(window->TableCaption(), "Orders");
    EXPECT_EQ(Kinds(window), (std::vector<int>{4}));
    window->Runner()->SelectTable(99);  // beyond the grid: nothing changes
    EXPECT_EQ(window->TableCaption(), "Orders");

    window->grab();
    window->Destroy();
    FlushDeletes();
}

TEST_F(RecordsWindowTest, ATableWhoseKeyIsNotUniqueSaysSoInPlaceOfItsCounts)
{
    // No primary key; the user keys it on A, which Database1 holds twice.
    synctest::TableDef dup{
        L"Dup", {{L"A", L"LONG", 3}, {L"V", L"TEXT(10)", 202}}, {L"A"}, false, {}};
    synctest::Execute(path1, synctest::CreateTableSql(dup));
    synctest::Execute(path2, synctest::CreateTableSql(dup));
    synctest::InsertRows(
        path1, dup,
        {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")}, {Variant(2), Variant(L"c")}});
    synctest::InsertRows(path2, dup, {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")}});
    LoadAndPair();
    for (const auto& pair : wizard.Context().PairList()->Pairs())
        if (pair->First()->Name() == L"Dup")
            pair->Fields().GetPair(0)->SetKey(true);

    RecordsWindow* window = Enter(wizard.Context());
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    const int row = TableRowOf(window, "Dup");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Cell(window->TableGridData(), row, 2), "Key not unique in Db1: 2");
    for (int column = 3; column < TableGridModel::kColumns; ++column)
        EXPECT_EQ(Cell(window->TableGridData(), row, column), "");
    EXPECT_EQ(window->TableGrid()->columnSpan(row, 2), 4);
    // The other tables keep their counts.
    const int customers = TableRowOf(window, "Customers");
    EXPECT_EQ(Cell(window->TableGridData(), customers, 2), "2");
    EXPECT_EQ(window->TableGrid()->columnSpan(customers, 2), 1);
    window->grab();
    window->Destroy();
    FlushDeletes();
}

TEST_F(RecordsWindowTest, ARepeatPastTheOtherSidesLastKeyIsShownToo)
{
    // Database1's 5 is held twice, past Database2's last key 2: rows the comparison does not
    // read one by one.
    synctest::TableDef dup{
        L"Dup", {{L"A", L"LONG", 3}, {L"V", L"TEXT(10)", 202}}, {L"A"}, false, {}};
    synctest::Execute(path1, synctest::CreateTableSql(dup));
    synctest::Execute(path2, synctest::CreateTableSql(dup));
    synctest::InsertRows(path1, dup,
                         {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")},
                          {Variant(5), Variant(L"c")}, {Variant(5), Variant(L"d")}});
    synctest::InsertRows(path2, dup, {{Variant(1), Variant(L"a")}, {Variant(2), Variant(L"b")}});
    LoadAndPair();
    for (const auto& pair : wizard.Context().PairList()->Pairs())
        if (pair->First()->Name() == L"Dup")
            pair->Fields().GetPair(0)->SetKey(true);

    RecordsWindow* window = Enter(wizard.Context());
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    const int row = TableRowOf(window, "Dup");
    ASSERT_GE(row, 0);
    EXPECT_EQ(Cell(window->TableGridData(), row, 2), "Key not unique in Db1: 5");
    EXPECT_EQ(window->TableGrid()->columnSpan(row, 2), 4);
    const int customers = TableRowOf(window, "Customers");
    EXPECT_EQ(Cell(window->TableGridData(), customers, 2), "2");
    window->grab();
    window->Destroy();
    FlushDeletes();
}

TEST_F(RecordsWindowTest, AtTheDefaultSizeEveryCountColumnShowsNineDigitsAndItsWholeCaption)
{
    LoadAndPair();
    wizard.resize(800, 600);
    wizard.show();
    wizard.DisableBack();
    wizard.DisableNext();
    auto* window = new RecordsWindow(wizard.Context());
    window->Create(wizard);
    window->OnEnter();
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    std::vector<TableRow> rows(size_t(window->TableGridData()->RowTotal()));
    for (TableRow& row : rows) {
        row.name1 = row.name2 = L"Customers";
        row.started = true;
        for (std::wstring& count : row.counts)
            count = L"123456789";
    }
    window->SetTableRows(rows);
    QCoreApplication::processEvents();

    QTableView* grid = window->TableGrid();
    // The cell's text stands inside the style's margins; the header's 4 pixels in, 2 spare.
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const QFontMetrics captions(window->font());
    int total = 0;
    for (int column = 0; column < TableGridModel::kColumns; ++column) {
        total += grid->columnWidth(column);
        if (column < 2)
            continue;
        SCOPED_TRACE(column);
        const QString count = Cell(window->TableGridData(), 0, column);
        ASSERT_EQ(count, "123456789");
        EXPECT_LE(grid->fontMetrics().horizontalAdvance(count),
                  grid->columnWidth(column) - 2 * margin);
        const QString caption =
            window->TableGridData()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        EXPECT_LE(captions.horizontalAdvance(caption), grid->columnWidth(column) - 6);
    }
    // The names share the rest: nothing runs out of the grid.
    EXPECT_LE(total, grid->viewport()->width());
    EXPECT_GT(grid->columnWidth(0), grid->columnWidth(2));
    window->Destroy();
    FlushDeletes();
}

TEST_F(RecordsWindowTest, TablesOfDifferentNamesShowBothNames)
{
    synctest::TableDef staff{L"Staff", {{L"id", L"LONG", 3}}, {L"id"}, true, {}};
    synctest::TableDef personnel{L"Personnel", {{L"id", L"LONG", 3}}, {L"id"}, true, {}};
    synctest::Execute(path1, synctest::CreateTableSql(staff));
    synctest::Execute(path2, synctest::CreateTableSql(personnel));
    LoadAndPair();
    TablePairList& pairs = *wizard.Context().PairList();
    int staffPair = -1;
    for (size_t i = 0; i < pairs.Pairs().size(); ++i)
        if (pairs.Pairs()[i]->First()->Name() == L"Staff")
            staffPair = int(i);
    ASSERT_GE(staffPair, 0);
    const auto& tables2 = wizard.Context().Source2().Schema()->Tables();
    int personnelIndex = -1;
    for (size_t i = 0; i < tables2.size(); ++i)
        if (tables2[i]->Name() == L"Personnel")
            personnelIndex = int(i);
    pairs.SetCounterpart(staffPair, personnelIndex);
    ASSERT_TRUE(pairs.Pairs()[staffPair]->IsMatched());

    RecordsWindow* window = Enter(wizard.Context());
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    window->Runner()->SelectTable(TableRowOf(window, "Staff"));
    EXPECT_EQ(window->TableCaption(), "Staff / Personnel");
    window->Destroy();
    FlushDeletes();
}

// Values that differ by less than their usual text shows: the two changed cells show the digits
// that tell them apart, every other cell its usual text.
TEST_F(RecordsWindowTest, ChangedCellsOfTheSameTextShowTheDigitsThatTellThemApart)
{
    const synctest::TableDef readings{L"Readings",
                                      {{L"id", L"LONG", 3},
                                       {L"at", L"DATETIME", 7},
                                       {L"v", L"DOUBLE", 5},
                                       {L"note", L"TEXT(10)", 202}},
                                      {L"id"},
                                      true,
                                      {}};
    synctest::Execute(path1, synctest::CreateTableSql(readings));
    synctest::Execute(path2, synctest::CreateTableSql(readings));
    const double noon = 45000.5;  // 03/15/2023 12:00:00
    const double tenth = 0.1;
    const double nextTenth = std::nextafter(tenth, 1.0);
    synctest::InsertRows(path1, readings,
                         {{Variant(1), Variant::FromDate(noon), Variant(tenth), Variant(L"a")},
                          {Variant(2), Variant::FromDate(noon), Variant(tenth), Variant(L"a")}});
    synctest::InsertRows(
        path2, readings,
        {{Variant(1), Variant::FromDate(noon + 0.25 / 86400), Variant(tenth), Variant(L"b")},
         {Variant(2), Variant::FromDate(noon), Variant(nextTenth), Variant(L"a")}});
    LoadAndPair();
    RecordsWindow* window = Enter(wizard.Context());
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    window->Runner()->SelectTable(TableRowOf(window, "Readings"));
    ASSERT_EQ(Kinds(window), (std::vector<int>{2, 3, 2, 3}));
    RecordListModel* records = window->RecordListData();
    const QString lines[4][3] = {
        {"#03/15/2023 12:00:00.000#", "0.1", "a"},
        {"#03/15/2023 12:00:00.250#", "0.1", "b"},
        {"#03/15/2023 12:00:00#", "0.10000000000000001", "a"},
        {"#03/15/2023 12:00:00#", "0.10000000000000002", "a"},
    };
    for (int line = 0; line < 4; ++line) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_EQ(Cell(records, line, 1 + column), lines[line][column])
                << line << "," << column;
            // Those cells, cut short in a narrow column, keep their ends in view.
            const bool exact = column == (line < 2 ? 0 : 1);
            EXPECT_EQ(records->data(records->index(line, 1 + column), RecordListModel::ExactRole)
                          .toBool(),
                      exact)
                << line << "," << column;
        }
    }
    window->Destroy();
    FlushDeletes();
}

TEST_F(RecordsWindowTest, AFailedComparisonShowsItsErrorOnceAndKeepsTheButtonsOff)
{
    LoadAndPair();
    // The table goes from the file after its schema was read: its count fails.
    synctest::Execute(path2, L"DROP TABLE [Orders]");
    synctest::Execute(path2, L"DROP TABLE [Customers]");
    RecordsWindow* window = Enter(wizard.Context());
    ASSERT_TRUE(WaitFor([&] { return !dialogs.boxes.empty(); }));
    WaitFor([] { return false; }, std::chrono::milliseconds(700));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, L"Error");
    EXPECT_EQ(dialogs.boxes[0].type & ui::MB_ICONERROR, ui::MB_ICONERROR);
    // The failure itself, once, from the first character to the last.
    EXPECT_EQ(dialogs.boxes[0].text.rfind(L"The database engine cannot find the input table", 0),
              0u)
        << automation::ToUtf8(dialogs.boxes[0].text);
    EXPECT_NE(dialogs.boxes[0].text.back(), L'\n');
    EXPECT_FALSE(wizard.BackButton()->isEnabled());
    EXPECT_FALSE(wizard.NextButton()->isEnabled());
    window->Destroy();
    FlushDeletes();
}

// Database2 is damaged after the comparison: the lines it can no longer give are said to be
// unreadable once, not shown as empty rows without a word.
TEST_F(RecordsWindowTest, AListThatCannotReadItsRowsSaysSoOnce)
{
    const synctest::TableDef big{
        L"Big", {{L"id", L"LONG", 3}, {L"v", L"MEMO", 203}}, {L"id"}, true, {}};
    synctest::Execute(path1, synctest::CreateTableSql(big));
    synctest::Execute(path2, synctest::CreateTableSql(big));
    // More than a connection keeps in memory: the first rows, read early in the comparison, come
    // from the file again when they are scrolled back to.
    const std::wstring filler(4000, L'x');
    for (const auto& [path, value] : {std::pair{path1, L"one"}, std::pair{path2, L"two"}}) {
        std::vector<Row> rows;
        for (int id = 0; id < 4000; ++id)
            rows.push_back({Variant(id), Variant(value + filler)});
        synctest::InsertRows(path, big, rows);
    }
    LoadAndPair();
    RecordsWindow* window = Enter(wizard.Context());
    window->show();
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    window->Runner()->SelectTable(TableRowOf(window, "Big"));
    RecordListModel* records = window->RecordListData();
    ASSERT_EQ(records->rowCount(), 8000);
    EXPECT_TRUE(Cell(records, 1, 1).startsWith("two"));

    std::filesystem::resize_file(automation::ToUtf8(path2), 4096);
    QTableView* list = window->RecordList();
    for (int row : {100, 1000, 20}) {
        list->scrollTo(records->index(row, 0));
        list->grab();
        WaitFor([] { return false; }, std::chrono::milliseconds(100));
    }
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, L"Error");
    EXPECT_EQ(dialogs.boxes[0].text.rfind(L"Can't read the records: ", 0), 0u)
        << automation::ToUtf8(dialogs.boxes[0].text);
    EXPECT_GT(dialogs.boxes[0].text.size(), std::wstring(L"Can't read the records: ").size());
    window->Destroy();
    FlushDeletes();
}

// Back lets go of the run's results as well as of the databases; the window entered again
// compares anew and shows the same records.
TEST_F(RecordsWindowTest, BackLetsGoOfTheDatabasesAndTheResults)
{
    LoadAndPair();
    std::vector<std::vector<int>> shown;
    for (int entry = 0; entry < 2; ++entry) {
        RecordsWindow* window = Enter(wizard.Context());
        ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
        window->Runner()->SelectTable(TableRowOf(window, "Customers"));
        shown.push_back(Kinds(window));
        EXPECT_NE(wizard.Context().Store(), nullptr);
        window->OnBack();
        EXPECT_EQ(wizard.Context().Store(), nullptr);
        EXPECT_EQ(wizard.Context().Model(), nullptr);
        window->Destroy();
        FlushDeletes();
        // With the comparison's connections closed the file can be opened exclusively.
        auto connection =
            automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
        connection->SetMode(12);
        EXPECT_NO_THROW(connection->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path1));
        connection->Close();
    }
    EXPECT_FALSE(shown[0].empty());
    EXPECT_EQ(shown[0], shown[1]);
}

// A comparison that is slow on purpose, over databases in memory.
TEST_F(RecordsWindowTest, LeavingOrClosingWhileComparingEndsAtOnceAndNothingArrivesLater)
{
    for (const bool abandon : {false, true}) {
        SCOPED_TRACE(abandon);
        testsupport::ComparisonHarness harness;
        std::vector<testsupport::Row> rows;
        for (int i = 0; i < (abandon ? 700 : 5000); ++i)
            rows.push_back({Variant(i), Variant(i % 7)});
        harness.AddBoth(L"T", {L"id", L"v"}, rows, rows);
        harness.db1.SetRowDelay(std::chrono::microseconds(abandon ? 3000 : 200));
        harness.Pairs();
        // The stop is waited for this long at most; an abandoned worker goes on reading.
        const auto limit = abandon ? std::chrono::milliseconds(1) : ComparisonContext::kStopLimit;
        QPointer<RecordsWindow> window = Enter(*harness.context, limit);
        WaitFor([] { return false; }, std::chrono::milliseconds(1300));
        ASSERT_TRUE(window->Runner());
        const auto start = Clock::now();
        window->Cancel();
        window->Destroy();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(harness.context->IsWorkerAbandoned(), abandon);
        FlushDeletes();
        EXPECT_TRUE(window.isNull());
        // Whatever the worker still does reaches no window.
        WaitFor([] { return false; }, std::chrono::milliseconds(abandon ? 1500 : 300));
        EXPECT_TRUE(dialogs.boxes.empty());
        EXPECT_FALSE(wizard.NextButton()->isEnabled());
    }
}

}  // namespace

namespace {

// Copies some columns of a table of a genuine file into a native store, row by row.
void CopyRows(const std::wstring& from, const std::wstring& to, const synctest::TableDef& table)
{
    auto source = automation::CreateObjectAs<provider::adodb::Connection>(L"ADODB.Connection");
    source->Open(L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + from);
    std::wstring select = L"select ";
    for (size_t i = 0; i < table.columns.size(); ++i)
        select += (i ? L", [" : L"[") + table.columns[i].name + L"]";
    auto rows = source->Execute(select + L" from [" + table.name + L"]", nullptr,
                                provider::adodb::adCmdText);
    std::vector<Row> copied;
    while (!rows->IsEOF()) {
        Row row;
        for (long i = 0; i < rows->Fields()->Count(); ++i)
            row.push_back(rows->Fields()->Item(i)->Value());
        copied.push_back(std::move(row));
        rows->MoveNext();
    }
    rows->Close();
    source->Close();
    synctest::InsertRows(to, table, copied);
}

}  // namespace

// The sample database as Database2 against a native copy of some of its tables with a few
// records changed, removed and added; with CORVINA_SCREENSHOTS set to a folder the window is
// grabbed there during and after the comparison.
TEST_F(RecordsWindowTest, ComparesTheSampleDatabaseWithAChangedNativeCopy)
{
    const std::wstring nwind =
        automation::FromUtf8(testsupport::CopyTestData("nwind.mdb", dir).string());
    const std::wstring copy = synctest::Path(dir, "nwind_changed.mdb");
    const synctest::TableDef customers{L"Customers",
                                       {{L"CustomerID", L"TEXT(5)", 202},
                                        {L"CompanyName", L"TEXT(40)", 202},
                                        {L"ContactName", L"TEXT(30)", 202},
                                        {L"City", L"TEXT(15)", 202},
                                        {L"Country", L"TEXT(15)", 202},
                                        {L"Phone", L"TEXT(24)", 202}},
                                       {L"CustomerID"},
                                       true,
                                       {}};
    const synctest::TableDef orders{L"Orders",
                                    {{L"OrderID", L"LONG", 3},
                                     {L"CustomerID", L"TEXT(5)", 202},
                                     {L"EmployeeID", L"LONG", 3},
                                     {L"OrderDate", L"DATETIME", 7},
                                     {L"ShipCity", L"TEXT(15)", 202},
                                     {L"Freight", L"CURRENCY", 6}},
                                    {L"OrderID"},
                                    true,
                                    {}};
    const synctest::TableDef shippers{L"Shippers",
                                      {{L"ShipperID", L"LONG", 3},
                                       {L"CompanyName", L"TEXT(40)", 202},
                                       {L"Phone", L"TEXT(24)", 202}},
                                      {L"ShipperID"},
                                      true,
                                      {}};
    synctest::CreateStore(copy, {customers, orders, shippers});
    for (const auto* table : {&customers, &orders, &shippers})
        CopyRows(nwind, copy, *table);
    synctest::Execute(copy,
                      L"UPDATE [Customers] SET [City] = 'Hamburg', [Phone] = '040-123456' "
                      L"WHERE [CustomerID] = 'ALFKI'");
    synctest::Execute(copy,
                      L"UPDATE [Customers] SET [ContactName] = 'Ana Trujillo Ruiz' "
                      L"WHERE [CustomerID] = 'ANATR'");
    synctest::Execute(copy, L"DELETE FROM [Customers] WHERE [CustomerID] = 'AROUT'");
    synctest::Execute(copy,
                      L"INSERT INTO [Customers] VALUES ('ZZTOP', 'Top Trading', "
                      L"'Zoe Zimmer', 'Zurich', 'Switzerland', '01-555 12 12')");
    synctest::Execute(copy,
                      L"UPDATE [Orders] SET [Freight] = [Freight] + 10 WHERE [OrderID] < 10260");
    synctest::Execute(copy, L"DELETE FROM [Orders] WHERE [OrderID] > 11070");
    synctest::Execute(copy,
                      L"UPDATE [Shippers] SET [Phone] = '(503) 555-0000' WHERE [ShipperID] = 2");

    ComparisonContext& context = wizard.Context();
    context.Source1().Settings().path = copy;
    context.Source2().Settings().path = nwind;
    FakeProgress progress;
    ASSERT_TRUE(context.Source1().Load(progress));
    ASSERT_TRUE(context.Source2().Load(progress))
        << automation::ToUtf8(context.Source2().ErrorText());
    ASSERT_TRUE(context.BuildTablePairs());

    wizard.resize(800, 600);
    wizard.show();
    const char* shots = std::getenv("CORVINA_SCREENSHOTS");
    // The window stands alone in the page area, at its stage of the indicator.
    if (auto* page = dynamic_cast<QWidget*>(wizard.CurrentPage()))
        page->hide();
    wizard.Indicator()->SetPosition(3);
    // Placed as the wizard places its pages, at the wizard's size.
    wizard.DisableBack();
    wizard.DisableNext();
    auto* window = new RecordsWindow(context);
    window->Create(wizard);
    window->OnEnter();
    if (shots) {
        // As soon as the grid knows its tables and the window is laid out, while their records
        // are still coming.
        WaitFor(
            [&] { return window->TablesBar()->Total() > 0 || wizard.NextButton()->isEnabled(); });
        const auto laidOut = Clock::now() + std::chrono::milliseconds(15);
        WaitFor([&] { return Clock::now() > laidOut; });
        wizard.grab().save(QString(shots) + "/corvina_records_running.png");
    }
    ASSERT_TRUE(WaitFor([&] { return wizard.NextButton()->isEnabled(); }));
    EXPECT_TRUE(dialogs.boxes.empty());

    struct Expect {
        const char* table;
        const char* counts[4];  // equal, Db1, Db2, modified
    };
    const Expect expect[] = {
        {"Customers", {"88", "1", "1", "2"}},
        {"Orders", {"811", "0", "7", "12"}},
        {"Shippers", {"2", "0", "0", "1"}},
    };
    for (const auto& e : expect) {
        SCOPED_TRACE(e.table);
        const int row = TableRowOf(window, e.table);
        ASSERT_GE(row, 0);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(Cell(window->TableGridData(), row, 2 + k), e.counts[k]);
    }
    window->Runner()->SelectTable(TableRowOf(window, "Customers"));
    RecordListModel* records = window->RecordListData();
    ASSERT_GE(records->rowCount(), 2);
    EXPECT_EQ(Cell(records, 0, 0), "ALFKI");
    EXPECT_EQ(Cell(records, 0, 3), "Hamburg");
    EXPECT_EQ(Cell(records, 1, 3), "Berlin");
    EXPECT_TRUE(records->data(records->index(1, 3), RecordListModel::ChangedRole).toBool());
    EXPECT_FALSE(records->data(records->index(1, 1), RecordListModel::ChangedRole).toBool());
    if (shots) {
        QCoreApplication::processEvents();
        wizard.grab().save(QString(shots) + "/corvina_records.png");
    }
    window->Destroy();
    FlushDeletes();
}
