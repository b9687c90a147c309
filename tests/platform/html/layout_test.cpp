// What litehtml is given of our tree lays out as CSS says: tables in every
// form they come in, inherited properties, style sheets for other media and
// states that were set before the document was built again.
#include <QApplication>
#include <functional>
#include <gtest/gtest.h>

#include "platform/html/element.h"
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

}  // namespace
