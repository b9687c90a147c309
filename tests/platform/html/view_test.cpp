// The engine against a real page: loading with style sheet and image,
// selection, restyling after changes, events, popups, hosted controls and
// what it paints.
#include <QApplication>
#include <QDateTimeEdit>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include "platform/html/element.h"
#include "platform/html/view.h"

namespace {

QByteArray ReadResource(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

struct Recorder {
    std::vector<std::pair<html::Element*, unsigned>> events;
    std::vector<html::Element*> targets;
    std::vector<std::wstring> loads;
    std::vector<std::string> behaviors;
    int controls = 0;
};

int RecordingProc(void* tag, html::Element* e, unsigned group, void* params)
{
    auto* r = static_cast<Recorder*>(tag);
    if (group == html::kHandleBehaviorEvent) {
        auto* bp = static_cast<html::BehaviorEventParams*>(params);
        if (!(bp->cmd & html::kSinking)) {
            r->events.emplace_back(bp->source, bp->cmd);
            r->targets.push_back(bp->target);
        }
    }
    (void)e;
    return 0;
}

int Notify(unsigned, std::uintptr_t, html::NotificationHeader* block, void* param)
{
    auto* r = static_cast<Recorder*>(param);
    switch (block->code) {
    case html::kLoadData:
        r->loads.push_back(reinterpret_cast<html::LoadDataParams*>(block)->uri);
        return 0;
    case html::kAttachBehavior:
        r->behaviors.push_back(reinterpret_cast<html::AttachBehaviorParams*>(block)->behaviorName);
        return 0;
    case html::kCreateControl: {
        auto* cp = reinterpret_cast<html::CreateControlParams*>(block);
        if (cp->element->Attribute("type") && *cp->element->Attribute("type") == "sys-datetime") {
            cp->control = new QDateTimeEdit(cp->parent);
            ++r->controls;
        }
        return 0;
    }
    default: return 0;
    }
}

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        view.resize(400, 500);
        view.SetCallback(Notify, &rec);
        view.AttachEventHandler(RecordingProc, &rec, html::kHandleBehaviorEvent);
        ASSERT_TRUE(view.LoadHtml(ReadResource(":/htmltest/page.html"), L":/htmltest/page.html"));
        view.show();
        QApplication::processEvents();
    }
    html::Element* Get(const char* id)
    {
        return view.Root()->SelectFirst(std::string("#") + id);
    }
    QRect Box(html::Element* e) { return e->Location(html::kRootRelative | html::kBorderBox); }
    void Click(html::Element* e, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        const QPoint p = e->Location(html::kViewRelative | html::kBorderBox).center();
        QMouseEvent down(QEvent::MouseButtonPress, p, view.viewport()->mapToGlobal(p),
                         Qt::LeftButton, Qt::LeftButton, mods);
        QApplication::sendEvent(view.viewport(), &down);
        QMouseEvent up(QEvent::MouseButtonRelease, p, view.viewport()->mapToGlobal(p),
                       Qt::LeftButton, Qt::NoButton, mods);
        QApplication::sendEvent(view.viewport(), &up);
        QApplication::processEvents();
    }

    Recorder rec;
    html::View view;
};

TEST_F(ViewTest, LoadsStyleSheetAndImageThroughTheCallbackAddresses)
{
    EXPECT_NE(std::find(rec.loads.begin(), rec.loads.end(), L":/htmltest/style.css"),
              rec.loads.end());
    EXPECT_NE(std::find(rec.loads.begin(), rec.loads.end(), L":/htmltest/logo.png"),
              rec.loads.end());
    // The style sheet sizes the box: 100 x 40 plus a 2 pixel border.
    const QRect box = Box(Get("box"));
    EXPECT_EQ(box.width(), 104);
    EXPECT_EQ(box.height(), 44);
    // The image gives its element its size.
    EXPECT_EQ(Box(Get("logo")).size(), QSize(20, 10));
}

TEST_F(ViewTest, AttributeClassAndStateChangesRestyle)
{
    html::Element* box = Get("box");
    const std::string wide = "wide";
    box->SetAttribute("class", &wide);
    EXPECT_EQ(Box(box).width(), 204);
    const std::string yes = "1";
    box->SetAttribute("hot", &yes);
    EXPECT_EQ(Box(box).height(), 64);
    box->SetAttribute("hot", nullptr);
    EXPECT_EQ(Box(box).height(), 44);
    EXPECT_EQ(box->StyleAttribute("background-color"), "#ff0000");
    box->SetState(html::kStateChecked, 0, true);
    EXPECT_EQ(box->StyleAttribute("background-color"), "#00ff00");
    box->SetState(0, html::kStateChecked, true);
    EXPECT_EQ(box->StyleAttribute("background-color"), "#ff0000");
    box->SetStyleAttribute("width", "50px");
    EXPECT_EQ(Box(box).width(), 54);
}

