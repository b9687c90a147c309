// Host windows: "res:" addresses, hosted controls, child views, and the
// comparison progress page.
#include "htmlui/html_host_window.h"

#include <QDateTimeEdit>
#include <QDir>
#include <QImage>
#include <filesystem>

#include "htmlui/comparison_progress_view.h"
#include "page_fixture.h"
#include "support/temp_dir.h"

namespace {

using htmlui::ElementRef;
using htmlui::HtmlHostWindow;
using testpage::PageTest;

// Runs one load-data request through the host and reports what it answered.
struct LoadResult {
    int result;
    QByteArray data;
};

class ProbeView : public html::View {
public:
    using View::View;
};

LoadResult Load(HtmlHostWindow& host, const std::wstring& uri)
{
    ProbeView view;
    view.SetCallback(HtmlHostWindow::NotifyTrampoline, &host);
    html::LoadDataParams params{{&view, 0, html::kLoadData}, uri, nullptr};
    const int result = host.OnLoadData(&params);
    // What the host handed over, through the view's own loading path.
    LoadResult r{result, {}};
    if (result == 0)
        r.data = view.LoadData(QString::fromStdWString(uri).toStdString());
    return r;
}

QByteArray Resource(const char* path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

TEST(HtmlHostWindowLoad, ResAddressesMapToNamedResourcesOfTheirType)
{
    HtmlHostWindow host(nullptr, 0);
    const QByteArray logo = Resource(":/res/PNG/LOGO");
    const QByteArray page = Resource(":/res/HTML/Page");
    ASSERT_FALSE(logo.isEmpty());
    const std::wstring folder = QDir::currentPath().toStdWString();
    const struct {
        std::wstring uri;
        int result;
        QByteArray data;
    } cases[] = {
        {L"logo.png", 0, logo},
        {L"res:logo.png", 0, logo},
        {L"res:LOGO.PNG", 0, logo},
        {L"res:page.HTML", 0, page},
        {L"res:page", 0, page},
        {folder + L"/logo.png", 0, logo},  // a folder is no module: the program's own
        {L"res:missing.png", 0, {}},       // not found: left to the engine
        {L"", 1, {}},
        {L"res:empty.html", 1, {}},        // found but empty: discarded
        {L"Res:logo.png", 0, {}},          // the prefix is case-sensitive
    };
    for (const auto& c : cases) {
        const LoadResult r = Load(host, c.uri);
        EXPECT_EQ(r.result, c.result) << QString::fromStdWString(c.uri).toStdString();
        EXPECT_EQ(r.data, c.data) << QString::fromStdWString(c.uri).toStdString();
    }
}

TEST(HtmlHostWindowLoad, LongAddressesAreCutBeforeTheLookup)
{
    HtmlHostWindow host(nullptr, 0);
    // 259 characters after the prefix are looked at.
    const std::wstring fits = L"res:" + std::wstring(250, L'z') + L"/logo.png";
    ASSERT_EQ(fits.size() - 4, 259u);
    EXPECT_EQ(Load(host, fits + L"XYZ").data, Resource(":/res/PNG/LOGO"));
    // Here the cut leaves ".../lo", which names no resource.
    const std::wstring cut = L"res:" + std::wstring(256, L'x') + L"/logo.png";
    const LoadResult r = Load(host, cut);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.data.isEmpty());
}

TEST(HtmlHostWindowLoad, AModuleFileServesItsOwnResources)
{
    HtmlHostWindow host(nullptr, 0);
    const std::wstring module = QString(CRV_TEST_MODULE).toStdWString();
    const LoadResult r = Load(host, L"res:" + module + L"/modlogo.png");
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(QImage::fromData(r.data).size(), QSize(7, 5));
    // The program's own resources are not in that module.
    EXPECT_TRUE(Load(host, L"res:" + module + L"/logo.png").data.isEmpty());
    // The module is released after each request.
    for (const QString& root : QDir(":/").entryList())
        EXPECT_FALSE(root.startsWith("crvmodule")) << root.toStdString();
}

TEST_F(PageTest, PagesLoadTheirStyleSheetsAndImagesFromRes)
{
    EXPECT_EQ(Id("logo").GetLocation(html::kRootRelative | html::kBorderBox).size(),
              QSize(20, 10));
    // The shared style sheet styles the header cells.
    EXPECT_EQ(Row(0).GetChild(0).GetStyleAttribute("background-color"), L"#ddddff");
}

TEST_F(PageTest, DateTimeElementGetsAPickerWithItsStyleBitsOverTheElement)
{
    const ElementRef when = Id("when");
    auto* picker = qobject_cast<QDateTimeEdit*>(host.HostedControl(when.Handle()));
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->property("windowStyle").toUInt(), 0x56010000u | 0x00200000u);
    EXPECT_EQ(picker->property("exStyle").toUInt(), 0x200u);
    EXPECT_EQ(picker->property("controlId").toInt(), 0);
    EXPECT_EQ(picker->geometry(), when.GetLocation(html::kViewRelative | html::kBorderBox));
    EXPECT_TRUE(picker->isVisible());
}

