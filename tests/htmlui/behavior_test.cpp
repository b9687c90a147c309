// The registry and each behaviour's reaction to user input on a real page.
#include "htmlui/behavior.h"

#include "htmlui/grid_behavior.h"
#include "htmlui/popup_behavior.h"
#include "htmlui/result_data_source_behavior.h"
#include "page_fixture.h"
#include "support/temp_dir.h"

#include <QImage>

namespace {

using htmlui::Behavior;
using htmlui::ElementRef;
using testpage::PageTest;

TEST(BehaviorRegistry, FindsTheEightBehavioursByExactName)
{
    for (const char* name : {"collapsible-by-icon", "command", "grid", "sortable-grid", "dropdown",
                             "popup", "result-data-source", "single_popup"}) {
        Behavior* b = Behavior::FindByName(name, ElementRef());
        ASSERT_NE(b, nullptr) << name;
        EXPECT_STREQ(b->Name(), name);
    }
    for (const char* name : {"Grid", "button", "menu", "oea-virtual-grid", "single-popup"})
        EXPECT_EQ(Behavior::FindByName(name, ElementRef()), nullptr) << name;
    EXPECT_EQ(Behavior::FindByName("grid", ElementRef())->Subscriptions(), 0x7u);
    EXPECT_EQ(Behavior::FindByName("dropdown", ElementRef())->Subscriptions(), 0x101u);
    EXPECT_EQ(Behavior::FindByName("popup", ElementRef())->Subscriptions(), 0x105u);
    EXPECT_EQ(Behavior::FindByName("result-data-source", ElementRef())->Subscriptions(), 0x100u);
}

TEST(BehaviorRegistry, AttachSetsProcedureTagAndGroupsOnlyForKnownNames)
{
    html::AttachBehaviorParams known{{}, nullptr, "command", nullptr, nullptr, 0};
    EXPECT_TRUE(htmlui::AttachBehavior(&known));
    EXPECT_EQ(known.elementProc, &htmlui::DispatchElementEvent);
    EXPECT_EQ(known.eventGroups, unsigned(html::kHandleMouse));
    EXPECT_NE(known.elementTag, nullptr);
    html::AttachBehaviorParams unknown{{}, nullptr, "Command", nullptr, nullptr, 0};
    EXPECT_FALSE(htmlui::AttachBehavior(&unknown));
    EXPECT_EQ(unknown.elementProc, nullptr);
    EXPECT_EQ(htmlui::DispatchElementEvent(nullptr, nullptr, html::kHandleMouse, nullptr), 0);
}

TEST_F(PageTest, GridClickMakesTheRowCurrentAndPostsARowClick)
{
    Click(Row(2).GetChild(1));
    EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{2});
    ASSERT_FALSE(host.events.empty());
    const auto& e = host.events.back();
    EXPECT_EQ(e.cmd, unsigned(html::kTableRowClick));
    EXPECT_EQ(e.reason, 2u);
    // A click on the next row moves the current state.
    Click(Row(4));
    EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{4});
}

