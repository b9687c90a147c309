// ElementRef: a counted handle of one element of the HTML engine, with the
// operations the pages use; texts are wide, attribute names narrow.
#pragma once

#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/html/element.h"
#include "platform/html/events.h"

namespace html {
class View;
}

namespace htmlui {

class ElementRef;

// Receives the elements of a walk; returns true to stop it.
class ElementCallback {
public:
    virtual ~ElementCallback() = default;
    virtual bool ElementFound(const ElementRef& element) = 0;
};

class ElementRef {
public:
    using Comparator = std::function<int(const ElementRef&, const ElementRef&)>;

    ElementRef() = default;
    explicit ElementRef(html::Element* handle) { Use(handle); }
    ElementRef(const ElementRef& other) { Use(other.handle_); }
    ElementRef& operator=(const ElementRef& other);
    ~ElementRef() { Release(); }

    // Takes a use of the handle (a null handle leaves the reference null).
    void Use(html::Element* handle);
    // Gives the use back; the reference becomes null.
    void Release();

    bool IsValid() const { return handle_ != nullptr; }
    html::Element* Handle() const { return handle_; }
    bool operator==(const ElementRef& other) const { return handle_ == other.handle_; }

    // The value, or nothing when the attribute is missing.
    std::optional<std::wstring> GetAttribute(const char* name) const;
    // A null value removes the attribute.
    void SetAttribute(const char* name, const wchar_t* value) const;
    int GetAttributeInt(const char* name, int defaultValue) const;
    unsigned GetAttributeCount() const;
    std::string GetAttributeName(unsigned index) const;
    bool HasAttribute(const char* name) const;
    std::string GetTag() const;

    void Update(bool renderNow = false) const;

    // The selector is formatted printf-style (at most 2048 bytes).
    ElementRef FindFirst(const char* format, ...) const;
    void SelectAll(ElementCallback& callback, const char* format, ...) const;
    ElementRef FindById(const char* id) const;
    bool HasId(const char* id) const;

    unsigned GetState() const;
    bool HasState(unsigned mask) const;
    void SetState(unsigned set, unsigned clear, bool update = true) const;

    QRect GetLocation(unsigned areas = html::kRootRelative | html::kContentBox) const;
    // The view the element is shown in.
    html::View* GetHwnd(bool root = true) const;

    int GetIndex() const;
    unsigned GetChildCount() const;
    ElementRef GetChild(unsigned index) const;
    ElementRef GetParent() const;

    // The source defaults to the element itself.
    void PostEvent(unsigned code, std::uintptr_t reason = 0) const;
    void PostEvent(unsigned code, std::uintptr_t reason, const ElementRef& source) const;
    void ScrollToView(bool toTop = false, bool smooth = false) const;
    bool IsVisible() const;

    std::wstring GetStyleAttribute(const char* name) const;
    void SetStyleAttribute(const char* name, const wchar_t* value) const;

    // Sorts the children [first, last); last -1 means the child count.
    void Sort(int first, int last, const Comparator& compare) const;

    std::wstring GetInnerText() const;
    // A null text leaves the element unchanged.
    void SetText(const wchar_t* text) const;
    // Replaces the content with markup given as UTF-8.
    void SetHtml(const std::string& utf8) const;

    // `url` resolved against the element's document.
    std::wstring CombineUrl(const std::wstring& url) const;

    void SetCapture() const;
    // Gives up the mouse capture of the element's view.
    void ReleaseCapture() const;

private:
    html::Element* handle_ = nullptr;
};

// Keeps the first element it is given and stops the walk.
class FirstMatchCollector : public ElementCallback {
public:
    bool ElementFound(const ElementRef& element) override;
    const ElementRef& Found() const { return found_; }

private:
    ElementRef found_;
};

}  // namespace htmlui
