// ElementRef: thin calls of the engine on a counted element handle.
#include "htmlui/element_ref.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <strings.h>
#include <utility>

#include "platform/automation/wide_text.h"
#include "platform/html/view.h"

namespace htmlui {

namespace {

std::string FormatSelector(const char* format, va_list args)
{
    char buffer[2048];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return buffer;
}

}  // namespace

bool FirstMatchCollector::ElementFound(const ElementRef& element)
{
    found_ = element;
    return true;
}

ElementRef& ElementRef::operator=(const ElementRef& other)
{
    if (this != &other) {
        html::Element* keep = other.handle_;
        if (keep)
            keep->Use();
        Release();
        handle_ = keep;
    }
    return *this;
}

void ElementRef::Use(html::Element* handle)
{
    Release();
    handle_ = handle;
    if (handle_)
        handle_->Use();
}

void ElementRef::Release()
{
    if (handle_)
        std::exchange(handle_, nullptr)->Unuse();
}

std::optional<std::wstring> ElementRef::GetAttribute(const char* name) const
{
    if (!handle_)
        return std::nullopt;
    const std::string* v = handle_->Attribute(name);
    if (!v)
        return std::nullopt;
    return automation::FromUtf8(*v);
}

void ElementRef::SetAttribute(const char* name, const wchar_t* value) const
{
    if (!handle_)
        return;
    if (!value) {
        handle_->SetAttribute(name, nullptr);
        return;
    }
    const std::string v = automation::ToUtf8(value);
    handle_->SetAttribute(name, &v);
}

int ElementRef::GetAttributeInt(const char* name, int defaultValue) const
{
    const auto v = GetAttribute(name);
    if (!v)
        return defaultValue;
    return int(std::wcstol(v->c_str(), nullptr, 10));
}

unsigned ElementRef::GetAttributeCount() const
{
    return handle_ ? unsigned(handle_->AttributeCount()) : 0;
}

std::string ElementRef::GetAttributeName(unsigned index) const
{
    if (!handle_ || index >= handle_->AttributeCount())
        return {};
    return handle_->AttributeName(index);
}

bool ElementRef::HasAttribute(const char* name) const
{
    const unsigned n = GetAttributeCount();
    for (unsigned i = 0; i < n; ++i)
        if (strcasecmp(GetAttributeName(i).c_str(), name) == 0)
            return true;
    return false;
}

std::string ElementRef::GetTag() const
{
    return handle_ ? handle_->Tag() : std::string();
}

void ElementRef::Update(bool renderNow) const
{
    if (handle_)
        handle_->Update(renderNow);
}

ElementRef ElementRef::FindFirst(const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const std::string selector = FormatSelector(format, args);
    va_end(args);
    return ElementRef(handle_ ? handle_->SelectFirst(selector) : nullptr);
}

void ElementRef::SelectAll(ElementCallback& callback, const char* format, ...) const
{
    va_list args;
    va_start(args, format);
    const std::string selector = FormatSelector(format, args);
    va_end(args);
    if (!handle_)
        return;
    handle_->Select(selector,
                    [&](html::Element* e) { return callback.ElementFound(ElementRef(e)); });
}

ElementRef ElementRef::FindById(const char* id) const
{
    return FindFirst("#%s", id);
}

bool ElementRef::HasId(const char* id) const
{
    const auto v = GetAttribute("id");
    return v && automation::ToUtf8(*v) == id;
}

unsigned ElementRef::GetState() const
{
    return handle_ ? handle_->State() : 0;
}

bool ElementRef::HasState(unsigned mask) const
{
    return (GetState() & mask) != 0;
}

void ElementRef::SetState(unsigned set, unsigned clear, bool update) const
{
    if (handle_)
        handle_->SetState(set, clear, update);
}

QRect ElementRef::GetLocation(unsigned areas) const
{
    return handle_ ? handle_->Location(areas) : QRect();
}

html::View* ElementRef::GetHwnd(bool) const
{
    return handle_ ? handle_->GetView() : nullptr;
}

int ElementRef::GetIndex() const
{
    return handle_ ? handle_->Index() : -1;
}

unsigned ElementRef::GetChildCount() const
{
    return handle_ ? unsigned(handle_->ChildCount()) : 0;
}

ElementRef ElementRef::GetChild(unsigned index) const
{
    return ElementRef(handle_ ? handle_->Child(index) : nullptr);
}

ElementRef ElementRef::GetParent() const
{
    return ElementRef(handle_ ? handle_->Parent() : nullptr);
}

void ElementRef::PostEvent(unsigned code, std::uintptr_t reason) const
{
    PostEvent(code, reason, *this);
}

void ElementRef::PostEvent(unsigned code, std::uintptr_t reason, const ElementRef& source) const
{
    if (handle_)
        handle_->PostEvent(code, reason, source.IsValid() ? source.handle_ : handle_);
}

void ElementRef::ScrollToView(bool toTop, bool smooth) const
{
    if (handle_)
        handle_->ScrollToView(toTop, smooth);
}

bool ElementRef::IsVisible() const
{
    return handle_ && handle_->IsVisible();
}

std::wstring ElementRef::GetStyleAttribute(const char* name) const
{
    return handle_ ? automation::FromUtf8(handle_->StyleAttribute(name)) : std::wstring();
}

void ElementRef::SetStyleAttribute(const char* name, const wchar_t* value) const
{
    if (handle_)
        handle_->SetStyleAttribute(name, value ? automation::ToUtf8(value) : std::string());
}

void ElementRef::Sort(int first, int last, const Comparator& compare) const
{
    if (!handle_)
        return;
    handle_->Sort(first, last, [&](html::Element* a, html::Element* b) {
        return compare(ElementRef(a), ElementRef(b));
    });
}

std::wstring ElementRef::GetInnerText() const
{
    return handle_ ? automation::FromUtf8(handle_->InnerText()) : std::wstring();
}

void ElementRef::SetText(const wchar_t* text) const
{
    if (handle_ && text)
        handle_->SetInnerText(automation::ToUtf8(text));
}

void ElementRef::SetHtml(const std::string& utf8) const
{
    if (!handle_)
        return;
    std::string_view markup(utf8);
    if (markup.starts_with("\xEF\xBB\xBF"))
        markup.remove_prefix(3);
    handle_->SetInnerHtml(markup);
}

std::wstring ElementRef::CombineUrl(const std::wstring& url) const
{
    html::View* v = GetHwnd();
    return v ? v->CombineUrl(url) : url;
}

void ElementRef::SetCapture() const
{
    if (html::View* v = GetHwnd())
        v->SetCapture(handle_);
}

void ElementRef::ReleaseCapture() const
{
    if (html::View* v = GetHwnd())
        v->ReleaseCapture();
}

}  // namespace htmlui
