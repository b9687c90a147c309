// The widget that shows one HTML document: it owns the element tree, lays it
// out through litehtml, paints it with QPainter, turns Qt input into element
// events, shows popups and hosts native controls over their elements.
#pragma once

#include <QAbstractScrollArea>
#include <QMenu>
#include <QByteArray>
#include <QPointer>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/html/element.h"
#include "platform/html/events.h"

namespace html {

class Layout;
class PopupWindow;
struct StyleSheetSource;

// Notifications the view sends to its callback.
enum NotificationCode : unsigned {
    kCreateControl = 0xB00,
    kLoadData = 0xB01,
    kControlCreated = 0xB02,
    kDataLoaded = 0xB03,
    kDocumentComplete = 0xB04,
    kUpdateUi = 0xB05,
    kDestroyControl = 0xB06,
    kAttachBehavior = 0xB07,
};
// The message number the notifications travel under.
constexpr unsigned kNotifyMessage = 0x4E;

struct NotificationHeader {
    View* view;
    int id;  // the view's control id
    unsigned code;
};

// Answer by calling View::DataReady with the same address while handling it.
// Result 0 lets the view go on (and load the address itself when nobody
// answered), 1 discards the request.
struct LoadDataParams {
    NotificationHeader header;
    std::wstring uri;
    Element* principal;  // the element that asked, when known
};

struct DataLoadedParams {
    NotificationHeader header;
    std::wstring uri;
    const unsigned char* data;
    std::size_t size;
};

// Filled by the handler: the procedure, tag and groups to attach.
struct AttachBehaviorParams {
    NotificationHeader header;
    Element* element;
    const char* behaviorName;
    ElementEventProc elementProc;
    void* elementTag;
    unsigned eventGroups;
};

// The handler creates a child widget of `parent` and stores it in `control`,
// or sets `failed` when it could not.
struct CreateControlParams {
    NotificationHeader header;
    Element* element;
    QWidget* parent;
    QWidget* control;
    bool failed;
};

struct ControlParams {
    NotificationHeader header;
    Element* element;
    QWidget* control;
};

using NotifyProc = int (*)(unsigned message, std::uintptr_t wParam, NotificationHeader* block,
                           void* param);

// A window that receives notifications it does not handle itself from a
// child view (Qt has no parent message chain, so parents opt in).
class NotificationSink {
public:
    virtual ~NotificationSink() = default;
    virtual int HandleNotification(unsigned message, std::uintptr_t wParam,
                                   NotificationHeader* block) = 0;
};

class View : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit View(QWidget* parent = nullptr);
    ~View() override;

    void SetCallback(NotifyProc proc, void* param);
    // Window-level handlers see every event after the root (and before it
    // in the sinking phase).
    void AttachEventHandler(ElementEventProc proc, void* tag, unsigned groups);
    void DetachEventHandler(ElementEventProc proc, void* tag);

    // "screen" (the default), "contrast-screen" or "print", for @media rules.
    void SetMediaType(const std::string& media);
    const std::string& MediaType() const { return media_; }
    // Replaces the document; false when the markup is empty.
    bool LoadHtml(const QByteArray& html, const std::wstring& baseUrl = {});
    // Loads a page by address (a file path, file: or res: address).
    bool LoadFile(const std::wstring& address);
    // The answer to a load-data notification being handled.
    void DataReady(const std::wstring& uri, const unsigned char* data, std::size_t size);

    Element* Root() const { return root_.get(); }
    const std::wstring& BaseUrl() const { return baseUrl_; }
    // `relative` resolved against `base` (or the document's address).
    std::wstring CombineUrl(const std::wstring& relative, const std::wstring& base = {}) const;

    void SetControlId(int id) { controlId_ = id; }
    int ControlId() const { return controlId_; }

    // A synchronous window message (the owner overrides OnMessage).
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    void SetCapture(Element* e);
    void ReleaseCapture();
    Element* Capture() const { return capture_.get(); }
    void SetFocusElement(Element* e, bool byMouse = false);
    Element* FocusElement() const { return focus_.get(); }

    bool ShowPopup(Element* popup, Element* anchor, unsigned placement);
    bool HidePopup(Element* popup);
    // The top-level popup window showing `popup`, if any.
    QWidget* PopupWidget(Element* popup) const;

    // Shows the context menu the style sheet gives `target` (the property
    // "context-menu: selector(...)"); choosing an item sends a menu-item
    // click from the item, with `target` as its source. Null when none.
    QMenu* ShowContextMenu(Element* target, QPoint globalPos);

    // Element at a point in widget coordinates (popups not included).
    Element* ElementAt(QPoint viewPoint);
    QPoint ScrollOffset() const;
    // The widget hosted over an element, if any.
    QWidget* HostedControl(Element* e) const;

