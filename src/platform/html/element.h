// The engine's element tree: the one true DOM of a page. litehtml only lays
// out and paints a copy of it, rebuilt from here whenever the tree changes.
#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/html/events.h"

namespace html {

class View;
class ElementPtr;

// One node: an element or a run of text. Nodes are counted: the tree holds a
// use on every child and every handle holds one, so an element taken out of
// the tree stays valid (detached) while a handle refers to it.
class Element {
public:
    // Less-than-zero / zero / greater-than-zero, like strcmp.
    using Comparator = std::function<int(Element*, Element*)>;
    // Returns true to stop the walk.
    using Visitor = std::function<bool(Element*)>;

    static ElementPtr CreateElement(std::string tag);
    static ElementPtr CreateText(std::string text);

    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;

    void Use() noexcept { ++uses_; }
    void Unuse() noexcept;

    bool IsText() const { return isText_; }
    // Lower-case tag name; empty for text nodes.
    const std::string& Tag() const { return tag_; }
    // The text of a text node.
    const std::string& Text() const { return text_; }

    // Attributes: names are lower case, values UTF-8.
    const std::string* Attribute(std::string_view name) const;
    // A null value removes the attribute.
    void SetAttribute(std::string_view name, const std::string* value);
    std::size_t AttributeCount() const { return attributes_.size(); }
    const std::string& AttributeName(std::size_t i) const { return attributes_[i].first; }
    const std::string& AttributeValue(std::size_t i) const { return attributes_[i].second; }

    unsigned State() const { return state_; }
    // Counts the changes of this element's children and runtime style and of
    // everything below it (its own attributes aside).
    unsigned Version() const { return version_; }
    void SetState(unsigned set, unsigned clear, bool update);

    // Element children only: text runs are not counted.
    Element* Parent() const { return parent_; }
    std::size_t ChildCount() const;
    Element* Child(std::size_t index) const;
    // Index among the parent's element children; -1 when detached.
    int Index() const;
    bool IsAncestorOrSelf(const Element* of) const;
    void AppendChild(ElementPtr child);
    void RemoveAllChildren();
    // All child nodes, text runs included.
    const std::vector<ElementPtr>& Nodes() const { return nodes_; }
    // Takes every child node out (for trees not shown in a view).
    std::vector<ElementPtr> TakeNodes();
    void Detach();

    std::string InnerText() const;
    void SetInnerText(std::string_view text);
    std::string InnerHtml() const;
    std::string OuterHtml() const;
    // Parsed in the context of this element, so rows go into tables as rows
    // (no implied tbody).
    void SetInnerHtml(std::string_view html);

    // Runtime style set on the element; it overrides the style sheets.
    std::string StyleAttribute(std::string_view name);
    void SetStyleAttribute(std::string_view name, std::string_view value);
    const std::vector<std::pair<std::string, std::string>>& RuntimeStyle() const
    {
        return runtimeStyle_;
    }

    // Calls `visit` for every element below this one (not itself) that
    // matches the selector, in document order; false for a bad selector.
    bool Select(std::string_view selector, const Visitor& visit);
    Element* SelectFirst(std::string_view selector);
    // True when this element matches the selector.
    bool Matches(std::string_view selector);

    // Stable sort of the element children in [first, last); last -1 means all.
    void Sort(int first, int last, const Comparator& compare);

    QRect Location(unsigned areas);
    bool IsVisible();
    void ScrollToView(bool toTop, bool smooth);
    // Lays the page out again now when `renderNow`, else at the next paint.
    void Update(bool renderNow);

    // The view whose document holds this element; null when detached.
    View* GetView() const;

    // Event handlers attached to this element, called in attachment order.
    void AttachHandler(ElementEventProc proc, void* tag, unsigned groups,
                       std::string behaviorName = {});
    void DetachHandler(ElementEventProc proc, void* tag);
    struct Handler {
        ElementEventProc proc;
        void* tag;
        unsigned groups;
        std::string behaviorName;
    };
    const std::vector<Handler>& Handlers() const { return handlers_; }

    // Queues a behaviour event for this element (delivered after the current
    // event, from the message loop); `source` defaults to this element.
    void PostEvent(unsigned code, std::uintptr_t reason, Element* source = nullptr);
    // Delivers a behaviour event now; the result tells whether it was handled.
    bool SendEvent(unsigned code, std::uintptr_t reason, Element* source = nullptr);

    // Bookkeeping of the view that lays this element out.
    std::string& AttachedBehaviorName() { return attachedBehavior_; }
    bool& ControlRequested() { return controlRequested_; }

private:
    friend class View;
    Element() = default;
    ~Element();
    // This element's children, own attributes or runtime style changed; for an
    // attribute, its name.
    void Changed(std::string_view attribute = {});
    void AppendNode(ElementPtr node);
    std::vector<Element*>& ElementChildren() const;

    int uses_ = 0;
    bool isText_ = false;
    std::string tag_;
    std::string text_;
    std::vector<std::pair<std::string, std::string>> attributes_;
    std::vector<std::pair<std::string, std::string>> runtimeStyle_;
    unsigned state_ = 0;
    unsigned version_ = 0;
    Element* parent_ = nullptr;
    View* view_ = nullptr;  // set on the root element of a view's document only
    std::vector<ElementPtr> nodes_;
    mutable std::vector<Element*> elementChildren_;
    mutable bool elementChildrenValid_ = false;
    std::vector<Handler> handlers_;
    std::string attachedBehavior_;
    bool controlRequested_ = false;
};

// A counted reference to an element.
class ElementPtr {
public:
    ElementPtr() = default;
    ElementPtr(Element* e) : e_(e)  // NOLINT: implicit on purpose
    {
        if (e_)
            e_->Use();
    }
    ElementPtr(const ElementPtr& o) : ElementPtr(o.e_) {}
    ElementPtr(ElementPtr&& o) noexcept : e_(std::exchange(o.e_, nullptr)) {}
    ElementPtr& operator=(ElementPtr o) noexcept
    {
        std::swap(e_, o.e_);
        return *this;
    }
    ~ElementPtr()
    {
        if (e_)
            e_->Unuse();
    }
    Element* get() const { return e_; }
    Element* operator->() const { return e_; }
    Element& operator*() const { return *e_; }
    explicit operator bool() const { return e_ != nullptr; }

private:
    Element* e_ = nullptr;
};

// Text helpers shared by the parser and the serialiser.
void AppendEscaped(std::string& out, std::string_view text, bool inAttribute);
bool IsVoidTag(std::string_view tag);

}  // namespace html