TEST_F(PageTest, GridWithMultipleChecksRangesAndToggles)
{
    Click(Row(1));
    EXPECT_EQ(RowsWithState(html::kStateChecked), std::vector<int>{1});
    EXPECT_EQ(RowsWithState(html::kStateAnchor), std::vector<int>{1});
    Click(Row(3), Qt::ShiftModifier);
    EXPECT_EQ(RowsWithState(html::kStateChecked), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(RowsWithState(html::kStateAnchor), std::vector<int>{1});
    Click(Row(5), Qt::ControlModifier);
    EXPECT_EQ(RowsWithState(html::kStateChecked), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(RowsWithState(html::kStateAnchor), std::vector<int>{5});
    Click(Row(2));
    EXPECT_EQ(RowsWithState(html::kStateChecked), std::vector<int>{2});
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(RowsWithState(html::kStateChecked), (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(PageTest, GridWithoutMultipleOnlyMovesTheCurrentRow)
{
    Id("grid").SetAttribute("multiple", nullptr);
    Id("grid").SetAttribute("fixedrows", nullptr);
    // Without "fixedrows" the first row is a data row too.
    Click(Row(0));
    EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{0});
    Click(Row(3), Qt::ShiftModifier);
    Click(Row(4), Qt::ControlModifier);
    EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{4});
    EXPECT_TRUE(RowsWithState(html::kStateChecked).empty());
    host.events.clear();
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(RowsWithState(html::kStateChecked).empty());
}

TEST_F(PageTest, GridKeysMoveOverVisibleRows)
{
    Row(4).SetStyleAttribute("display", L"none");
    Click(Row(3));
    const struct {
        int key;
        int current;
    } steps[] = {
        {Qt::Key_Down, 5},  // row 4 is hidden
        {Qt::Key_Down, 5},  // nothing below
        {Qt::Key_Up, 3},    {Qt::Key_Home, 1}, {Qt::Key_Up, 1},
        {Qt::Key_End, 5},   {Qt::Key_PageUp, 1}, {Qt::Key_PageDown, 5},
    };
    for (const auto& s : steps) {
        Key(s.key);
        EXPECT_EQ(RowsWithState(html::kStateCurrent), std::vector<int>{s.current}) << s.key;
    }
}

TEST_F(PageTest, SortableGridSortsByTheClickedHeaderOnce)
{
    Click(Row(2));
    host.events.clear();
    Click(Row(0).GetChild(0));
    EXPECT_EQ(FirstColumn(), (std::vector<std::wstring>{L"Categories", L"Customers", L"Employees",
                                                        L"Orders", L"Products"}));
    EXPECT_TRUE(Row(0).GetChild(0).HasState(html::kStateChecked));
    ASSERT_FALSE(host.events.empty());
    EXPECT_EQ(host.events[0].cmd, unsigned(html::kTableHeaderClick));
    EXPECT_EQ(host.events[0].reason, 0u);
    // The current row moved with its data.
    ASSERT_EQ(RowsWithState(html::kStateCurrent).size(), 1u);
    EXPECT_EQ(Row(RowsWithState(html::kStateCurrent)[0]).GetChild(0).GetInnerText(), L"Customers");
    // By the third column: the row without that cell sorts after the others.
    Click(Row(0).GetChild(2));
    EXPECT_EQ(FirstColumn(), (std::vector<std::wstring>{L"Customers", L"Orders", L"Employees",
                                                        L"Categories", L"Products"}));
    EXPECT_FALSE(Row(0).GetChild(0).HasState(html::kStateChecked));
    // Text order is plain code-point order, not numeric.
    Click(Row(0).GetChild(1));
    EXPECT_EQ(FirstColumn(), (std::vector<std::wstring>{L"Products", L"Categories", L"Orders",
                                                        L"Employees", L"Customers"}));
    Row(1).GetChild(0).SetText(L"Zeta");
    Click(Row(0).GetChild(1));  // already the checked header: nothing more
    EXPECT_EQ(FirstColumn()[0], L"Zeta");
}

TEST_F(PageTest, CommandSendsItsIdOnlyWhenReleasedInside)
{
    Click(Id("ok"));
    ASSERT_EQ(host.commands.size(), 1u);
    EXPECT_EQ(host.commands[0].id, L"ok");
    EXPECT_EQ(host.commands[0].code, 1);
    EXPECT_EQ(host.commands[0].wParam, 1u);
    EXPECT_EQ(host.commands[0].controlId, 77);
    EXPECT_EQ(host.commands[0].window, &host);
    EXPECT_FALSE(Id("ok").HasState(html::kStateCurrent));
    // Pressed inside, released far outside: nothing.
    Press(Id("ok"), QEvent::MouseButtonPress);
    EXPECT_TRUE(Id("ok").HasState(html::kStateCurrent));
    Press(Id("ok"), QEvent::MouseButtonRelease, Qt::NoModifier, QPoint(200, 0));
    EXPECT_EQ(host.commands.size(), 1u);
    // Without an id: nothing.
    Id("ok").SetAttribute("id", nullptr);
    Click(Root().FindFirst(".cmd"));
    EXPECT_EQ(host.commands.size(), 1u);
}

TEST_F(PageTest, CollapsibleTogglesStateOnlyFromItsIcon)
{
    const ElementRef tree = Id("tree");
    const ElementRef leaf = tree.FindFirst("tr.leaf");
    EXPECT_FALSE(leaf.IsVisible());
    Click(tree.GetChild(0).GetChild(1));
    EXPECT_EQ(tree.GetAttribute("state"), L"close");
    Click(tree.FindFirst(".icon"));
    EXPECT_EQ(tree.GetAttribute("state"), L"open");
    EXPECT_TRUE(leaf.IsVisible());
    tree.SetAttribute("state", L"OPEN");
    Click(tree.FindFirst(".icon"));
    EXPECT_EQ(tree.GetAttribute("state"), L"close");
}

struct DismissRecorder : htmlui::PopupDismissCallback {
    void PopupDismissed(const ElementRef& popup) override { dismissed.push_back(popup); }
    std::vector<ElementRef> dismissed;
};

TEST_F(PageTest, DropdownShowsItsSinglePopupAndAChoiceDismissesIt)
{
    DismissRecorder recorder;
    htmlui::TheSinglePopupBehavior().SetDismissCallback(&recorder);
    const ElementRef dd = Id("dd"), choices = Id("choices");
    Click(dd);
    QWidget* window = host.PopupWidget(choices.Handle());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(dd.HasState(html::kStateOwnsPopup));
    EXPECT_TRUE(choices.IsVisible());
    // The popup draws its element: the frame colour at its edge, the used
    // row's grey text inside.
    const QImage shot = window->grab().toImage();
    shot.save(testsupport::BinaryDir().c_str() + QString("/popup.png"));
    EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), QColor(0, 0, 0x8b));
    EXPECT_EQ(window->width(), 202);  // 200 pixels wide plus its border
    // A second press on the owner does not open it again.
    Click(dd);
    EXPECT_NE(host.PopupWidget(choices.Handle()), nullptr);
    // Choosing a row: the grid in the popup makes it current, the release
    // hides the popup and tells the callback.
    const ElementRef second = Id("choice_grid").GetChild(1);
    Click(second.GetChild(0));
    EXPECT_TRUE(second.HasState(html::kStateCurrent));
    EXPECT_EQ(host.PopupWidget(choices.Handle()), nullptr);
    EXPECT_FALSE(dd.HasState(html::kStateOwnsPopup));
    ASSERT_EQ(recorder.dismissed.size(), 1u);
    EXPECT_EQ(recorder.dismissed[0], choices);
    EXPECT_FALSE(choices.IsVisible());
}

TEST_F(PageTest, DismissCallbackIsForgottenWhenItsOwnerGoes)
{
    {
        DismissRecorder gone;
        htmlui::TheSinglePopupBehavior().SetDismissCallback(&gone);
    }
    EXPECT_EQ(htmlui::TheSinglePopupBehavior().DismissCallback(), nullptr);
    Click(Id("dd"));
    Click(Id("choice_grid").GetChild(0).GetChild(0));  // must not call the gone page
    EXPECT_EQ(host.PopupWidget(Id("choices").Handle()), nullptr);
}

// Like the tables page: the callback reads the choice and rebuilds the part of
// the page that holds the popup.
struct RebuildingCallback : htmlui::PopupDismissCallback {
    void PopupDismissed(const ElementRef& popup) override
    {
        const ElementRef grid = popup.FindFirst("table");
        for (unsigned i = 0; i < grid.GetChildCount(); ++i)
            if (grid.GetChild(i).HasState(html::kStateCurrent))
                chosen = int(i);
        popup.GetParent().SetHtml("Chosen <div id=\"choices\" class=\"popup choices\"></div>");
    }
    int chosen = -1;
};

TEST_F(PageTest, DismissCallbackMayReplaceThePopupItself)
{
    RebuildingCallback callback;
    htmlui::TheSinglePopupBehavior().SetDismissCallback(&callback);
    Click(Id("dd"));
    const ElementRef oldPopup = Id("choices");
    Click(Id("choice_grid").GetChild(1).GetChild(0));
    EXPECT_EQ(callback.chosen, 1);
    EXPECT_EQ(host.PopupWidget(oldPopup.Handle()), nullptr);
    EXPECT_FALSE(oldPopup.GetParent().IsValid());
    EXPECT_EQ(Id("dd").GetInnerText(), L"Chosen ");
    EXPECT_FALSE(Id("dd").HasState(html::kStateOwnsPopup));
    // The new popup opens as the old one did.
    Click(Id("dd"));
    EXPECT_NE(host.PopupWidget(Id("choices").Handle()), nullptr);
}

TEST_F(PageTest, PopupHidesOnButtonClickEventsAndFocusLeavingIt)
{
    const ElementRef choices = Id("choices");
    auto* popup = dynamic_cast<htmlui::PopupBehavior*>(Behavior::FindByName("popup", choices));
    ASSERT_NE(popup, nullptr);
    const struct {
        unsigned cmd;
        bool hides;
    } events[] = {{html::kButtonClick, true},
                  {html::kHyperlinkClick, true},
                  {html::kButtonClick | html::kHandled, true},
                  {html::kTableRowClick, false},
                  {html::kButtonClick | html::kSinking, false}};
    for (const auto& e : events) {
        host.ShowPopup(choices.Handle(), Id("dd").Handle(), html::kPlaceBelow);
        EXPECT_EQ(popup->OnEvent(choices, choices, e.cmd, 0), 0);
        EXPECT_EQ(host.PopupWidget(choices.Handle()) == nullptr, e.hides) << e.cmd;
        host.HidePopup(choices.Handle());
    }
    host.ShowPopup(choices.Handle(), Id("dd").Handle(), html::kPlaceBelow);
    EXPECT_EQ(popup->OnFocus(choices, Id("choice_grid"), html::kFocusLost), 1);
    EXPECT_NE(host.PopupWidget(choices.Handle()), nullptr);
    EXPECT_EQ(popup->OnFocus(choices, Id("grid"), html::kFocusLost), 1);
    EXPECT_EQ(host.PopupWidget(choices.Handle()), nullptr);
}

TEST_F(PageTest, ResultDataSourceFillsTheRequestedRows)
{
    auto* source = dynamic_cast<htmlui::ResultDataSourceBehavior*>(
        Behavior::FindByName("result-data-source", ElementRef()));
    ASSERT_NE(source, nullptr);
    htmlui::RowsDataRequest request{0, 10, 1, 2};
    EXPECT_EQ(source->OnEvent(Id("grid"), Id("grid"), html::kRowsDataRequest,
                              reinterpret_cast<std::uintptr_t>(&request)),
              1);
    EXPECT_EQ(request.result, 1);
    EXPECT_EQ(Row(1).GetChild(0).GetInnerText(), L"My row 10, col 0");
    EXPECT_EQ(Row(2).GetChild(2).GetInnerText(), L"My row 11, col 2");
    EXPECT_EQ(Row(3).GetChild(0).GetInnerText(), L"Products");
    EXPECT_EQ(source->OnEvent(Id("grid"), Id("grid"), html::kTableRowClick, 0), 0);
}

}  // namespace

