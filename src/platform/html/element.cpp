// The element tree and its operations; layout questions go to the view.
#include "platform/html/element.h"

#include <algorithm>

#include "platform/html/html_parser.h"
#include "platform/html/selector.h"
#include "platform/html/view.h"

namespace html {

namespace {

std::string Lower(std::string_view s)
{
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return r;
}

}  // namespace

ElementPtr Element::CreateElement(std::string tag)
{
    auto* e = new Element;
    e->tag_ = Lower(tag);
    return ElementPtr(e);
}

ElementPtr Element::CreateText(std::string text)
{
    auto* e = new Element;
    e->isText_ = true;
    e->text_ = std::move(text);
    return ElementPtr(e);
}

Element::~Element()
{
    for (auto& n : nodes_)
        n->parent_ = nullptr;
}

void Element::Unuse() noexcept
{
    if (--uses_ == 0)
        delete this;
}

const std::string* Element::Attribute(std::string_view name) const
{
    const std::string key = Lower(name);
    for (const auto& [n, v] : attributes_)
        if (n == key)
            return &v;
    return nullptr;
}

void Element::SetAttribute(std::string_view name, const std::string* value)
{
    const std::string key = Lower(name);
    auto it = std::find_if(attributes_.begin(), attributes_.end(),
                           [&](const auto& a) { return a.first == key; });
    if (!value) {
        if (it == attributes_.end())
            return;
        attributes_.erase(it);
    } else if (it != attributes_.end()) {
        if (it->second == *value)
            return;
        it->second = *value;
    } else {
        attributes_.emplace_back(key, *value);
    }
    Changed(key);
}

void Element::SetState(unsigned set, unsigned clear, bool update)
{
    const unsigned old = state_;
    state_ = (state_ & ~clear) | set;
    if (state_ == old)
        return;
    if (View* v = GetView())
        v->StateChanged(this, old, update);
}

std::vector<Element*>& Element::ElementChildren() const
{
    if (!elementChildrenValid_) {
        elementChildren_.clear();
        for (const auto& n : nodes_)
            if (!n->isText_)
                elementChildren_.push_back(n.get());
        elementChildrenValid_ = true;
    }
    return elementChildren_;
}

std::size_t Element::ChildCount() const
{
    return ElementChildren().size();
}

Element* Element::Child(std::size_t index) const
{
    auto& c = ElementChildren();
    return index < c.size() ? c[index] : nullptr;
}

int Element::Index() const
{
    if (!parent_)
        return -1;
    auto& c = parent_->ElementChildren();
    auto it = std::find(c.begin(), c.end(), this);
    return it == c.end() ? -1 : int(it - c.begin());
}

bool Element::IsAncestorOrSelf(const Element* of) const
{
    for (const Element* e = of; e; e = e->parent_)
        if (e == this)
            return true;
    return false;
}

void Element::AppendNode(ElementPtr node)
{
    if (node->parent_)
        node->Detach();
    node->parent_ = this;
    nodes_.push_back(std::move(node));
    elementChildrenValid_ = false;
}

void Element::AppendChild(ElementPtr child)
{
    AppendNode(std::move(child));
    Changed();
}

void Element::RemoveAllChildren()
{
    if (nodes_.empty())
        return;
    View* v = GetView();
    for (auto& n : nodes_) {
        if (v)
            v->ElementRemoved(n.get());
        n->parent_ = nullptr;
    }
    nodes_.clear();
    elementChildrenValid_ = false;
    Changed();
}

std::vector<ElementPtr> Element::TakeNodes()
{
    for (auto& n : nodes_)
        n->parent_ = nullptr;
    elementChildrenValid_ = false;
    return std::exchange(nodes_, {});
}

void Element::Detach()
{
    Element* p = parent_;
    if (!p)
        return;
    if (View* v = GetView())
        v->ElementRemoved(this);
    ElementPtr keep(this);
    auto it = std::find_if(p->nodes_.begin(), p->nodes_.end(),
                           [&](const ElementPtr& n) { return n.get() == this; });
    parent_ = nullptr;
    p->nodes_.erase(it);
    p->elementChildrenValid_ = false;
    p->Changed();
}

std::string Element::InnerText() const
{
    std::string out;
    std::function<void(const Element*)> walk = [&](const Element* e) {
        for (const auto& n : e->nodes_) {
            if (n->isText_)
                out += n->text_;
            else if (n->tag_ == "br")
                out += '\n';
            else
                walk(n.get());
        }
    };
    if (isText_)
        return text_;
    walk(this);
    return out;
}

void Element::SetInnerText(std::string_view text)
{
    RemoveAllChildren();
    if (!text.empty())
        AppendNode(CreateText(std::string(text)));
    Changed();
}

std::string Element::InnerHtml() const
{
    std::string out;
    for (const auto& n : nodes_)
        SerializeNode(n.get(), out, nullptr);
    return out;
}

std::string Element::OuterHtml() const
{
    std::string out;
    SerializeNode(this, out, nullptr);
    return out;
}

void Element::SetInnerHtml(std::string_view html)
{
    RemoveAllChildren();
    for (auto& n : ParseFragment(html, isText_ ? std::string_view("div") : tag_))
        AppendNode(std::move(n));
    Changed();
}

std::string Element::StyleAttribute(std::string_view name)
{
    const std::string key = Lower(name);
    for (const auto& [n, v] : runtimeStyle_)
        if (n == key)
            return v;
    if (View* v = GetView())
        return v->ComputedStyle(this, key);
    return {};
}

void Element::SetStyleAttribute(std::string_view name, std::string_view value)
{
    const std::string key = Lower(name);
    auto it = std::find_if(runtimeStyle_.begin(), runtimeStyle_.end(),
                           [&](const auto& a) { return a.first == key; });
    if (value.empty()) {
        if (it == runtimeStyle_.end())
            return;
        runtimeStyle_.erase(it);
    } else if (it != runtimeStyle_.end()) {
        if (it->second == value)
            return;
        it->second = std::string(value);
    } else {
        runtimeStyle_.emplace_back(key, std::string(value));
    }
    Changed();
}

bool Element::Select(std::string_view selectorText, const Visitor& visit)
{
    Selector selector;
    if (!selector.Parse(selectorText))
        return false;
    std::function<bool(Element*)> walk = [&](Element* e) {
        for (Element* c : std::vector<Element*>(e->ElementChildren())) {
            if (selector.Matches(c) && visit(c))
                return true;
            if (walk(c))
                return true;
        }
        return false;
    };
    walk(this);
    return true;
}

Element* Element::SelectFirst(std::string_view selector)
{
    Element* found = nullptr;
    Select(selector, [&](Element* e) {
        found = e;
        return true;
    });
    return found;
}

bool Element::Matches(std::string_view selectorText)
{
    Selector selector;
    return selector.Parse(selectorText) && selector.Matches(this);
}

void Element::Sort(int first, int last, const Comparator& compare)
{
    auto& children = ElementChildren();
    const int count = int(children.size());
    if (last < 0 || last > count)
        last = count;
    if (first < 0)
        first = 0;
    if (first >= last)
        return;
    std::vector<Element*> sorted(children.begin() + first, children.begin() + last);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](Element* a, Element* b) { return compare(a, b) < 0; });
    // Put the sorted elements back into the node slots the range occupied, so
    // text runs between them stay where they were.
    std::vector<ElementPtr> keep(sorted.begin(), sorted.end());
    int elementIndex = 0;
    std::size_t next = 0;
    for (auto& n : nodes_) {
        if (n->isText_)
            continue;
        if (elementIndex >= first && elementIndex < last)
            n = keep[next++];
        ++elementIndex;
    }
    elementChildrenValid_ = false;
    for (Element* e = this; e; e = e->parent_)
        ++e->version_;
    if (View* v = GetView())
        v->ChildrenReordered(this);
}

