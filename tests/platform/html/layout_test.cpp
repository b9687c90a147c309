// What litehtml is given of our tree lays out as CSS says: tables in every
// form they come in, inherited properties, style sheets for other media and
// states that were set before the document was built again.
#include <QApplication>
#include <QScrollBar>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>
#include <gtest/gtest.h>

#include "platform/html/element.h"
#include "platform/html/inherited_style_cache.h"
#include "platform/html/layout.h"
#include "platform/html/view.h"

namespace {

class Page {
public:
    explicit Page(const std::string& markup)
    {
        view.resize(400, 300);
        view.LoadHtml(QByteArray::fromStdString(markup));
    }
    html::Element* Get(const char* id) { return view.Root()->SelectFirst(std::string("#") + id); }
    QRect Box(const char* id) { return Get(id)->Location(html::kRootRelative | html::kBorderBox); }

    html::View view;
};

struct LayoutCase {
    const char* name;
    const char* markup;
    std::function<void(Page&)> check;
};

const LayoutCase kCases[] = {
    {"cells written without a row still form one row",
     "<body><table><td id=a>one</td><td id=b>two</td></table></body>",
     [](Page& p) {
         ASSERT_TRUE(p.Get("a") && p.Get("b"));
         EXPECT_TRUE(p.Get("a")->IsVisible());
         EXPECT_GT(p.Box("a").width(), 0);
         EXPECT_EQ(p.Box("a").top(), p.Box("b").top());
         EXPECT_GE(p.Box("b").left(), p.Box("a").right());
     }},
    {"elements displayed as table cells without a table sit side by side",
     "<body><div style='display:table-row'><div id=a style='display:table-cell'>one</div>"
     "<div id=b style='display:table-cell'>two</div></div></body>",
     [](Page& p) {
         EXPECT_GT(p.Box("a").width(), 0);
         EXPECT_EQ(p.Box("a").top(), p.Box("b").top());
         EXPECT_GE(p.Box("b").left(), p.Box("a").right());
     }},
    {"rows with a header group keep their order and cells",
     "<body><table><thead><tr><th id=h>head</th></tr></thead>"
     "<tr><td id=a>one</td></tr><tr><td id=b>two</td></tr></table></body>",
     [](Page& p) {
         EXPECT_GT(p.Box("a").top(), p.Box("h").top());
         EXPECT_GT(p.Box("b").top(), p.Box("a").top());
     }},
    {"font sizes are inherited from the nearest ancestor, also when asked for",
     "<body><div style='font-size:30px'><div id=a>X</div>"
     "<div style='font-size:10px'><div id=b>X</div>"
     "<div id=c style='font-size:inherit'>X</div></div></div></body>",
     [](Page& p) {
         EXPECT_GT(p.Box("a").height(), p.Box("b").height());
         EXPECT_EQ(p.Box("c").height(), p.Box("b").height());
     }},
    {"white-space is inherited through elements that do not set it",
     "<body><div style='width:60px;white-space:nowrap'><div><div id=a>"
     "many words that do not fit</div></div></div>"
     "<div style='width:60px'><div><div id=b>many words that do not fit</div></div></div></body>",
     [](Page& p) { EXPECT_LT(p.Box("a").height() * 2, p.Box("b").height()); }},
    {"style sheets for other media are left out",
     "<head><style media='print'>#m { width: 50px; }</style>"
     "<style media='screen'>#m { height: 30px; }</style></head>"
     "<body><div id=m style='width:80px'>m</div></body>",
     [](Page& p) {
         EXPECT_EQ(p.Box("m").width(), 80);
         EXPECT_EQ(p.Box("m").height(), 30);
     }},
    {"a state set before the document is built again still styles",
     "<head><style>#s { width: 20px; } #s:checked { width: 70px; }</style></head>"
     "<body><div id=s>s</div><div id=t>t</div></body>",
     [](Page& p) {
         p.Get("s")->SetState(html::kStateChecked, 0, false);
         p.Get("t")->SetInnerText("changed");  // the tree changes: a rebuild
         EXPECT_EQ(p.Box("s").width(), 70);
         EXPECT_EQ(p.Get("t")->InnerText(), "changed");
     }},
    {"the built-in rules of each tag apply, and page rules come after them",
     "<head><style>h2 { margin: 0; }</style></head><body>"
     "<div id=t1>t</div><h1 id=h1>H</h1><div id=t2>t</div><h2 id=h2>H</h2>"
     "<menu id=m>hidden</menu><table><tr><td id=c>x</td></tr></table></body>",
     [](Page& p) {
         EXPECT_GE(p.Box("h1").top(), p.Box("t1").bottom() + 10);  // the h1 margin
         EXPECT_LE(p.Box("h2").top(), p.Box("t2").bottom() + 1);   // the page's zero margin
         EXPECT_GT(p.Box("h1").height(), p.Box("t1").height());    // the h1 font size
         EXPECT_FALSE(p.Get("m")->IsVisible());
         EXPECT_TRUE(p.Get("c")->IsVisible());
     }},
    {"cells styled by the same rules still differ where their own attributes say",
     "<head><style>td { padding: 2px; }</style></head><body>"
     "<table><tr><td id=s1 style='padding:12px'>x</td></tr></table>"
     "<table><tr><td id=p1>x</td></tr></table>"
     "<table><tr><td id=w width=80>x</td></tr></table>"
     "<table><tr><td id=p2>x</td></tr></table>"
     "<table><tr><td id=s2 style='padding:12px'>x</td></tr></table></body>",
     [](Page& p) {
         EXPECT_EQ(p.Box("p1").size(), p.Box("p2").size());
         EXPECT_EQ(p.Box("s1").size(), p.Box("s2").size());
         EXPECT_GE(p.Box("s1").height(), p.Box("p1").height() + 18);
         EXPECT_GE(p.Box("w").width(), 80);
         EXPECT_LT(p.Box("p1").width(), 40);
     }},
};

TEST(Layout, TreesLayOutAsTheirStyleSheetsSay)
{
    for (const LayoutCase& c : kCases) {
        SCOPED_TRACE(c.name);
        Page page(c.markup);
        c.check(page);
    }
}

// Changes lay out again only the parts they touch: the result must be the page that the changed
// markup gives when loaded whole, box for box.
struct ChangeCase {
    const char* name;
    std::string markup;
    std::function<void(Page&)> change;
};

// Sets the table's "state" to each of `states` in turn, laid out after each.
void Fold(Page& p, const char* table, std::initializer_list<const char*> states)
{
    for (const char* state : states) {
        const std::string value = state;
        p.Get(table)->SetAttribute("state", &value);
        p.view.EnsureLayout();
    }
}

const char* const kFoldingPage =
    "<head><style>table { width: 100%; } td { padding: 3px; }"
    "table[state=close] tr.f { display: none; }"
    "table[state=open] td.i { width: 40px; } .hot + div { width: 50px; color: red; }"
    "#s:checked { height: 40px; }</style></head><body>"
    "<table id=t1 state=close><tr><td id=i1 class=i>a</td><td id=n1>first</td></tr>"
    "<tr class=f><td id=c1>one</td><td>two</td></tr></table>"
    "<table id=t2 state=open><tr><td id=i2 class=i>b</td><td id=n2>second</td></tr>"
    "<tr class=f><td id=c2>three</td><td>four</td></tr></table>"
    "<div id=x>x</div><div id=y>y</div><div id=s>s</div></body>";

// Twenty tables one below the other in one block, as the tables page shows them.
std::string ManyTablesPage(const char* before = "")
{
    std::string markup =
        "<head><style>#list > table { width: 100%; border-spacing: 0; } td { padding: 2px; }"
        "table[state=close] tr.f { display: none; }</style></head><body>";
    markup += before;
    markup += "<div id=list>";
    for (int t = 0; t < 20; ++t) {
        const std::string n = std::to_string(t);
        markup += "<table id=t" + n + " state=open><tr><td id=i" + n + ">" + n + "</td><td id=n" +
                  n + ">table " + n + "</td></tr><tr class=f><td id=c" + n +
                  ">one</td><td>two</td></tr></table>";
    }
    return markup + "</div><div id=after>after</div></body>";
}

// Writes each table's first cell again with text of the same width.
void WriteSameSize(Page& p, std::initializer_list<int> tables)
{
    for (int t : tables)
        p.Get(("t" + std::to_string(t)).c_str())
            ->SetInnerHtml("<tr><td id=i" + std::to_string(t) + ">" + std::to_string(t) +
                           "</td><td id=n" + std::to_string(t) + ">table " + std::to_string(t) +
                           "</td></tr><tr class=f><td id=c" + std::to_string(t) +
                           ">eno</td><td>owt</td></tr>");
}

const ChangeCase kChanges[] = {
    {"tables among many written again to the same size stay where they were",
     ManyTablesPage(),
     [](Page& p) {
         WriteSameSize(p, {5});
         p.view.EnsureLayout();
         WriteSameSize(p, {0, 19});
         p.view.EnsureLayout();
         p.Get("c7")->SetInnerText("owt");
     }},
    {"a table among many that grows moves the tables below it", ManyTablesPage(),
     [](Page& p) {
         WriteSameSize(p, {3});
         p.view.EnsureLayout();
         p.Get("c8")->SetInnerHtml("<div id=g8 style='height:90px'>tall</div>");
         p.view.EnsureLayout();
         p.Get("c8")->SetInnerText("one");
     }},
    {"tables among many folded and unfolded", ManyTablesPage(),
     [](Page& p) {
         Fold(p, "t4", {"close", "open"});
         Fold(p, "t12", {"close"});
         WriteSameSize(p, {13});
     }},
    {"nine tables among many written at once", ManyTablesPage(),
     [](Page& p) {
         p.view.EnsureLayout();
         WriteSameSize(p, {1, 2, 3, 5, 8, 11, 13, 17, 19});
     }},
    {"a float put beside a block of tables", ManyTablesPage("<div id=before></div>"),
     [](Page& p) {
         p.view.EnsureLayout();
         p.Get("before")->SetInnerHtml(
             "<div id=fl style='float:left;width:120px;height:140px'>float</div>");
         p.view.EnsureLayout();
         WriteSameSize(p, {2});
         p.view.EnsureLayout();
         p.Get("fl")->SetInnerHtml("<div style='height:300px'>taller</div>");
     }},
    {"a block of tables below a float",
     ManyTablesPage("<div style='float:right;width:90px;height:200px'>float</div>"),
     [](Page& p) {
         p.view.EnsureLayout();
         WriteSameSize(p, {0, 6});
     }},
    {"a table taken out from among many", ManyTablesPage(),
     [](Page& p) {
         p.view.EnsureLayout();
         p.Get("t9")->Detach();
         p.view.EnsureLayout();
         WriteSameSize(p, {10});
     }},
    {"a block of tables in a narrower window", ManyTablesPage(),
     [](Page& p) {
         p.view.EnsureLayout();
         p.view.resize(260, 300);
         WriteSameSize(p, {4});
     }},

    {"a table unfolded shows its rows and moves the tables below", kFoldingPage,
     [](Page& p) { Fold(p, "t1", {"open"}); }},
    {"a table folded and unfolded again is the table it was", kFoldingPage,
     [](Page& p) { Fold(p, "t2", {"close", "open", "close"}); }},
    {"a table changed while folded shows the change when unfolded", kFoldingPage,
     [](Page& p) {
         Fold(p, "t2", {"close", "open", "close"});
         p.Get("c2")->SetInnerText("a much longer text than before in this cell");
         Fold(p, "t2", {"open"});
     }},
    {"a class that the next element's rule tests restyles that element", kFoldingPage,
     [](Page& p) {
         const std::string hot = "hot";
         p.Get("x")->SetAttribute("class", &hot);
     }},
    {"rows written into one table", kFoldingPage,
     [](Page& p) {
         p.Get("t2")->SetInnerHtml("<tr><td id=i2 class=i>b</td><td id=n2>second, longer</td></tr>"
                                   "<tr><td id=c2>new</td><td>row</td></tr>"
                                   "<tr class=f><td id=d2>third</td><td>row</td></tr>");
     }},
    {"a cell written taller than the window lengthens the page", kFoldingPage,
     [](Page& p) {
         p.view.EnsureLayout();
         p.Get("n2")->SetInnerHtml("<div id=g2 style='height:700px'>tall</div>");
     }},
    {"a cell written short again shortens the page", kFoldingPage,
     [](Page& p) {
         p.Get("n2")->SetInnerHtml("<div style='height:900px'>tall</div>");
         p.view.EnsureLayout();
         p.Get("n2")->SetInnerHtml("<span id=g2>short</span>");
     }},
    {"what overflows a kept table still counts while another table changes", kFoldingPage,
     [](Page& p) {
         p.Get("t2")->SetInnerHtml("<tr><td id=i2><div id=n2 style='height:10px'>"
                                   "<div id=o2 style='height:800px'>over</div></div></td></tr>");
         p.view.EnsureLayout();
         Fold(p, "t1", {"open", "close", "open"});
         p.Get("n2")->SetInnerHtml("<div id=o2 style='height:1200px'>further</div>");
         p.view.EnsureLayout();
         Fold(p, "t1", {"close"});
     }},
    {"positioned elements written into a table are placed", kFoldingPage,
     [](Page& p) {
         Fold(p, "t1", {"open"});
         p.Get("n2")->SetInnerHtml(
             "<div id=a2 style='position:absolute;left:30px;top:12px;width:20px;height:5px'>"
             "</div><span id=r2 style='position:relative;left:9px'>moved</span>");
         p.view.EnsureLayout();
         Fold(p, "t1", {"close"});
     }},
    {"a style sheet written into the page and taken out again styles nothing", kFoldingPage,
     [](Page& p) {
         p.Get("y")->SetInnerHtml("<style>td { color: #ff0000; padding: 9px; }</style>y");
         p.view.EnsureLayout();
         p.Get("y")->SetInnerHtml("y");
     }},
    {"a state set while another part is written again", kFoldingPage,
     [](Page& p) {
         p.Get("s")->SetState(html::kStateChecked, 0, false);
         p.Get("n1")->SetInnerText("first, now much longer than it was");
     }},
};

TEST(Layout, PagesChangedInPartsLayOutAsLoadedWhole)
{
    for (const ChangeCase& c : kChanges) {
        SCOPED_TRACE(c.name);
        Page changed(c.markup);
        c.change(changed);
        changed.view.EnsureLayout();
        Page whole(changed.view.Root()->OuterHtml());
        whole.view.resize(changed.view.size());
        if (changed.Get("s") && (changed.Get("s")->State() & html::kStateChecked)) {
            whole.Get("s")->SetState(html::kStateChecked, 0, false);
            whole.view.TreeChanged();  // built whole in that state
        }
        whole.view.EnsureLayout();
        EXPECT_EQ(changed.view.verticalScrollBar()->maximum(),
                  whole.view.verticalScrollBar()->maximum());
        std::vector<html::Element*> named;
        whole.view.Root()->Select("[id]", [&](html::Element* e) {
            named.push_back(e);
            return false;
        });
        ASSERT_GT(named.size(), 10u);
        for (html::Element* e : named) {
            const std::string id = *e->Attribute("id");
            SCOPED_TRACE(id);
            html::Element* twin = changed.Get(id.c_str());
            ASSERT_TRUE(twin);
            EXPECT_EQ(twin->IsVisible(), e->IsVisible());
            EXPECT_EQ(twin->Location(html::kRootRelative | html::kBorderBox),
                      e->Location(html::kRootRelative | html::kBorderBox));
            EXPECT_EQ(twin->StyleAttribute("color"), e->StyleAttribute("color"));
            // And a click finds the same element in both.
            const QRect box = e->Location(html::kViewRelative | html::kBorderBox);
            if (e->IsVisible() && !box.isEmpty() && whole.view.viewport()->rect().contains(box.center())) {
                const html::Element* hit = whole.view.ElementAt(box.center());
                const html::Element* twinHit = changed.view.ElementAt(box.center());
                ASSERT_TRUE(hit && twinHit);
                EXPECT_EQ(twinHit->OuterHtml(), hit->OuterHtml());
            }
        }
    }
}

// Elements are tried only with the rules that name their id, a class or their tag, and alike
// elements are styled as the first of them: every element must still be styled as when every
// rule is tried on it and every style parsed, also after classes, attributes and states change.
const char* const kStyledPage =
    "<head><style>"
    "#list > table { width: 100%; border-spacing: 0; }"
    "#list td { padding: 2px; color: #111111; }"
    "#list tr td:nth-child(1) { width: 16px; } #list tr td:nth-child(3) { width: 30%; }"
    "#list tr.head td { font-weight: bold; background-color: #eeeeff; }"
    "#list tr[m=\"g\"] td { color: #777777; }"
    "#list table[state=\"close\"] tr { display: none; }"
    "#list table[state=\"close\"] tr.head { display: table-row; }"
    "#list table[state=\"close\"] tr.head + tr { display: table-row; visibility: hidden; }"
    "#list td.key { padding-left: 9px; } .Hot { color: #ff0000; } .hot.big { font-size: 20px; }"
    "td:not(.key) span { text-decoration: underline; } span.type { font-size: 10px; }"
    "td:last-child { border-bottom: 3px solid #000000; }"
    "div.flag { width: 10px; height: 10px; } div.flag:checked { width: 30px; }"
    "[data-x] { margin-left: 5px; } p + div { height: 7px; } * { line-height: 16px; }"
    "</style></head><body><div id=list>"
    "<table name=t1 state=open><tr class=head><td><div class=flag id=f1></div></td>"
    "<td colspan=2>one</td><td>x</td></tr>"
    "<tr><td id=k1 class=key>&nbsp;</td><td>a</td><td><span class=type>int</span></td>"
    "<td><div class=flag idx=1></div></td></tr>"
    "<tr m=g><td id=c1>&nbsp;</td><td id=n1>b</td><td><span>text</span></td>"
    "<td><div class=flag idx=2></div></td></tr>"
    "<tr><td>&nbsp;</td><td>c</td><td>d</td><td>e</td></tr>"
    "<tr><td>&nbsp;</td><td>c</td><td>d</td><td>e</td></tr></table>"
    "<table name=t2 state=close><tr class=head><td><div class=flag></div></td>"
    "<td colspan=2>two</td><td>y</td></tr>"
    "<tr><td class=key>&nbsp;</td><td>a</td><td><span class=type>int</span></td>"
    "<td><div class=flag idx=1></div></td></tr>"
    "<tr><td>&nbsp;</td><td id=n2>b</td><td><span>text</span></td>"
    "<td><div class=flag idx=2></div></td></tr>"
    "<tr><td>&nbsp;</td><td>c</td><td>d</td><td>e</td></tr>"
    "<tr m=g><td>&nbsp;</td><td>c</td><td>d</td><td>e</td></tr></table>"
    "<table name=t3 state=open><tr class=head><td></td><td colspan=2>three</td>"
    "<td>z</td></tr><tr><td class=key>&nbsp;</td><td>a</td>"
    "<td><span class=type>int</span></td><td><div class=flag idx=1></div></td></tr>"
    "<tr m=g><td>&nbsp;</td><td>b</td><td><span>text</span></td>"
    "<td><div class=flag idx=2></div></td></tr>"
    "<tr><td>&nbsp;</td><td width=80 bgcolor=#00ff00>c</td><td align=right>d</td>"
    "<td style='padding:7px'>e</td></tr></table>"
    "<table name=t4 state=open width=50% align=center cellspacing=4 border=2>"
    "<tr class=head><td></td><td colspan=2>four</td><td>w</td></tr>"
    "<tr><td>&nbsp;</td><td>c</td><td valign=top>d<br>d</td><td>e</td></tr></table>"
    "</div><p id=p>p</p><div id=after data-x=1>after</div><div id=last>last</div></body>";

// Sets an attribute of the element `selector` selects, laid out after.
void Set(Page& p, const char* selector, const char* attribute, const char* value)
{
    const std::string v = value;
    p.view.Root()->SelectFirst(selector)->SetAttribute(attribute, &v);
    p.view.EnsureLayout();
}

const ChangeCase kRestyles[] = {
    {"the page as loaded", kStyledPage, [](Page&) {}},
    {"tables folded and unfolded", kStyledPage,
     [](Page& p) {
         Set(p, "[name=t1]", "state", "close");
         Set(p, "[name=t2]", "state", "open");
         Set(p, "[name=t3]", "state", "close");
         Set(p, "[name=t1]", "state", "open");
     }},
    {"cells gain classes that rules are indexed by", kStyledPage,
     [](Page& p) {
         Set(p, "#c1", "class", "hot big");
         Set(p, "#n2", "class", "HOT");
         Set(p, "#k1", "class", "");
         Set(p, "#last", "id", "list");
     }},
    {"rows and elements gain attributes and states the rules test", kStyledPage,
     [](Page& p) {
         Set(p, "#n1", "data-x", "2");
         p.Get("f1")->SetState(html::kStateChecked, 0, false);
         p.view.EnsureLayout();
         p.view.Root()->SelectFirst("[name=t2]")->SetInnerHtml(
             "<tr class=head m=g><td>h</td><td>two</td></tr>"
             "<tr m=g><td class=key>&nbsp;</td><td>b</td></tr>"
             "<tr><td>&nbsp;</td><td><span>s</span></td></tr>");
         p.view.EnsureLayout();
         Set(p, "#p", "id", "q");
     }},
};

TEST(Layout, ElementsAreStyledAsWhenEveryRuleIsTriedOnEveryElement)
{
    static const char* const kProperties[] = {
        "display", "color", "width", "height", "font-weight", "font-size", "padding-left",
        "border-top-width", "border-bottom-width", "visibility", "background-color",
        "margin-left", "text-decoration", "line-height"};
    auto styled = [](const ChangeCase& c, bool shortcuts) {
        html::InheritedStyleCache::SetShortcuts(shortcuts);
        Page page(c.markup);
        page.view.EnsureLayout();
        c.change(page);
        page.view.EnsureLayout();
        std::vector<std::string> result;
        page.view.Root()->Select("*", [&](html::Element* e) {
            const QRect box = e->Location(html::kRootRelative | html::kBorderBox);
            std::string line = e->Tag() + (e->IsVisible() ? " shown " : " hidden ") +
                               std::to_string(box.x()) + ',' + std::to_string(box.y()) + ' ' +
                               std::to_string(box.width()) + 'x' + std::to_string(box.height());
            for (const char* name : kProperties)
                line += std::string(" ") + name + ':' + page.view.ComputedStyle(e, name);
            result.push_back(line);
            return false;
        });
        html::InheritedStyleCache::SetShortcuts(true);
        return result;
    };
    for (const ChangeCase& c : kRestyles) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> fast = styled(c, true);
        const std::vector<std::string> slow = styled(c, false);
        ASSERT_EQ(fast.size(), slow.size());
        ASSERT_GT(fast.size(), 50u);
        for (std::size_t i = 0; i < fast.size(); ++i)
            EXPECT_EQ(fast[i], slow[i]) << "element " << i;
    }
}