namespace {

// A grid taller than its window: paging moves by a window's height and the
// current row is scrolled into view.
TEST(LongGrid, PageKeysMoveByTheVisibleHeightAndScrollTheRowIntoView)
{
    testpage::RecordingHost host;
    host.resize(300, 200);
    ASSERT_TRUE(host.OnCreate(-1));
    std::string page = "<html><head><style>table { behavior: grid; }</style></head><body>"
                       "<table id=g fixedrows=1><tr><th>N</th></tr>";
    for (int i = 1; i <= 100; ++i)
        page += "<tr><td>row " + std::to_string(i) + "</td></tr>";
    page += "</table></body></html>";
    ASSERT_TRUE(host.LoadHtml(QByteArray::fromStdString(page)));
    host.show();
    const ElementRef grid = host.GetRootElement().FindById("g");
    auto rowBox = [&](int i) {
        return grid.GetChild(unsigned(i)).GetLocation(html::kRootRelative | html::kBorderBox);
    };
    auto current = [&] {
        for (unsigned i = 0; i < grid.GetChildCount(); ++i)
            if (grid.GetChild(i).HasState(html::kStateCurrent))
                return int(i);
        return -1;
    };
    auto key = [&](int k) {
        QKeyEvent ev(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(&host, &ev);
    };
    host.SetFocusElement(grid.Handle());
    htmlui::GridBehavior::SetCurrentRow(grid, grid.GetChild(1), 0, false, false);

    const QRect visible = grid.GetLocation(html::kRootRelative | html::kScrollableArea);
    ASSERT_GT(visible.height(), 100);
    ASSERT_LE(visible.height(), 200);
    key(Qt::Key_PageDown);
    // The last row that ends within one page below the visible bottom.
    const int limit = visible.top() + 2 * visible.height();
    const int chosen = current();
    ASSERT_GT(chosen, 1);
    EXPECT_LE(rowBox(chosen).bottom() + 1, limit);
    EXPECT_GT(rowBox(chosen + 1).bottom() + 1, limit);
    // Scrolled so the row shows.
    const QRect inView = grid.GetChild(unsigned(chosen)).GetLocation(html::kViewRelative |
                                                                      html::kBorderBox);
    EXPECT_GE(inView.top(), 0);
    EXPECT_LE(inView.bottom(), host.viewport()->height());
    EXPECT_GT(host.ScrollOffset().y(), 0);

    key(Qt::Key_End);
    EXPECT_EQ(current(), 100);
    const QRect visibleNow = grid.GetLocation(html::kRootRelative | html::kScrollableArea);
    key(Qt::Key_PageUp);
    const int up = current();
    EXPECT_GE(rowBox(up).top(), visibleNow.top() - visibleNow.height());
    EXPECT_LT(rowBox(up - 1).top(), visibleNow.top() - visibleNow.height());
    key(Qt::Key_Home);
    EXPECT_EQ(current(), 1);
    EXPECT_EQ(host.ScrollOffset().y(), rowBox(1).top());
}

}  // namespace