TEST_F(ViewTest, TableRowsAreChildrenOfTheTableAndHaveBoxes)
{
    html::Element* grid = Get("grid");
    ASSERT_EQ(grid->ChildCount(), 4u);
    EXPECT_EQ(grid->Child(1)->Tag(), "tr");
    EXPECT_EQ(grid->Child(2)->InnerText(), "alpha1");
    const QRect r1 = Box(grid->Child(1)), r2 = Box(grid->Child(2));
    EXPECT_GT(r1.height(), 0);
    EXPECT_GT(r2.top(), r1.top());
    grid->Child(2)->SetStyleAttribute("display", "none");
    EXPECT_FALSE(grid->Child(2)->IsVisible());
    EXPECT_TRUE(grid->Child(1)->IsVisible());
}

TEST_F(ViewTest, BehaviorsAreRequestedByTheirStyleSheetNames)
{
    for (const char* name : {"grid", "dropdown", "popup", "command"})
        EXPECT_NE(std::find(rec.behaviors.begin(), rec.behaviors.end(), name),
                  rec.behaviors.end())
            << name;
    // A class change that gives an element a behaviour asks for it then.
    rec.behaviors.clear();
    const std::string cls = "clickable";
    Get("box")->SetAttribute("class", &cls);
    Get("box")->Update(true);
    ASSERT_EQ(rec.behaviors.size(), 1u);
    EXPECT_EQ(rec.behaviors[0], "button");
}

TEST_F(ViewTest, ButtonBehaviorOfTheEngineSendsAClickWhenReleasedInside)
{
    const std::string cls = "clickable";
    html::Element* box = Get("box");
    box->SetAttribute("class", &cls);
    box->Update(true);
    rec.events.clear();
    Click(box);
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].first, box);
    EXPECT_EQ(rec.events[0].second, html::kButtonClick);
}

TEST_F(ViewTest, PostedEventsArriveLaterAndBubbleToTheWindow)
{
    html::Element* cell = Get("grid")->Child(1)->Child(0);
    cell->PostEvent(html::kTableRowClick, 7);
    EXPECT_TRUE(rec.events.empty());
    QApplication::processEvents();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].first, cell);
}

TEST_F(ViewTest, PopupShowsItsElementInAPopupWindowAndHides)
{
    html::Element* pop = Get("pop");
    html::Element* dd = Get("dd");
    EXPECT_FALSE(pop->IsVisible());
    ASSERT_TRUE(view.ShowPopup(pop, dd, html::kPlaceBelow));
    QWidget* w = view.PopupWidget(pop);
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(pop->State() & html::kStatePopup);
    EXPECT_TRUE(dd->State() & html::kStateOwnsPopup);
    EXPECT_TRUE(pop->IsVisible());
    EXPECT_EQ(w->width(), 150);
    EXPECT_GT(Get("item")->Location(html::kRootRelative | html::kBorderBox).height(), 0);
    EXPECT_TRUE(view.HidePopup(pop));
    EXPECT_FALSE(pop->State() & html::kStatePopup);
    EXPECT_FALSE(dd->State() & html::kStateOwnsPopup);
    EXPECT_EQ(view.PopupWidget(pop), nullptr);
    // Shown and hidden again before the view is idle, then taken out of the page: what the
    // hidden popup held is freed later, and the page goes on without it.
    ASSERT_TRUE(view.ShowPopup(pop, dd, html::kPlaceBelow));
    EXPECT_TRUE(view.HidePopup(pop));
    EXPECT_FALSE(view.HidePopup(pop));
    pop->Detach();
    QApplication::processEvents();
    EXPECT_EQ(view.PopupWidget(pop), nullptr);
    EXPECT_GT(dd->Location(html::kRootRelative | html::kBorderBox).height(), 0);
}

TEST_F(ViewTest, HostedControlIsPlacedOverItsElementAndFollowsIt)
{
    ASSERT_EQ(rec.controls, 1);
    html::Element* picker = Get("picker");
    QWidget* w = view.HostedControl(picker);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), picker->Location(html::kViewRelative | html::kBorderBox));
    EXPECT_EQ(w->size(), QSize(140, 24));
    Get("box")->SetStyleAttribute("height", "100px");
    picker->Update(true);
    EXPECT_EQ(w->geometry(), picker->Location(html::kViewRelative | html::kBorderBox));
}