TEST(HtmlHostWindowControls, StyleBitsComeFromAttributeNamesWithoutRegardToCase)
{
    ElementRef parent(html::Element::CreateElement("div").get());
    html::ElementPtr e = html::Element::CreateElement("widget");
    const std::string empty, id = "1042";
    for (const char* name : {"vscroll", "Disabled", "clientedge", "updown", "weeknumbers", "id"})
        e->SetAttribute(name, name == std::string("id") ? &id : &empty);
    using C = HtmlHostWindow::ControlClass;
    const auto picker = HtmlHostWindow::StyleFromAttributes(ElementRef(e.get()), C::kDateTimePicker);
    EXPECT_EQ(picker.style, 0x56010000u | 0x00200000u | 0x08000000u);
    EXPECT_EQ(picker.classStyle, 0x1u);
    EXPECT_EQ(picker.exStyle, 0x200u);
    EXPECT_EQ(picker.id, 1042);
    const auto calendar = HtmlHostWindow::StyleFromAttributes(ElementRef(e.get()), C::kMonthCalendar);
    EXPECT_EQ(calendar.classStyle, 0x4u);
}

TEST(HtmlHostWindowControls, IframeGetsAChildViewLoadingItsSource)
{
    HtmlHostWindow host(nullptr, 0);
    host.resize(400, 300);
    ASSERT_TRUE(host.OnCreate(-1));
    ASSERT_TRUE(host.LoadHtml("<html><body><iframe id=f src=\"res:gridpage.html\" "
                              "style=\"width:300px;height:200px\"></iframe></body></html>"));
    auto* child = dynamic_cast<html::View*>(
        host.HostedControl(host.GetRootElement().FindById("f").Handle()));
    ASSERT_NE(child, nullptr);
    ASSERT_NE(child->Root(), nullptr);
    EXPECT_NE(child->Root()->SelectFirst("#grid"), nullptr);
    EXPECT_EQ(child->size(), QSize(300, 200));
}

// ---- the comparison progress page ----------------------------------------

class ProgressViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(520, 400);
        ASSERT_TRUE(view.Create());
        view.show();
    }
    ElementRef Id(const char* id) { return view.GetRootElement().FindById(id); }
    htmlui::ComparisonProgressView view;
};

TEST_F(ProgressViewTest, NoPairsShowsTheHeaderRowOnly)
{
    view.SetTablePairs({});
    const ElementRef grid = Id("tables_pairs_grid");
    ASSERT_EQ(grid.GetChildCount(), 1u);
    EXPECT_EQ(grid.GetChild(0).GetInnerText(), L"Database1Database2");
    EXPECT_EQ(Id("tables_total").GetInnerText(), L"0");
    view.SetTablesProcessed(0);
    EXPECT_EQ(Id("progressbar_tables").GetStyleAttribute("width"), L"0%");
}

