// The element tree on its own: parsing, selection, attributes, markup in
// table context, child indexes and sorting.
#include <gtest/gtest.h>

#include "platform/html/element.h"
#include "platform/html/html_parser.h"

namespace {

using html::Element;
using html::ElementPtr;

ElementPtr Page()
{
    return html::ParseDocument(
        "<html><body>"
        "<div id=a class='x y'><p class=x>one</p><p id=b lang=en-GB>two &amp; more</p></div>"
        "<table id=t fixedrows=1><tr><th>H</th></tr><tr><td>r1</td></tr><tr><td>r2</td></tr>"
        "</table>"
        "<popup id=p><span>in popup</span></popup>"
        "</body></html>");
}

std::vector<std::string> Ids(Element* root, const char* selector)
{
    std::vector<std::string> ids;
    root->Select(selector, [&](Element* e) {
        const std::string* id = e->Attribute("id");
        ids.push_back(id ? *id : e->Tag());
        return false;
    });
    return ids;
}

TEST(ElementTree, ParsedTablesHaveTheirRowsAsChildrenWithoutImpliedBodies)
{
    ElementPtr root = Page();
    Element* t = root->SelectFirst("#t");
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->ChildCount(), 3u);
    EXPECT_EQ(t->Child(0)->Tag(), "tr");
    EXPECT_EQ(t->Child(2)->Index(), 2);
    EXPECT_EQ(t->Child(2)->Parent(), t);
    EXPECT_EQ(root->Tag(), "html");
}

TEST(ElementTree, SelectorsMatchListsCombinatorsAttributesAndStates)
{
    ElementPtr root = Page();
    root->SelectFirst("#t")->Child(2)->SetState(html::kStateChecked, 0, false);
    const struct {
        const char* selector;
        std::vector<std::string> ids;
    } cases[] = {
        {"p", {"p", "b"}},
        {".x", {"a", "p"}},
        {"div.x.y", {"a"}},
        {"#b", {"b"}},
        {"popup,.popup", {"p"}},
        {"#nothing, #b , span", {"b", "span"}},
        {"div > p.x", {"p"}},
        {"body p", {"p", "b"}},
        {"p + p", {"b"}},
        {"p ~ #b", {"b"}},
        {"[lang|=en]", {"b"}},
        {"p[lang]", {"b"}},
        {"table[fixedrows='1']", {"t"}},
        {"tr:checked", {"tr"}},
        {"tr:not(:checked)", {"tr", "tr"}},
        {"tr:first-child th", {"th"}},
        {"tr:nth-child(2) td", {"td"}},
        {"div p:last-child", {"b"}},
        {"TABLE#t", {"t"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Ids(root.get(), c.selector), c.ids) << c.selector;
}

TEST(ElementTree, BadSelectorsFindNothing)
{
    ElementPtr root = Page();
    for (const char* bad : {"", "p[", "p::before", ":unknown-state", "p >", "#"})
        EXPECT_FALSE(root->Select(bad, [](Element*) { return false; })) << bad;
}

TEST(ElementTree, AttributesAreSetReplacedAndRemovedByLowerCaseName)
{
    ElementPtr root = Page();
    Element* b = root->SelectFirst("#b");
    const std::string v = "1", w = "2";
    b->SetAttribute("Data", &v);
    ASSERT_NE(b->Attribute("DATA"), nullptr);
    EXPECT_EQ(*b->Attribute("data"), "1");
    b->SetAttribute("data", &w);
    EXPECT_EQ(*b->Attribute("data"), "2");
    const std::size_t count = b->AttributeCount();
    b->SetAttribute("data", nullptr);
    EXPECT_EQ(b->Attribute("data"), nullptr);
    EXPECT_EQ(b->AttributeCount(), count - 1);
    b->SetAttribute("never-there", nullptr);
    EXPECT_EQ(b->AttributeCount(), count - 1);
}

TEST(ElementTree, InnerTextAndMarkupRoundTripWithEscapes)
{
    ElementPtr root = Page();
    Element* b = root->SelectFirst("#b");
    EXPECT_EQ(b->InnerText(), "two & more");
    b->SetInnerText("a < b & \"c\"");
    EXPECT_EQ(b->InnerText(), "a < b & \"c\"");
    EXPECT_EQ(b->InnerHtml(), "a &lt; b &amp; \"c\"");
    Element* a = root->SelectFirst("#a");
    a->SetInnerHtml("<span title='x\"y'>s</span>text");
    EXPECT_EQ(a->InnerHtml(), "<span title=\"x&quot;y\">s</span>text");
    EXPECT_EQ(a->ChildCount(), 1u);
}

TEST(ElementTree, RowsSetAsTableContentStayRowsOfThatTable)
{
    ElementPtr root = Page();
    Element* t = root->SelectFirst("#t");
    t->SetInnerHtml("<tr idx=\"0\"><td>A</td><td>B</td></tr>\n<tr idx=\"1\"><td>C</td></tr>");
    ASSERT_EQ(t->ChildCount(), 2u);
    EXPECT_EQ(t->Child(0)->Tag(), "tr");
    EXPECT_EQ(*t->Child(1)->Attribute("idx"), "1");
    EXPECT_EQ(t->Child(0)->ChildCount(), 2u);
    // Row content goes into rows the same way.
    Element* row = t->Child(1);
    row->SetInnerHtml("<td>x</td><td>y</td>");
    EXPECT_EQ(row->ChildCount(), 2u);
    EXPECT_EQ(row->Child(1)->InnerText(), "y");
}

TEST(ElementTree, SortIsStableAndLimitedToItsRange)
{
    ElementPtr root = html::ParseDocument(
        "<ul id=l><li>h</li><li>c</li><li>a</li><li>b</li><li>a2</li></ul>");
    Element* l = root->SelectFirst("#l");
    // Compare on the first letter only: "a" and "a2" are equal and keep their order.
    l->Sort(1, -1, [](Element* x, Element* y) {
        return int(x->InnerText()[0]) - int(y->InnerText()[0]);
    });
    std::string order;
    for (std::size_t i = 0; i < l->ChildCount(); ++i)
        order += l->Child(i)->InnerText() + " ";
    EXPECT_EQ(order, "h a a2 b c ");
}

TEST(ElementTree, DetachedElementsStayValidWhileHeld)
{
    ElementPtr root = Page();
    ElementPtr b = root->SelectFirst("#b");
    root->SelectFirst("#a")->RemoveAllChildren();
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(b->InnerText(), "two & more");
    EXPECT_EQ(b->Index(), -1);
    EXPECT_EQ(b->GetView(), nullptr);
}

}  // namespace