TEST_F(ViewTest, ContextMenuListsTheItemsOfTheMenuTheStyleSheetNames)
{
    html::Element* box = Get("box");
    const QPoint p = box->Location(html::kViewRelative | html::kBorderBox).center();
    QMouseEvent down(QEvent::MouseButtonPress, p, view.viewport()->mapToGlobal(p),
                     Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &down);
    QMenu* menu = view.findChild<QMenu*>();
    ASSERT_NE(menu, nullptr);
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), "Alpha");
    EXPECT_TRUE(actions[1]->isSeparator());
    rec.events.clear();
    rec.targets.clear();
    actions[2]->trigger();
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0].second, html::kMenuItemClick);
    EXPECT_EQ(rec.events[0].first, box);
    EXPECT_EQ(*rec.targets[0]->Attribute("cmd"), "b");
    menu->close();
    // Elements without a context menu get none.
    EXPECT_EQ(view.ShowContextMenu(Get("title"), QPoint()), nullptr);
}

struct Trace {
    std::vector<std::pair<std::string, unsigned>> calls;
    std::string handles;  // the element id whose handler answers "handled"
};

int TraceProc(void* tag, html::Element* e, unsigned group, void* params)
{
    if (group != html::kHandleMouse)
        return 0;
    auto* t = static_cast<Trace*>(tag);
    auto* mp = static_cast<html::MouseParams*>(params);
    const std::string* id = e->Attribute("id");
    const std::string name = id ? *id : e->Tag();
    t->calls.emplace_back(name, mp->cmd);
    return name == t->handles && (mp->cmd & html::kSinking) ? 1 : 0;
}

TEST_F(ViewTest, MouseEventsSinkFromTheWindowAndBubbleBackWithTheHandledFlag)
{
    Trace trace;
    trace.handles = "dd";
    html::Element* item = Get("item");
    html::Element* dd = Get("dd");
    for (html::Element* e : {item, Get("pop"), dd})
        e->AttachHandler(TraceProc, &trace, html::kHandleMouse);
    view.AttachEventHandler(TraceProc, &trace, html::kHandleMouse);
    view.DispatchMouse(item, html::kMouseUp, QPoint(1, 1), html::kMainButton, 0);
    using html::kHandled;
    using html::kSinking;
    const unsigned up = html::kMouseUp;
    const std::vector<std::pair<std::string, unsigned>> expected = {
        {"html", up | kSinking},  // the window's handler is called with the root
        {"dd", up | kSinking},
        {"pop", up | kSinking | kHandled},
        {"item", up | kSinking | kHandled},
        {"item", up | kHandled},
        {"pop", up | kHandled},
        {"dd", up | kHandled},
        {"html", up | kHandled},
    };
    EXPECT_EQ(trace.calls, expected);
}

TEST_F(ViewTest, HoverFollowsTheMouseAndRestyles)
{
    const std::string rule = "#box:hover { background-color: #0000ff; }";
    html::ElementPtr keep = html::Element::CreateElement("style");
    keep->SetInnerText(rule);
    view.Root()->SelectFirst("head")->AppendChild(keep);
    html::Element* box = Get("box");
    EXPECT_EQ(box->StyleAttribute("background-color"), "#ff0000");
    const QPoint p = box->Location(html::kViewRelative | html::kBorderBox).center();
    QMouseEvent move(QEvent::MouseMove, p, view.viewport()->mapToGlobal(p), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    EXPECT_TRUE(box->State() & html::kStateHover);
    EXPECT_TRUE(view.Root()->State() & html::kStateHover);
    EXPECT_EQ(box->StyleAttribute("background-color"), "#0000ff");
    const QPoint away = Get("title")->Location(html::kViewRelative | html::kBorderBox).center();
    QMouseEvent leave(QEvent::MouseMove, away, view.viewport()->mapToGlobal(away), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &leave);
    EXPECT_FALSE(box->State() & html::kStateHover);
    EXPECT_EQ(box->StyleAttribute("background-color"), "#ff0000");
}

TEST_F(ViewTest, PaintsBackgroundsBordersImagesAndText)
{
    const QImage img = view.viewport()->grab().toImage();
    img.save(QString(CRV_BINARY_DIR) + "/html_view_test.png");
    const QRect box = Box(Get("box"));
    EXPECT_EQ(img.pixelColor(box.center()), QColor(255, 0, 0));
    EXPECT_EQ(img.pixelColor(box.left(), box.center().y()), QColor(0, 0, 0x80));
    const QRect logo = Box(Get("logo"));
    EXPECT_EQ(img.pixelColor(logo.left() + 2, logo.top() + 2), QColor(0, 200, 0));
    EXPECT_EQ(img.pixelColor(logo.right() - 2, logo.top() + 2), QColor(0, 0, 255));
    // Text: the title's box holds dark pixels.
    const QRect title = Box(Get("title"));
    int dark = 0;
    for (int y = title.top(); y <= title.bottom(); ++y)
        for (int x = title.left(); x < title.left() + 100; ++x)
            if (img.pixelColor(x, y).lightness() < 100)
                ++dark;
    EXPECT_GT(dark, 50);
}

}  // namespace
