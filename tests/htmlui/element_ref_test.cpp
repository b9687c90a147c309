// ElementRef over a loaded page, and a user's walk through the grid page.
#include "htmlui/element_ref.h"

#include <QImage>

#include "htmlui/popup_behavior.h"
#include "page_fixture.h"

namespace {

using htmlui::ElementRef;
using testpage::PageTest;

TEST(ElementRefHandle, CountsKeepElementsAliveAndCompareByHandle)
{
    html::ElementPtr parent = html::Element::CreateElement("div");
    parent->SetInnerHtml("<p id=x>text</p>");
    ElementRef a(parent->Child(0));
    ElementRef b = a;
    ElementRef c;
    EXPECT_FALSE(c.IsValid());
    c = b;
    EXPECT_TRUE(a == c);
    parent->RemoveAllChildren();
    parent = html::ElementPtr();
    EXPECT_EQ(c.GetInnerText(), L"text");
    c.Release();
    EXPECT_FALSE(c.IsValid());
    // Operations on a null handle do nothing and answer empty.
    EXPECT_EQ(c.GetChildCount(), 0u);
    EXPECT_EQ(c.GetIndex(), -1);
    EXPECT_FALSE(c.GetAttribute("id"));
    EXPECT_FALSE(c.GetParent().IsValid());
    EXPECT_FALSE(c.FindFirst("p").IsValid());
}

TEST_F(PageTest, AttributesReadWriteAndCount)
{
    const ElementRef grid = Id("grid");
    EXPECT_TRUE(grid.HasAttribute("MULTIPLE"));
    EXPECT_EQ(grid.GetAttribute("multiple"), L"");
    EXPECT_EQ(grid.GetAttributeInt("fixedrows", 9), 1);
    EXPECT_EQ(grid.GetAttributeInt("missing", 9), 9);
    const unsigned count = grid.GetAttributeCount();
    grid.SetAttribute("note", L"d\u00e9j\u00e0 vu");
    EXPECT_EQ(grid.GetAttribute("note"), L"d\u00e9j\u00e0 vu");
    EXPECT_EQ(grid.GetAttributeCount(), count + 1);
    EXPECT_EQ(grid.GetAttributeName(count), "note");
    grid.SetAttribute("note", nullptr);
    EXPECT_FALSE(grid.HasAttribute("note"));
}

TEST_F(PageTest, SelectionFormatsSelectorsAndStopsAtTheFirstMatch)
{
    EXPECT_EQ(Root().FindFirst("#%s tr:nth-child(%d) td", "grid", 3).GetInnerText(), L"Customers");
    EXPECT_EQ(Root().FindFirst(".popup,popup"), Id("choices"));
    htmlui::FirstMatchCollector first;
    Id("grid").SelectAll(first, "td");
    EXPECT_EQ(first.Found().GetInnerText(), L"Orders");
    EXPECT_TRUE(Root().HasId("") == false);
    EXPECT_TRUE(Id("grid").HasId("grid"));
}

TEST_F(PageTest, TextAndMarkupChangesShowInTheTree)
{
    const ElementRef cell = Row(1).GetChild(0);
    cell.SetText(nullptr);
    EXPECT_EQ(cell.GetInnerText(), L"Orders");
    cell.SetText(L"Orders \U0001F4E6");
    EXPECT_EQ(cell.GetInnerText(), L"Orders \U0001F4E6");
    const ElementRef grid = Id("grid");
    grid.SetHtml("\xEF\xBB\xBF<tr><th>Only</th></tr><tr><td>one</td></tr>");
    ASSERT_EQ(grid.GetChildCount(), 2u);
    EXPECT_EQ(grid.GetChild(1).GetChild(0).GetInnerText(), L"one");
    EXPECT_EQ(grid.GetChild(1).GetParent(), grid);
    EXPECT_TRUE(grid.GetChild(1).IsVisible());
}

TEST_F(PageTest, CaptureSendsTheMouseToTheCapturingElement)
{
    const ElementRef ok = Id("ok");
    Press(ok, QEvent::MouseButtonPress);
    // Released over another element: the command still sees the release
    // (and sends nothing, being outside).
    Press(Row(1), QEvent::MouseButtonRelease);
    EXPECT_FALSE(ok.HasState(html::kStateCurrent));
    EXPECT_TRUE(host.commands.empty());
    EXPECT_EQ(host.Capture(), nullptr);
}

TEST_F(PageTest, PostedEventsReachTheHostAfterTheCurrentEvent)
{
    Row(3).PostEvent(html::kTableRowClick, 3);
    EXPECT_TRUE(host.events.empty());
    QApplication::processEvents();
    ASSERT_EQ(host.events.size(), 1u);
    EXPECT_EQ(host.events[0].target, Row(3));
    EXPECT_EQ(host.events[0].reason, 3u);
}

// A user loads the page by its "res:" address, picks rows, sorts, opens the
// dropdown and chooses from it.
TEST_F(PageTest, UserWalkThroughTheGridPage)
{
    ASSERT_TRUE(host.LoadFile(L"res:gridpage.html"));
    QApplication::processEvents();
    host.events.clear();
    struct Dismissed : htmlui::PopupDismissCallback {
        void PopupDismissed(const ElementRef& p) override { popups.push_back(p); }
        std::vector<ElementRef> popups;
    } dismissed;
    htmlui::TheSinglePopupBehavior().SetDismissCallback(&dismissed);

    Click(Row(2));
    Click(Row(4), Qt::ShiftModifier);
    Click(Row(0).GetChild(0));  // sort by name
    Key(Qt::Key_Home);
    Click(Id("dd"));
    Click(Id("choice_grid").GetChild(0).GetChild(0));
    Click(Id("ok"));

    EXPECT_EQ(FirstColumn(), (std::vector<std::wstring>{L"Categories", L"Customers", L"Employees",
                                                        L"Orders", L"Products"}));
    // Home without modifiers checks only the row it makes current.
    std::vector<std::wstring> checked;
    for (int i : RowsWithState(html::kStateChecked))
        checked.push_back(Row(i).GetChild(0).GetInnerText());
    EXPECT_EQ(checked, (std::vector<std::wstring>{L"Categories"}));
    EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{1});
    EXPECT_TRUE(Id("choice_grid").GetChild(0).HasState(html::kStateCurrent));
    ASSERT_EQ(dismissed.popups.size(), 1u);
    EXPECT_EQ(host.PopupWidget(Id("choices").Handle()), nullptr);