QRect Element::Location(unsigned areas)
{
    View* v = GetView();
    return v ? v->Location(this, areas) : QRect();
}

bool Element::IsVisible()
{
    View* v = GetView();
    return v && v->IsVisible(this);
}

void Element::ScrollToView(bool toTop, bool smooth)
{
    if (View* v = GetView())
        v->ScrollToView(this, toTop, smooth);
}

void Element::Update(bool renderNow)
{
    if (View* v = GetView())
        v->Update(renderNow);
}

View* Element::GetView() const
{
    const Element* e = this;
    while (e->parent_)
        e = e->parent_;
    return e->view_;
}

void Element::AttachHandler(ElementEventProc proc, void* tag, unsigned groups,
                            std::string behaviorName)
{
    handlers_.push_back({proc, tag, groups, std::move(behaviorName)});
}

void Element::DetachHandler(ElementEventProc proc, void* tag)
{
    std::erase_if(handlers_, [&](const Handler& h) { return h.proc == proc && h.tag == tag; });
}

void Element::PostEvent(unsigned code, std::uintptr_t reason, Element* source)
{
    if (View* v = GetView())
        v->PostEvent(this, code, reason, source ? source : this);
}

bool Element::SendEvent(unsigned code, std::uintptr_t reason, Element* source)
{
    View* v = GetView();
    return v && v->SendEvent(this, code, reason, source ? source : this);
}

void Element::Changed(std::string_view attribute)
{
    // An element's own attributes are not counted in its own version.
    for (Element* e = attribute.empty() ? this : parent_; e; e = e->parent_)
        ++e->version_;
    if (View* v = GetView())
        v->TreeChanged(this, attribute);
}

bool IsVoidTag(std::string_view tag)
{
    static const char* const kVoid[] = {"area", "base", "br",   "col",   "embed",  "hr",
                                        "img",  "input", "link", "meta", "param", "source",
                                        "track", "wbr"};
    return std::any_of(std::begin(kVoid), std::end(kVoid),
                       [&](const char* v) { return tag == v; });
}

void AppendEscaped(std::string& out, std::string_view text, bool inAttribute)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"':
            if (inAttribute)
                out += "&quot;";
            else
                out += c;
            break;
        default: out += c;
        }
    }
}

}  // namespace html