// After parts of the page are built again, the layout's elements are still the page's in
// document order, each with its own twin: the order is mended around the parts, not walked anew.
TEST(Layout, ElementsStayInDocumentOrderWithTheirTwinsAsPartsAreBuiltAgain)
{
    Page page("<body><div id=a><p>one</p><p id=a2>two</p></div><div id=b><p>three</p></div>"
              "<div id=c><p>four <b>bold</b></p></div><div id=d></div></body>");
    html::Layout layout(&page.view);
    layout.Build(page.view.Root(), {{"div.x + div { color: #ff0000; } p { color: #00ff00; }"
                                     "b { color: #0000ff; }", "", "", ""}},
                 false);
    auto inOrder = [&] {
        std::vector<html::Element*> order;
        std::vector<html::Element*> stack{page.view.Root()};
        while (!stack.empty()) {
            html::Element* e = stack.back();
            stack.pop_back();
            order.push_back(e);
            for (std::size_t i = e->ChildCount(); i-- > 0;)
                stack.push_back(e->Child(i));
        }
        return order;
    };
    auto patch = [&](std::vector<std::pair<html::Element*, std::string>> changes) {
        std::vector<html::Element*> added;
        ASSERT_TRUE(layout.Patch(changes, added));
        ASSERT_EQ(layout.Elements(), inOrder());
        for (std::size_t i = 0; i < layout.Elements().size(); ++i) {
            html::Element* e = layout.Elements()[i];
            SCOPED_TRACE(e->Tag() + " " + std::to_string(i));
            ASSERT_TRUE(layout.Contains(e));
            const char* byIndex = layout.StylePropertyAt(i, "color");
            const char* byElement = layout.StylePropertyText(e, "color");
            EXPECT_EQ(std::string(byIndex ? byIndex : ""), std::string(byElement ? byElement : ""));
        }
    };
    ASSERT_EQ(layout.Elements(), inOrder());
    page.Get("b")->SetInnerHtml("<p>three, <b>longer</b></p><p>and more</p>");
    patch({{page.Get("b"), ""}});
    page.Get("a")->SetInnerHtml("<p>one</p>");
    page.Get("c")->SetInnerHtml("");
    patch({{page.Get("c"), ""}, {page.Get("a"), ""}});
    page.Get("d")->SetInnerHtml("<p>last <b>one</b></p>");
    patch({{page.Get("d"), ""}});
    const std::string x = "x";
    page.Get("a")->SetAttribute("class", &x);
    patch({{page.Get("a"), "class"}});
    page.Get("a")->Child(0)->SetInnerHtml("<b>first</b> of <b>all</b>");
    patch({{page.Get("a")->Child(0), ""}});
}

}  // namespace