    std::vector<std::pair<unsigned, std::uintptr_t>> events;
    for (const auto& e : host.events)
        if (e.cmd != html::kButtonClick)
            events.emplace_back(e.cmd, e.reason);
    const std::vector<std::pair<unsigned, std::uintptr_t>> expected = {
        {html::kTableRowClick, 2},   {html::kTableRowClick, 4}, {html::kTableHeaderClick, 0},
        {html::kTableRowClick, 1},   {html::kPopupDismissed, 0},
        {html::kTableRowClick, 0},  // the choice in the popup grid, posted before the dismissal

    };
    EXPECT_EQ(events, expected);
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, L"ok");

    const QImage img = host.viewport()->grab().toImage();
    // The picture in docs/ is made again by pointing CRV_SCREENSHOT_DIR at that folder.
    if (const QString folder = qEnvironmentVariable("CRV_SCREENSHOT_DIR"); !folder.isEmpty()) {
        EXPECT_TRUE(img.save(folder + "/grid_page.png"));
    }
    const QRect current = Row(1).GetChild(1).GetLocation(html::kViewRelative | html::kPaddingBox);
    EXPECT_EQ(img.pixelColor(current.left() + 1, current.top() + 1), QColor(0x66, 0x66, 0xff));
}

}  // namespace
