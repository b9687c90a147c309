// Host windows: notifications, "res:" loading and hosted controls.
#include "htmlui/html_host_window.h"

#include <QCalendarWidget>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <cstring>
#include <strings.h>

#include "platform/automation/wide_text.h"

namespace htmlui {

namespace {

struct StyleName {
    const char* name;
    unsigned bits;
};

// The classic window-style names and values, matched against attributes.
constexpr StyleName kWindowStyles[] = {
    {"OVERLAPPED", 0x00000000},   {"POPUP", 0x80000000},       {"CHILD", 0x40000000},
    {"VISIBLE", 0x10000000},      {"DISABLED", 0x08000000},    {"CLIPSIBLINGS", 0x04000000},
    {"CLIPCHILDREN", 0x02000000}, {"MINIMIZE", 0x20000000},    {"MAXIMIZE", 0x01000000},
    {"CAPTION", 0x00C00000},      {"BORDER", 0x00800000},      {"DLGFRAME", 0x00400000},
    {"VSCROLL", 0x00200000},      {"HSCROLL", 0x00100000},     {"SYSMENU", 0x00080000},
    {"THICKFRAME", 0x00040000},   {"GROUP", 0x00020000},       {"TABSTOP", 0x00010000},
    {"MINIMIZEBOX", 0x00020000},  {"MAXIMIZEBOX", 0x00010000},
};
constexpr StyleName kDateTimeStyles[] = {
    {"UPDOWN", 0x1},         {"SHOWNONE", 0x2},   {"SHORTDATEFORMAT", 0x0},
    {"LONGDATEFORMAT", 0x4}, {"SHORTDATECENTURYFORMAT", 0xC}, {"TIMEFORMAT", 0x9},
    {"APPCANPARSE", 0x10},   {"RIGHTALIGN", 0x20},
};
constexpr StyleName kCalendarStyles[] = {
    {"DAYSTATE", 0x1}, {"MULTISELECT", 0x2}, {"WEEKNUMBERS", 0x4},
    {"NOTODAYCIRCLE", 0x8}, {"NOTODAY", 0x10},
};
constexpr StyleName kExStyles[] = {
    {"DLGMODALFRAME", 0x1},     {"NOPARENTNOTIFY", 0x4},  {"TOPMOST", 0x8},
    {"ACCEPTFILES", 0x10},      {"TRANSPARENT", 0x20},    {"MDICHILD", 0x40},
    {"TOOLWINDOW", 0x80},       {"WINDOWEDGE", 0x100},    {"CLIENTEDGE", 0x200},
    {"CONTEXTHELP", 0x400},     {"RIGHT", 0x1000},        {"LEFT", 0x0},
    {"RTLREADING", 0x2000},     {"LTRREADING", 0x0},      {"LEFTSCROLLBAR", 0x4000},
    {"RIGHTSCROLLBAR", 0x0},    {"CONTROLPARENT", 0x10000}, {"STATICEDGE", 0x20000},
    {"APPWINDOW", 0x40000},     {"LAYERED", 0x80000},     {"NOACTIVATE", 0x8000000},
    {"COMPOSITED", 0x2000000},
};

constexpr unsigned kDefaultControlStyle = 0x56010000;  // child, visible, clipping, tab stop
constexpr unsigned kDisabledStyle = 0x08000000;

template <std::size_t N>
unsigned BitsFromAttributes(const ElementRef& element, const StyleName (&names)[N])
{
    unsigned bits = 0;
    const unsigned count = element.GetAttributeCount();
    for (unsigned i = 0; i < count; ++i) {
        const std::string attr = element.GetAttributeName(i);
        for (const auto& n : names)
            if (strcasecmp(attr.c_str(), n.name) == 0)
                bits |= n.bits;
    }
    return bits;
}

// What the style bits mean for a Qt widget.
void ApplyStyle(QWidget* w, const HtmlHostWindow::ControlStyle& s)
{
    w->setProperty("windowStyle", s.style);
    w->setProperty("classStyle", s.classStyle);
    w->setProperty("exStyle", s.exStyle);
    w->setProperty("controlId", s.id);
    w->setEnabled(!(s.style & kDisabledStyle));
}

}  // namespace

HtmlHostWindow::HtmlHostWindow(QWidget* parent, unsigned handlerFlags)
    : html::View(parent), Behavior(handlerFlags)
{
    ResourceModule program;  // makes sure the program's pages are registered
}

HtmlHostWindow::~HtmlHostWindow()
{
    SetCallback(nullptr, nullptr);
    DetachEventHandler(DispatchElementEvent, static_cast<Behavior*>(this));
}

bool HtmlHostWindow::OnCreate(int pageId)
{
    SetCallback(NotifyTrampoline, this);
    AttachEventHandler(DispatchElementEvent, static_cast<Behavior*>(this), Subscriptions());
    return pageId < 0 || LoadHtmlResource(pageId);
}

void HtmlHostWindow::SetMediaType(html::View* view)
{
    // The desktop gives Qt programs no high-contrast switch to ask, so the
    // pages always get the screen media type.
    view->SetMediaType("screen");
}

bool HtmlHostWindow::LoadHtmlResource(int id, const ResourceModule* module)
{
    return LoadHtmlResource(std::to_wstring(id), module);
}

bool HtmlHostWindow::LoadHtmlResource(const std::wstring& name, const ResourceModule* module)
{
    SetMediaType(this);
    const ResourceModule program;
    const auto data = (module ? module : &program)->Find(name, kHtmlResourceType);
    if (!data || data->isEmpty())
        return false;
    return LoadHtml(*data);
}

bool HtmlHostWindow::LoadFile(const std::wstring& path)
{
    SetMediaType(this);
    return View::LoadFile(path);
}

ElementRef HtmlHostWindow::GetRootElement() const
{
    return ElementRef(Root());
}

int HtmlHostWindow::NotifyTrampoline(unsigned message, std::uintptr_t wParam,
                                     html::NotificationHeader* block, void* handler)
{
    return static_cast<HtmlHostWindow*>(handler)->OnNotify(message, wParam, block);
}

int HtmlHostWindow::OnNotify(unsigned message, std::uintptr_t wParam,
                             html::NotificationHeader* block)
{
    switch (block->code) {
    case html::kCreateControl:
        return OnCreateControlRequest(reinterpret_cast<html::CreateControlParams*>(block));
    case html::kLoadData: return OnLoadData(reinterpret_cast<html::LoadDataParams*>(block));
    case html::kControlCreated:
        return OnControlCreated(reinterpret_cast<html::ControlParams*>(block));
    case html::kDataLoaded: return OnDataLoaded(reinterpret_cast<html::DataLoadedParams*>(block));
    case html::kDocumentComplete: return OnDocumentComplete(block);
    case html::kDestroyControl:
        return OnControlDestroyed(reinterpret_cast<html::ControlParams*>(block));
    case html::kAttachBehavior:
        return OnAttachBehavior(reinterpret_cast<html::AttachBehaviorParams*>(block));
    case 0xB08:
    case 0xB09:
    case 0xB0A:
    case 0xB0F: return 0;
    default: return ForwardNotification(message, wParam, block);
    }
}

int HtmlHostWindow::ForwardNotification(unsigned message, std::uintptr_t wParam,
                                        html::NotificationHeader* block)
{
    auto* sink = dynamic_cast<html::NotificationSink*>(parentWidget());
    return sink ? sink->HandleNotification(message, wParam, block) : 0;
}

int HtmlHostWindow::OnCreateControlRequest(html::CreateControlParams* params)
{
    return OnCreateControl(params);
}

int HtmlHostWindow::OnControlCreated(html::ControlParams*)
{
    return 0;
}

int HtmlHostWindow::OnControlDestroyed(html::ControlParams*)
{
    return 0;
}

int HtmlHostWindow::OnDataLoaded(html::DataLoadedParams*)
{
    return 0;
}

int HtmlHostWindow::OnDocumentComplete(html::NotificationHeader*)
{
    return 0;
}

int HtmlHostWindow::OnAttachBehavior(html::AttachBehaviorParams* params)
{
    AttachBehavior(params);
    return 0;
}

int HtmlHostWindow::OnLoadData(html::LoadDataParams* params)
{
    std::wstring address = params->uri;
    if (address.empty())
        return 1;
    if (address.starts_with(L"res:"))
        address.erase(0, 4);
    if (address.size() > kMaxResourcePath - 1)
        address.resize(kMaxResourcePath - 1);
    std::wstring name = address;
    std::unique_ptr<ResourceModule> dataModule;
    const auto slash = address.find_last_of(L'/');
    if (slash != std::wstring::npos) {
        const QString modulePath = QString::fromStdWString(address.substr(0, slash));
        name = address.substr(slash + 1);
        const QFileInfo info(modulePath);
        if (info.exists() && !info.isDir()) {
            dataModule = std::make_unique<ResourceModule>(modulePath);
            if (!dataModule->IsLoaded())
                dataModule.reset();
        }
    }
    std::wstring type = kHtmlResourceType;
    const auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) {
        std::wstring ext = name.substr(dot + 1);
        name.resize(dot);
        if (QString::fromStdWString(ext).compare("html", Qt::CaseInsensitive) != 0)
            type = ext;
    }
    const ResourceModule program;
    const auto data = (dataModule ? dataModule.get() : &program)->Find(name, type);
    if (!data)
        return 0;
    if (data->isEmpty())
        return 1;
    std::wstring served = params->uri;
    if (served.starts_with(L"res:"))
        served.erase(0, 4);
    params->header.view->DataReady(served, reinterpret_cast<const unsigned char*>(data->constData()),
                                   std::size_t(data->size()));
    return 0;
}