    // Services of the elements. `changed` had its children, runtime style or
    // (named) attribute changed; null when anything may have.
    void TreeChanged(Element* changed = nullptr, std::string_view attribute = {});
    // The element children of `parent` were reordered (nothing else changed).
    void ChildrenReordered(Element* parent);
    void StateChanged(Element* e, unsigned oldState, bool update);
    void ElementRemoved(Element* e);
    std::string ComputedStyle(Element* e, const std::string& name);
    QRect Location(Element* e, unsigned areas);
    bool IsVisible(Element* e);
    void ScrollToView(Element* e, bool toTop, bool smooth);
    void Update(bool renderNow);
    void PostEvent(Element* target, unsigned code, std::uintptr_t reason, Element* source);
    bool SendEvent(Element* target, unsigned code, std::uintptr_t reason, Element* source);

    // Loads an address through the callback or by the view's own means.
    QByteArray LoadData(const std::string& utf8Url, Element* principal = nullptr);
    // Lays the document out now when anything changed.
    void EnsureLayout();
    // Mouse input at a point of some layout, in document coordinates of the
    // main document; used by popups too.
    void DispatchMouse(Element* target, unsigned cmd, QPoint docPoint, unsigned buttons,
                       unsigned alt);
    int LayoutCount() const { return layoutCount_; }

protected:
    virtual std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam,
                                    std::intptr_t lParam);
    int Notify(NotificationHeader* block);

    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    friend class PopupWindow;
    struct Popup {
        ElementPtr element;
        ElementPtr anchor;
        QPointer<PopupWindow> window;
        std::unique_ptr<Layout> layout;
    };
    struct WindowHandler {
        ElementEventProc proc;
        void* tag;
        unsigned groups;
    };

    void Rebuild();
    // Lays out again only the parts of the page that changed; false when the
    // whole page has to be built again.
    bool Patch();
    // `wholePage` when `elements` are those of a whole build, in the layout's order.
    void AfterLayoutBuilt(const std::vector<Element*>& elements, bool wholePage);
    void RebuildPopups(const std::vector<StyleSheetSource>& sheets);
    void AttachBehaviors(const std::vector<Element*>& elements, bool wholePage);
    void RequestControls(const std::vector<Element*>& elements);
    void PlaceControls();
    void UpdateScrollBars();
    void ApplyIncludes(Element* root);
    // The page's style elements, in document order.
    // The page's style sheets, and the elements that bring them.
    std::vector<StyleSheetSource> StyleSheets(std::vector<ElementPtr>& elements);
    // The style sheets the page's layout was built with: read from the page
    // by each whole build, and still those while only parts are built again
    // (a change that touches a style sheet builds the whole page).
    const std::vector<StyleSheetSource>& LayoutSheets();
    Layout* LayoutOf(Element* e);
    QPoint LayoutOrigin(Layout* layout) const;
    int Dispatch(Element* target, unsigned group, unsigned cmd, void* params,
                 const std::function<void(Element*, unsigned)>& prepare);
    void SetHover(Element* e);
    Element* ContextMenuOf(Element* e);
    void ClosePopupWindow(PopupWindow* w);
    unsigned AltState() const;
    bool HandleMouseEvent(QMouseEvent* e, unsigned cmd);

    ElementPtr root_;
    std::unique_ptr<Layout> layout_;
    std::vector<Popup> popups_;
    std::vector<Popup> retired_;  // hidden, freed when the view is next idle
    bool treeDirty_ = false;
    // The elements changed since the layout was built, with the attribute
    // changed (empty for children or style); the whole page when `allDirty_`.
    std::vector<std::pair<ElementPtr, std::string>> changed_;
    bool allDirty_ = false;
    std::vector<StyleSheetSource> sheets_;
    std::vector<ElementPtr> sheetElements_;
    bool sheetsKnown_ = false;
    bool stylesDirty_ = false;
    // The elements whose states changed since the styles were last refreshed,
    // with the state bits that changed.
    std::vector<std::pair<ElementPtr, unsigned>> restyle_;
    bool renderDirty_ = false;
    bool building_ = false;
    bool updateQueued_ = false;
    int layoutCount_ = 0;

    NotifyProc callback_ = nullptr;
    void* callbackParam_ = nullptr;
    std::vector<WindowHandler> windowHandlers_;
    int controlId_ = 0;
    std::string media_ = "screen";
    std::wstring baseUrl_;
    std::map<std::string, QByteArray> cache_;
    // The answer given through DataReady while a load notification runs.
    QByteArray pendingData_;
    bool pendingAnswered_ = false;

    ElementPtr capture_;
    ElementPtr focus_;
    ElementPtr hover_;
    std::map<Element*, std::pair<ElementPtr, QPointer<QWidget>>> controls_;
};

}  // namespace html