// What the style sheets hide is laid out below the hidden element only once a change shows it;
// it must then lay out as the page loaded whole does. Parts that a state may show, and hidden
// elements with a behaviour (shown alone as popups), stay laid out while hidden.
TEST(Layout, HiddenPartsLayOutOnceShownAsTheWholePage)
{
    const std::string sheet =
        "<head><style>"
        "div.fold[state=close] > div { display: none; }"
        "div.fold[state=close] > div.head { display: block; }"
        "div.fold[state=close] > div.head + div { display: block; height: 0; }"
        "span { color: #123456; } div.pop { display: none; behavior: none-such; }"
        "</style></head><body>";
    const std::string folds =
        "<div class=fold state=close id=f><div class=head id=h>head</div>"
        "<div id=first><span id=s1>first</span></div>"
        "<div id=rest><span id=s2>rest <b id=b2>bold</b></span></div></div>"
        "<div class=pop id=pop><span id=s3>in the popup</span></div>";
    {
        Page page(sheet + folds + "</body>");
        EXPECT_TRUE(page.Get("h")->IsVisible());
        EXPECT_EQ(page.Get("s1")->StyleAttribute("color"), "#123456");
        EXPECT_FALSE(page.Get("s2")->IsVisible());
        EXPECT_EQ(page.Get("s2")->StyleAttribute("color"), "");  // not laid out
        EXPECT_EQ(page.Get("s3")->StyleAttribute("color"), "#123456");

        const std::string open = "open";
        page.Get("f")->SetAttribute("state", &open);
        page.view.EnsureLayout();
        Page whole(page.view.Root()->OuterHtml());
        for (const char* id : {"h", "first", "s1", "rest", "s2", "b2"}) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(page.Get(id)->IsVisible());
            EXPECT_EQ(page.Get(id)->StyleAttribute("color"), whole.Get(id)->StyleAttribute("color"));
            EXPECT_EQ(page.Box(id), whole.Box(id));
        }
        // Folded again and a part of it written anew while folded: opened, it shows as written.
        const std::string close = "close";
        page.Get("f")->SetAttribute("state", &close);
        page.view.EnsureLayout();
        page.Get("rest")->SetInnerHtml("<span id=s4>written <i id=i4>anew</i></span>");
        page.view.EnsureLayout();
        EXPECT_FALSE(page.Get("s4")->IsVisible());
        page.Get("f")->SetAttribute("state", &open);
        page.view.EnsureLayout();
        Page again(page.view.Root()->OuterHtml());
        for (const char* id : {"rest", "s4", "i4"}) {
            SCOPED_TRACE(id);
            EXPECT_TRUE(page.Get(id)->IsVisible());
            EXPECT_EQ(page.Box(id), again.Box(id));
        }
    }
    {
        // A rule that a state may turn shows the hidden part: everything stays laid out.
        Page page(sheet.substr(0, sheet.size() - std::strlen("</style></head><body>")) +
                  "div.fold:hover > div { display: block; }</style></head><body>" + folds +
                  "</body>");
        EXPECT_FALSE(page.Get("s2")->IsVisible());
        EXPECT_EQ(page.Get("s2")->StyleAttribute("color"), "#123456");
        page.Get("f")->SetState(html::kStateHover, 0, true);
        page.view.EnsureLayout();
        EXPECT_TRUE(page.Get("b2")->IsVisible());
    }
}