HtmlHostWindow::ControlStyle HtmlHostWindow::StyleFromAttributes(const ElementRef& element,
                                                                  ControlClass kind)
{
    ControlStyle s{};
    s.style = kDefaultControlStyle | BitsFromAttributes(element, kWindowStyles);
    if (kind == ControlClass::kDateTimePicker)
        s.classStyle = BitsFromAttributes(element, kDateTimeStyles);
    else if (kind == ControlClass::kMonthCalendar)
        s.classStyle = BitsFromAttributes(element, kCalendarStyles);
    s.exStyle = BitsFromAttributes(element, kExStyles);
    const std::wstring id = element.GetAttribute("id").value_or(L"");
    s.id = id.empty() ? 0 : int(std::wcstol(id.c_str(), nullptr, 10));
    return s;
}

int HtmlHostWindow::OnCreateControl(html::CreateControlParams* params)
{
    const ElementRef element(params->element);
    const std::wstring type = element.GetAttribute("type").value_or(L"");
    if (type == L"sys-datetime")
        return CreateDateTimePicker(params);
    if (type == L"sys-calendar")
        return CreateMonthCalendar(params);
    if (element.GetTag() == "iframe")
        return CreateChildView(params);
    return 0;
}

int HtmlHostWindow::CreateDateTimePicker(html::CreateControlParams* params)
{
    const ControlStyle s =
        StyleFromAttributes(ElementRef(params->element), ControlClass::kDateTimePicker);
    auto* picker = new QDateTimeEdit(params->parent);
    const unsigned format = s.classStyle & 0xC;
    if ((s.classStyle & 0x9) == 0x9)
        picker->setDisplayFormat("h:mm:ss AP");
    else if (format == 0x4)
        picker->setDisplayFormat("dddd, MMMM d, yyyy");
    else if (format == 0xC)
        picker->setDisplayFormat("M/d/yyyy");
    else
        picker->setDisplayFormat("M/d/yy");
    picker->setCalendarPopup(!(s.classStyle & 0x1));
    picker->setAlignment((s.classStyle & 0x20) ? Qt::AlignRight : Qt::AlignLeft);
    picker->resize(0, 0);
    ApplyStyle(picker, s);
    params->control = picker;
    return 0;
}