TEST_F(ProgressViewTest, RowsAreFilledOnceAndMarkedOnEveryCall)
{
    std::vector<htmlui::ProgressTablePair> pairs = {
        {L"Orders", L"Orders", false, false},
        {L"A<B & \"C\"", L"\U0001F600x", true, true},
        {L"Staff", std::wstring{L'E', wchar_t(0xD83D), wchar_t(0xDE00)}, false, true},
    };
    view.SetTablePairs(pairs);
    EXPECT_EQ(Id("tables_pairs_grid").GetChild(3).GetChild(1).GetInnerText(), L"E\U0001F600");
    const ElementRef grid = Id("tables_pairs_grid");
    ASSERT_EQ(grid.GetChildCount(), 4u);
    EXPECT_EQ(grid.GetChild(2).GetAttribute("idx"), L"1");
    EXPECT_EQ(grid.GetChild(2).GetChild(0).GetInnerText(), L"A<B & \"C\"");
    EXPECT_EQ(grid.GetChild(2).GetChild(1).GetInnerText(), L"\U0001F600x");
    const std::optional<std::wstring> classes[] = {L"", L"selected", L"active"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(grid.GetChild(unsigned(i + 1)).GetAttribute("class"), classes[i]);
    // A later call changes only the marks, even with other names.
    pairs[1].checked = false;
    pairs[0].name1 = L"Renamed";
    view.SetTablePairs(pairs);
    EXPECT_EQ(grid.GetChild(2).GetAttribute("class"), L"active");
    EXPECT_EQ(grid.GetChild(1).GetChild(0).GetInnerText(), L"Orders");
    EXPECT_EQ(Id("tables_total").GetInnerText(), L"3");
}

TEST_F(ProgressViewTest, BarsShowWholePercentages)
{
    view.SetTablePairs(std::vector<htmlui::ProgressTablePair>(3));
    view.SetTablesProcessed(1);
    EXPECT_EQ(Id("tables_processed").GetInnerText(), L"1");
    EXPECT_EQ(Id("progressbar_tables").GetStyleAttribute("width"), L"33%");
    const int barWidth = Id("progressbar_tables").GetLocation(html::kRootRelative | html::kBorderBox).width();
    const int fullWidth = Id("progressbar_tables").GetParent().GetLocation().width();
    EXPECT_NEAR(barWidth, fullWidth * 33 / 100, 1);
    view.SetRecordsProcessed(50, 200);
    EXPECT_EQ(Id("records_processed").GetInnerText(), L"50");
    EXPECT_EQ(Id("records_total").GetInnerText(), L"200");
    EXPECT_EQ(Id("progressbar_records").GetStyleAttribute("width"), L"25%");
    EXPECT_EQ(htmlui::ComparisonProgressView::Percentage(7, 0), 0);
    EXPECT_EQ(htmlui::ComparisonProgressView::Percentage(3'000'000'000LL, 4'000'000'000LL), 75);
    view.SetTableNames(L"Orders", L"Orders");
    EXPECT_EQ(Id("tables_name").GetInnerText(), L"Orders");
    view.SetTableNames(L"Staff", L"Employees");
    EXPECT_EQ(Id("tables_name").GetInnerText(), L"Staff / Employees");
    view.ShowDatabasePaths(L"/data/one.mdb", L"/data/two.accdb");
    EXPECT_EQ(Id("db_path2").GetInnerText(), L"/data/two.accdb");
}

TEST_F(ProgressViewTest, ClickOnAPairRowReportsItsIndex)
{
    std::vector<int> clicked;
    view.SetRowClickCallback([&](int i) { clicked.push_back(i); });
    view.SetTablePairs({{L"One", L"One"}, {L"Two", L"Two"}});
    QApplication::processEvents();
    for (unsigned row : {2u, 0u, 1u}) {
        const ElementRef cell = Id("tables_pairs_grid").GetChild(row).GetChild(1);
        const QPoint p = cell.GetLocation(html::kViewRelative | html::kBorderBox).center();
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent ev(type, p, view.viewport()->mapToGlobal(p), Qt::LeftButton,
                           type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                           Qt::NoModifier);
            QApplication::sendEvent(view.viewport(), &ev);
        }
        QApplication::processEvents();
    }
    // The header row has no index.
    EXPECT_EQ(clicked, (std::vector<int>{1, 0}));
}

TEST_F(ProgressViewTest, ScreenshotOfTheProgressPage)
{
    view.ShowDatabasePaths(L"/home/ann/data/northwind.mdb", L"/home/ann/data/northwind2.accdb");
    view.SetTablePairs({{L"Categories", L"Categories", false, false},
                        {L"Customers", L"Customers", false, true},
                        {L"Employees", L"Staff", true, false},
                        {L"Orders", L"Orders", false, false}});
    view.SetTablesProcessed(1);
    view.SetTableNames(L"Customers", L"Customers");
    view.SetRecordsProcessed(61, 91);
    const QImage img = view.viewport()->grab().toImage();
    // The picture in docs/ is made again by pointing CRV_SCREENSHOT_DIR at that folder.
    if (const QString folder = qEnvironmentVariable("CRV_SCREENSHOT_DIR"); !folder.isEmpty()) {
        EXPECT_TRUE(img.save(folder + "/progress_view.png"));
    }
    // The tables bar: 25% of its track filled with the bar colour.
    const QRect bar = Id("progressbar_tables").GetLocation(html::kViewRelative | html::kBorderBox);
    EXPECT_EQ(img.pixelColor(bar.center()), QColor(0x66, 0x66, 0xff));
    const QRect track = Id("progressbar_tables").GetParent().GetLocation(
        html::kViewRelative | html::kPaddingBox);
    EXPECT_EQ(img.pixelColor(track.right() - 2, track.center().y()), QColor(0xad, 0xd8, 0xe6));
    // The selected row is drawn in its colour.
    const QRect row = Id("tables_pairs_grid").GetChild(3).GetChild(0).GetLocation(
        html::kViewRelative | html::kPaddingBox);
    EXPECT_EQ(img.pixelColor(row.left() + 1, row.top() + 1), QColor(0x99, 0x99, 0xff));
}

}  // namespace