// A popup is laid out apart from the page: as the page changes elsewhere it shows the states
// set on its rows meanwhile, and rows written into it are laid out in it.
TEST(Layout, APopupShowsItsStatesAndItsRowsWhileThePageChangesElsewhere)
{
    Page page("<head><style>#pop { display: none; } td { padding: 1px; }"
              "tr:current td { padding: 10px; }</style></head><body><div id=a>a</div>"
              "<div id=anchor>v</div><div id=pop><table id=t><tr id=r1><td>one</td></tr>"
              "<tr id=r2><td>two</td></tr></table></div></body>");
    page.view.EnsureLayout();
    ASSERT_TRUE(page.view.ShowPopup(page.Get("pop"), page.Get("anchor"), html::kPlaceBelow));
    const int plain = page.Box("r2").height();
    ASSERT_GT(plain, 0);
    EXPECT_EQ(page.Box("r1").height(), plain);

    page.Get("r1")->SetState(html::kStateCurrent, 0, false);
    page.Get("a")->SetInnerText("a, changed");
    page.view.EnsureLayout();
    EXPECT_GT(page.Box("r1").height(), plain + 10);
    EXPECT_EQ(page.Box("r2").height(), plain);

    page.Get("t")->SetInnerHtml("<tr id=r3><td>three</td></tr><tr id=r4><td>four</td></tr>");
    page.view.EnsureLayout();
    EXPECT_EQ(page.Box("r3").height(), plain);
    EXPECT_EQ(page.Box("r4").height(), plain);
    EXPECT_TRUE(page.view.HidePopup(page.Get("pop")));
}