int HtmlHostWindow::CreateMonthCalendar(html::CreateControlParams* params)
{
    const ControlStyle s =
        StyleFromAttributes(ElementRef(params->element), ControlClass::kMonthCalendar);
    auto* calendar = new QCalendarWidget(params->parent);
    calendar->setVerticalHeaderFormat((s.classStyle & 0x4) ? QCalendarWidget::ISOWeekNumbers
                                                           : QCalendarWidget::NoVerticalHeader);
    calendar->resize(0, 0);
    ApplyStyle(calendar, s);
    params->control = calendar;
    return 0;
}

int HtmlHostWindow::CreateChildView(html::CreateControlParams* params)
{
    const ElementRef element(params->element);
    const ControlStyle s = StyleFromAttributes(element, ControlClass::kChildView);
    auto* child = new html::View(params->parent);
    ApplyStyle(child, s);
    child->SetControlId(s.id);
    // The child shares this handler, so its "res:" loads, behaviours and
    // controls work as in the host.
    child->SetCallback(NotifyTrampoline, this);
    child->LoadHtml(
        "<html><body leftmargin=1 topmargin=1 rightmargin=1 bottommargin=1>&nbsp;</body></html>");
    if (const auto src = element.GetAttribute("src")) {
        const std::wstring address = element.CombineUrl(src->substr(0, 2047));
        SetMediaType(child);
        child->LoadFile(address);
    }
    params->control = child;
    return 0;
}

}  // namespace htmlui
