// HtmlHostWindow: the common part of the program's HTML windows. It connects
// its view to the engine's notifications and a window-level event handler,
// loads its page from the resources, serves "res:" addresses, attaches the
// registered behaviours and creates the native controls a page asks for.
#pragma once

#include <QWidget>
#include <string>

#include "htmlui/behavior.h"
#include "htmlui/element_ref.h"
#include "htmlui/resource_module.h"
#include "platform/html/view.h"

namespace htmlui {

// The resource type of HTML pages and style sheets.
constexpr const wchar_t* kHtmlResourceType = L"HTML";
// The longest address (in characters) a "res:" lookup looks at.
constexpr std::size_t kMaxResourcePath = 260;

class HtmlHostWindow : public html::View, public Behavior {
    Q_OBJECT
public:
    // `handlerFlags`: the event groups of the window-level handler.
    HtmlHostWindow(QWidget* parent, unsigned handlerFlags);
    ~HtmlHostWindow() override;

    // The window creation step: connect to the engine, then load the page
    // resource `pageId` (none when negative).
    bool OnCreate(int pageId);

    bool LoadHtmlResource(int id, const ResourceModule* module = nullptr);
    bool LoadHtmlResource(const std::wstring& name, const ResourceModule* module = nullptr);
    bool LoadFile(const std::wstring& path);
    ElementRef GetRootElement() const;

    // The notification handler's slots.
    virtual int OnNotify(unsigned message, std::uintptr_t wParam, html::NotificationHeader* block);
    virtual int ForwardNotification(unsigned message, std::uintptr_t wParam,
                                    html::NotificationHeader* block);
    virtual int OnCreateControlRequest(html::CreateControlParams* params);
    virtual int OnControlCreated(html::ControlParams* params);
    virtual int OnControlDestroyed(html::ControlParams* params);
    virtual int OnLoadData(html::LoadDataParams* params);
    virtual int OnDataLoaded(html::DataLoadedParams* params);
    virtual int OnDocumentComplete(html::NotificationHeader* block);
    virtual int OnAttachBehavior(html::AttachBehaviorParams* params);
    virtual int OnCreateControl(html::CreateControlParams* params);
    virtual int CreateChildView(html::CreateControlParams* params);
    virtual int CreateDateTimePicker(html::CreateControlParams* params);
    virtual int CreateMonthCalendar(html::CreateControlParams* params);

    // The engine's callback: hands the notification to the handler's OnNotify.
    static int NotifyTrampoline(unsigned message, std::uintptr_t wParam,
                                html::NotificationHeader* block, void* handler);

    // The style bits a control gets from its element's attributes.
    struct ControlStyle {
        unsigned style;
        unsigned classStyle;
        unsigned exStyle;
        int id;
    };
    enum class ControlClass { kDateTimePicker, kMonthCalendar, kChildView };
    static ControlStyle StyleFromAttributes(const ElementRef& element, ControlClass kind);

private:
    static void SetMediaType(html::View* view);
};

}  // namespace htmlui
