// The document view: rebuilding the layout from the element tree, input,
// event dispatch, popups and hosted controls.
#include "platform/html/view.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

#include "platform/html/html_parser.h"
#include "platform/html/layout.h"

namespace html {

// A top-level popup window showing one element of its view's document. A popup
// taller than the height its element allows scrolls its content.
class PopupWindow : public QWidget {
public:
    PopupWindow(View* view, Element* element, Layout* layout)
        : QWidget(view, Qt::Popup), view_(view), element_(element), layout_(layout)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setMouseTracking(true);
    }
    Element* element() const { return element_.get(); }
    void Forget() { view_ = nullptr; }

    // Shows `visibleHeight` of a content `contentHeight` high, with a scroll bar
    // when it does not fit.
    void SetContentHeight(int contentHeight, int visibleHeight, int contentWidth)
    {
        maxScroll_ = std::max(0, contentHeight - visibleHeight);
        scroll_ = std::min(scroll_, maxScroll_);
        if (maxScroll_ > 0 && !bar_) {
            bar_ = new QScrollBar(Qt::Vertical, this);
            connect(bar_, &QScrollBar::valueChanged, this, [this](int v) {
                scroll_ = v;
                update();
            });
        }
        contentWidth_ = contentWidth;
        int width = contentWidth;
        if (bar_) {
            bar_->setVisible(maxScroll_ > 0);
            bar_->setRange(0, maxScroll_);
            bar_->setPageStep(visibleHeight);
            bar_->setSingleStep(20);
            if (maxScroll_ > 0)
                width += bar_->sizeHint().width();
        }
        resize(width, visibleHeight);
        if (bar_)
            bar_->setGeometry(contentWidth, 0, width - contentWidth, visibleHeight);
    }
    int ScrollY() const { return scroll_; }
    int ContentWidth() const { return contentWidth_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (view_)
            layout_->Draw(&p, QPoint(0, -scroll_), rect());
    }
    void mousePressEvent(QMouseEvent* e) override { Forward(e, kMouseDown); }
    void mouseReleaseEvent(QMouseEvent* e) override { Forward(e, kMouseUp); }
    void mouseDoubleClickEvent(QMouseEvent* e) override { Forward(e, kMouseDoubleClick); }
    void wheelEvent(QWheelEvent* e) override
    {
        if (bar_ && maxScroll_ > 0)
            bar_->setValue(bar_->value() - e->angleDelta().y() / 120 * 3 * bar_->singleStep());
        e->accept();
    }
    void closeEvent(QCloseEvent* e) override
    {
        if (view_)
            view_->ClosePopupWindow(this);
        QWidget::closeEvent(e);
    }

private:
    void Forward(QMouseEvent* e, unsigned cmd)
    {
        if (!view_)
            return;
        QPointer<PopupWindow> alive(this);
        view_->EnsureLayout();
        if (!alive || !view_)
            return;
        const QPoint local = e->position().toPoint();
        if (!rect().contains(local)) {
            close();
            return;
        }
        ElementPtr target = layout_->ElementAt(local + QPoint(0, scroll_));
        if (!target)
            target = element_;
        const QPoint doc = local + view_->LayoutOrigin(layout_);
        unsigned buttons = 0;
        if (e->button() == Qt::LeftButton)
            buttons = kMainButton;
        else if (e->button() == Qt::RightButton)
            buttons = kPropButton;
        view_->DispatchMouse(target.get(), cmd, doc, buttons, view_->AltState());
        if (alive)
            e->accept();
    }

    View* view_;
    ElementPtr element_;
    Layout* layout_;
    QScrollBar* bar_ = nullptr;
    int scroll_ = 0;
    int maxScroll_ = 0;
    int contentWidth_ = 0;
};

namespace {

// The elements below `root` (not itself) with one of `tags`, in document
// order: a plain walk, cheaper on big pages than matching a selector.
void CollectByTag(const Element* root, std::initializer_list<std::string_view> tags,
                  std::vector<Element*>& out)
{
    for (const auto& n : root->Nodes()) {
        if (n->IsText())
            continue;
        for (std::string_view t : tags)
            if (n->Tag() == t) {
                out.push_back(n.get());
                break;
            }
        CollectByTag(n.get(), tags, out);
    }
}

// A CSS length in pixels ("400px" or "400"); 0 for anything else.
int PixelLength(const std::string& value)
{
    char* end = nullptr;
    const long n = std::strtol(value.c_str(), &end, 10);
    if (end == value.c_str() || n <= 0)
        return 0;
    const std::string unit(end);
    return unit.empty() || unit == "px" ? int(n) : 0;
}

unsigned QtButtons(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return kMainButton;
    case Qt::RightButton: return kPropButton;
    case Qt::MiddleButton: return kMiddleButton;
    default: return 0;
    }
}

unsigned KeyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Tab: return kVkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Escape: return kVkEscape;
    case Qt::Key_Space: return kVkSpace;
    case Qt::Key_PageUp: return kVkPageUp;
    case Qt::Key_PageDown: return kVkPageDown;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Down: return kVkDown;
    default:
        if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
            return unsigned(qtKey);
        return 0;
    }
}

bool IsFocusable(Element* e)
{
    if (e->Attribute("tabindex") || (e->State() & kStateFocusable))
        return true;
    const std::string& t = e->Tag();
    if (t == "a" || t == "input" || t == "button" || t == "select" || t == "textarea")
        return true;
    for (const auto& h : e->Handlers())
        if (h.groups & kHandleKey)
            return true;
    return false;
}

// The engine's own "button" behaviour: a click on the element (pressed and
// released inside it) becomes a button-click event from the element.
int ButtonProc(void*, Element* e, unsigned group, void* params)
{
    if (group != kHandleMouse)
        return 0;
    auto* mp = static_cast<MouseParams*>(params);
    const unsigned cmd = mp->cmd & ~kHandled;
    View* v = e->GetView();
    if (!v || !(mp->buttonState & kMainButton))
        return 0;
    if (cmd == kMouseDown) {
        e->SetState(kStatePressed, 0, true);
        v->SetCapture(e);
        return 1;
    }
    if (cmd == kMouseUp && (e->State() & kStatePressed)) {
        v->ReleaseCapture();
        e->SetState(0, kStatePressed, true);
        const QRect box = e->Location(kSelfRelative | kBorderBox);
        if (box.contains(mp->pos))
            e->PostEvent(kButtonClick, 0, e);
        return 1;
    }
    return 0;
}

}  // namespace

View::View(QWidget* parent) : QAbstractScrollArea(parent), layout_(std::make_unique<Layout>(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

View::~View()
{
    for (auto& p : popups_)
        if (p.window) {
            p.window->Forget();
            delete p.window.data();
        }
    popups_.clear();
    if (root_)
        root_->view_ = nullptr;
}

void View::SetCallback(NotifyProc proc, void* param)
{
    callback_ = proc;
    callbackParam_ = param;
}

void View::AttachEventHandler(ElementEventProc proc, void* tag, unsigned groups)
{
    windowHandlers_.push_back({proc, tag, groups});
}

void View::DetachEventHandler(ElementEventProc proc, void* tag)
{
    std::erase_if(windowHandlers_,
                  [&](const WindowHandler& h) { return h.proc == proc && h.tag == tag; });
}

void View::SetMediaType(const std::string& media)
{
    media_ = media;
}

int View::Notify(NotificationHeader* block)
{
    block->view = this;
    block->id = controlId_;
    return callback_ ? callback_(kNotifyMessage, 0, block, callbackParam_) : 0;
}

bool View::LoadHtml(const QByteArray& html, const std::wstring& baseUrl)
{
    if (html.isEmpty())
        return false;
    for (auto& p : popups_)
        if (p.window) {
            p.window->Forget();
            p.window->close();
        }
    popups_.clear();
    for (auto& [e, c] : controls_) {
        ControlParams gone{{this, controlId_, kDestroyControl}, e, c.second};
        Notify(&gone.header);
        if (c.second)
            c.second->deleteLater();
    }
    controls_.clear();
    capture_ = focus_ = hover_ = ElementPtr();
    if (root_)
        root_->view_ = nullptr;
    baseUrl_ = baseUrl;
    root_ = ParseDocument(std::string_view(html.constData(), std::size_t(html.size())));
    ApplyIncludes(root_.get());
    root_->view_ = this;
    verticalScrollBar()->setValue(0);
    Rebuild();
    NotificationHeader done{this, controlId_, kDocumentComplete};
    Notify(&done);
    viewport()->update();
    return true;
}

bool View::LoadFile(const std::wstring& address)
{
    const std::string url = QString::fromStdWString(address).toStdString();
    const QByteArray data = LoadData(url);
    if (data.isEmpty())
        return false;
    return LoadHtml(data, address);
}

void View::DataReady(const std::wstring&, const unsigned char* data, std::size_t size)
{
    pendingData_ = QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
    pendingAnswered_ = true;
}

std::wstring View::CombineUrl(const std::wstring& relative, const std::wstring& base) const
{
    const std::wstring& b = base.empty() ? baseUrl_ : base;
    auto hasScheme = [](const std::wstring& s) {
        const auto colon = s.find(L':');
        const auto slash = s.find(L'/');
        return colon != std::wstring::npos && colon > 1 &&
               (slash == std::wstring::npos || colon < slash);
    };
    if (relative.empty() || hasScheme(relative) || relative[0] == L'/' || b.empty())
        return relative;
    const auto cut = b.find_last_of(L'/');
    if (cut != std::wstring::npos)
        return b.substr(0, cut + 1) + relative;
    const auto colon = b.find(L':');
    if (colon != std::wstring::npos && hasScheme(b))
        return b.substr(0, colon + 1) + relative;
    return relative;
}

QByteArray View::LoadData(const std::string& url, Element* principal)
{
    auto cached = cache_.find(url);
    if (cached != cache_.end())
        return cached->second;
    const std::wstring wide = QString::fromStdString(url).toStdWString();
    LoadDataParams params{{this, controlId_, kLoadData}, wide, principal};
    // A handler may load other addresses while it answers this one.
    const bool outerAnswered = std::exchange(pendingAnswered_, false);
    QByteArray outerData = std::exchange(pendingData_, QByteArray());
    const int result = Notify(&params.header);
    const bool answered = std::exchange(pendingAnswered_, outerAnswered);
    QByteArray data = std::exchange(pendingData_, std::move(outerData));
    if (answered) {
        // served by the handler
    } else if (result == 0) {
        // Nobody served it: a file path, a file: address or a Qt resource.
        QString path = QString::fromStdString(url);
        if (path.startsWith("file:"))
            path = QUrl(path).toLocalFile();
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            data = f.readAll();
    }
    if (!data.isEmpty()) {
        DataLoadedParams loaded{{this, controlId_, kDataLoaded}, wide,
                                reinterpret_cast<const unsigned char*>(data.constData()),
                                std::size_t(data.size())};
        Notify(&loaded.header);
    }
    cache_[url] = data;
    return data;
}

void View::ApplyIncludes(Element* root)
{
    std::vector<Element*> includes;
    CollectByTag(root, {"include"}, includes);
    for (Element* inc : includes) {
        const std::string* src = inc->Attribute("src");
        if (!src)
            continue;
        const std::string url =
            QString::fromStdWString(CombineUrl(QString::fromStdString(*src).toStdWString()))
                .toStdString();
        const QByteArray data = LoadData(url);
        inc->SetInnerHtml(std::string_view(data.constData(), std::size_t(data.size())));
        // The included nodes take the place of the include element.
        Element* parent = inc->Parent();
        std::vector<ElementPtr> nodes = inc->TakeNodes();
        std::vector<ElementPtr> siblings = parent->TakeNodes();
        for (auto& s : siblings) {
            if (s.get() == inc)
                for (auto& n : nodes)
                    parent->AppendNode(n);
            else
                parent->AppendNode(s);
        }
    }
}

std::intptr_t View::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return OnMessage(message, wParam, lParam);
}

std::intptr_t View::OnMessage(unsigned, std::uintptr_t, std::intptr_t)
{
    return 0;
}

// ---- layout -------------------------------------------------------------

void View::TreeChanged(Element* changed, std::string_view attribute)
{
    // Past a few thousand separate changes building the page again is cheaper.
    if (!changed || changed == root_.get() || changed_.size() > 4096) {
        allDirty_ = true;
        changed_.clear();
    } else if (!allDirty_) {
        changed_.emplace_back(changed, std::string(attribute));
    }
    treeDirty_ = true;
    if (!updateQueued_) {
        updateQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            updateQueued_ = false;
            if (treeDirty_ || stylesDirty_)
                viewport()->update();
        });
    }
}

void View::ChildrenReordered(Element* parent)
{
    bool inPopup = false;
    for (auto& p : popups_)
        inPopup |= p.element->IsAncestorOrSelf(parent) || parent->IsAncestorOrSelf(p.element.get());
    if (treeDirty_ || inPopup || !layout_->Reorder(parent)) {
        TreeChanged(parent);
        return;
    }
    renderDirty_ = true;
    viewport()->update();
}

void View::StateChanged(Element* e, unsigned oldState, bool)
{
    // Restyling waits for the next paint or the next layout question, so a
    // run of state changes (a whole grid's checks) costs one layout; with or
    // without the caller's update request the view is repainted.
    bool mirrored = layout_->MirrorState(e);
    for (auto& p : popups_)
        mirrored |= p.layout->MirrorState(e);
    if (mirrored) {
        stylesDirty_ = true;
        // Past a few thousand the whole page is restyled.
        if (restyle_.size() < 4096)
            restyle_.emplace_back(e, oldState ^ e->State());
        else
            allDirty_ = treeDirty_ = true;
    }
    viewport()->update();
}

void View::Rebuild()
{
    if (!root_ || building_)
        return;
    building_ = true;
    treeDirty_ = false;
    allDirty_ = false;
    changed_.clear();
    stylesDirty_ = false;
    restyle_.clear();
    renderDirty_ = false;
    sheetsKnown_ = false;
    const std::vector<StyleSheetSource>& sheets = LayoutSheets();
    layout_->Build(root_.get(), sheets, false);
    layout_->Render(viewport()->width());
    ++layoutCount_;
    RebuildPopups(sheets);
    building_ = false;
    AfterLayoutBuilt(layout_->Elements(), true);
}

void View::RebuildPopups(const std::vector<StyleSheetSource>& sheets)
{
    for (auto& p : popups_) {
        p.layout->Build(p.element.get(), sheets, true);
        p.layout->Render(p.window ? std::max(p.window->ContentWidth(), 1) : 300);
        if (p.window)
            p.window->update();
    }
}

void View::AfterLayoutBuilt(const std::vector<Element*>& elements, bool wholePage)
{
    AttachBehaviors(elements, wholePage);
    RequestControls(elements);
    if (treeDirty_) {  // a behaviour or control changed the tree while attaching
        EnsureLayout();
        return;
    }
    UpdateScrollBars();
    PlaceControls();
}

bool View::Patch()
{
    if (!root_ || building_ || allDirty_)
        return false;
    // A change that touches the style sheets restyles everything.
    std::vector<std::pair<Element*, std::string>> changes;
    for (const auto& [e, attribute] : changed_) {
        if (e->GetView() != this)
            continue;  // gone from the page since
        if (e->Tag() == "style" || e->Tag() == "link" || e->Tag() == "head")
            return false;
        std::vector<Element*> sheets;
        CollectByTag(e.get(), {"style", "link"}, sheets);
        if (!sheets.empty())
            return false;
        changes.emplace_back(e.get(), attribute);
    }
    std::vector<Element*> added;
    if (!layout_->Patch(changes, added))
        return false;
    building_ = true;
    treeDirty_ = false;
    changed_.clear();
    renderDirty_ = false;
    layout_->Render(viewport()->width());
    ++layoutCount_;
    // A popup is laid out from its element alone: one that no change reaches but
    // through its states (restyled already) is only laid out again.
    for (auto& p : popups_) {
        const bool reached =
            std::any_of(changes.begin(), changes.end(), [&](const auto& change) {
                return change.second != ":" &&
                       (p.element->IsAncestorOrSelf(change.first) ||
                        change.first->IsAncestorOrSelf(p.element.get()));
            });
        if (reached)
            p.layout->Build(p.element.get(), LayoutSheets(), true);
        p.layout->Render(p.window ? std::max(p.window->ContentWidth(), 1) : 300);
        if (p.window)
            p.window->update();
    }
    building_ = false;
    AfterLayoutBuilt(added, false);
    return true;
}

void View::EnsureLayout()
{
    if (stylesDirty_) {
        // A state that a rule of the page tests restyles its element and what
        // is below it, built again in its new state; popups restyle alone.
        for (const auto& [e, bits] : restyle_) {
            if (e->GetView() != this || !layout_->StateMatters(e.get(), bits))
                continue;
            if (e.get() == root_.get())
                allDirty_ = true;
            else if (!allDirty_)
                changed_.emplace_back(e, ":");
            treeDirty_ = true;
        }
        restyle_.clear();
        stylesDirty_ = false;
        renderDirty_ = true;
        for (auto& p : popups_)
            p.layout->RefreshStyles();
    }
    if (treeDirty_) {
        if (!Patch())
            Rebuild();
        return;
    }
    if (renderDirty_) {
        renderDirty_ = false;
        layout_->Render(viewport()->width());
        for (auto& p : popups_) {
            p.layout->Render(p.window ? std::max(p.window->ContentWidth(), 1) : 300);
            if (p.window)
                p.window->update();
        }
        ++layoutCount_;
        UpdateScrollBars();
        PlaceControls();
    }
}

void View::Update(bool renderNow)
{
    if (renderNow)
        EnsureLayout();
    viewport()->update();
}

void View::AttachBehaviors(const std::vector<Element*>& laidOut, bool wholePage)
{
    // A copy: a behaviour attached on the way may have had the layout rebuilt.
    const std::vector<Element*> elements = laidOut;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        Element* e = elements[i];
        // A behaviour attached on the way may have had the layout rebuilt. The
        // elements of a whole build are the layout's own, in its order.
        const char* value = nullptr;
        if (wholePage) {
            const std::vector<Element*>& now = layout_->Elements();
            value = i < now.size() && now[i] == e ? layout_->StylePropertyAt(i, "behavior")
                                                  : layout_->StylePropertyText(e, "behavior");
        } else {
            value = layout_->StylePropertyText(e, "behavior");
        }
        std::string name = value ? value : "";
        while (!name.empty() && (name.back() == ' ' || name.back() == '"'))
            name.pop_back();
        while (!name.empty() && (name.front() == ' ' || name.front() == '"'))
            name.erase(0, 1);
        std::string& current = e->AttachedBehaviorName();
        if (name == current)
            continue;
        ElementPtr keep(e);
        if (!current.empty()) {
            std::vector<Element::Handler> old;
            for (const auto& h : e->Handlers())
                if (h.behaviorName == current)
                    old.push_back(h);
            for (const auto& h : old) {
                InitializationParams ip{kBehaviorDetach};
                h.proc(h.tag, e, kHandleInitialization, &ip);
                e->DetachHandler(h.proc, h.tag);
            }
        }
        current = name;
        if (name.empty())
            continue;
        AttachBehaviorParams params{{this, controlId_, kAttachBehavior}, e, name.c_str(),
                                    nullptr, nullptr, 0};
        Notify(&params.header);
        if (!params.elementProc && name == "button") {
            params.elementProc = ButtonProc;
            params.eventGroups = kHandleMouse;
        }
        if (!params.elementProc)
            continue;
        e->AttachHandler(params.elementProc, params.elementTag, params.eventGroups, name);
        InitializationParams ip{kBehaviorAttach};
        params.elementProc(params.elementTag, e, kHandleInitialization, &ip);
    }
}

void View::RequestControls(const std::vector<Element*>& laidOut)
{
    for (Element* e : std::vector<Element*>(laidOut)) {
        const std::string& t = e->Tag();
        if (e->ControlRequested() ||
            !(t == "iframe" || t == "widget" || t == "object" || t == "input"))
            continue;
        e->ControlRequested() = true;
        CreateControlParams params{{this, controlId_, kCreateControl}, e, viewport(), nullptr,
                                   false};
        Notify(&params.header);
        if (!params.control || params.failed)
            continue;
        QWidget* w = params.control;
        if (w->parentWidget() != viewport())
            w->setParent(viewport());
        controls_[e] = {ElementPtr(e), QPointer<QWidget>(w)};
        // An element without a size of its own takes the control's.
        const QSize hint = w->sizeHint();
        if (layout_->StyleProperty(e, "width").empty() || layout_->StyleProperty(e, "width") == "auto")
            e->SetStyleAttribute("width", std::to_string(hint.width()) + "px");
        if (layout_->StyleProperty(e, "height").empty() ||
            layout_->StyleProperty(e, "height") == "auto")
            e->SetStyleAttribute("height", std::to_string(hint.height()) + "px");
        w->show();
        ControlParams created{{this, controlId_, kControlCreated}, e, w};
        Notify(&created.header);
    }
}

void View::PlaceControls()
{
    for (auto& [e, c] : controls_) {
        QWidget* w = c.second;
        if (!w)
            continue;
        if (!layout_->IsVisible(e)) {
            w->hide();
            continue;
        }
        QRect r = layout_->Box(e, kBorderBox);
        r.translate(-ScrollOffset());
        w->setGeometry(r);
        w->show();
    }
}

void View::UpdateScrollBars()
{
    const QSize doc = layout_->DocumentSize();
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(viewport()->height());
    v->setSingleStep(20);
    v->setRange(0, std::max(0, doc.height() - viewport()->height()));
}

QPoint View::ScrollOffset() const
{
    return QPoint(0, verticalScrollBar()->value());
}

std::vector<StyleSheetSource> View::StyleSheets(std::vector<ElementPtr>& elements)
{
    std::vector<StyleSheetSource> sheets;
    elements.clear();
    if (!root_)
        return sheets;
    std::vector<Element*> found;
    CollectByTag(root_.get(), {"style", "link"}, found);
    for (Element* e : found) {
        elements.emplace_back(e);
        StyleSheetSource sheet;
        if (e->Tag() == "link") {
            // Only rel="stylesheet" links with an address bring a style sheet.
            const std::string* rel = e->Attribute("rel");
            const std::string* href = e->Attribute("href");
            if (!rel || *rel != "stylesheet" || !href || href->empty())
                continue;
            sheet.href = *href;
            sheet.url = QString::fromStdWString(CombineUrl(QString::fromStdString(*href)
                                                               .toStdWString()))
                            .toStdString();
            sheet.text = LoadData(sheet.url).toStdString();
        } else {
            for (const auto& n : e->Nodes())
                if (n->IsText())
                    sheet.text += n->Text();
        }
        if (const std::string* media = e->Attribute("media"))
            sheet.media = *media;
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

const std::vector<StyleSheetSource>& View::LayoutSheets()
{
    if (!sheetsKnown_) {
        sheets_ = StyleSheets(sheetElements_);
        sheetsKnown_ = true;
    }
    return sheets_;
}

Layout* View::LayoutOf(Element* e)
{
    for (auto& p : popups_)
        if (p.element->IsAncestorOrSelf(e) && p.layout->Contains(e))
            return p.layout.get();
    return layout_.get();
}

QPoint View::LayoutOrigin(Layout* layout) const
{
    for (const auto& p : popups_)
        if (p.layout.get() == layout && p.window)
            return viewport()->mapFromGlobal(p.window->mapToGlobal(QPoint(0, 0))) +
                   ScrollOffset() - QPoint(0, p.window->ScrollY());
    return QPoint(0, 0);
}

std::string View::ComputedStyle(Element* e, const std::string& name)
{
    EnsureLayout();
    return LayoutOf(e)->StyleProperty(e, name);
}

QRect View::Location(Element* e, unsigned areas)
{
    EnsureLayout();
    Layout* layout = LayoutOf(e);
    if ((areas & 0xF0) == kScrollableArea) {
        QRect r = layout->Box(e, kPaddingBox).translated(LayoutOrigin(layout));
        if (layout == layout_.get())
            r &= QRect(ScrollOffset(), viewport()->size());
        if ((areas & 0x0F) == kViewRelative)
            r.translate(-ScrollOffset());
        return r;
    }
    QRect r = layout->Box(e, areas & 0xF0);
    const QRect border = layout->Box(e, kBorderBox);
    switch (areas & 0x0F) {
    case kSelfRelative: return r.translated(-border.topLeft());
    case kContainerRelative:
        if (Element* p = e->Parent())
            return r.translated(-layout->Box(p, kContentBox).topLeft());
        return r;
    case kViewRelative: return r.translated(LayoutOrigin(layout) - ScrollOffset());
    default: return r.translated(LayoutOrigin(layout));
    }
}

bool View::IsVisible(Element* e)
{
    EnsureLayout();
    return LayoutOf(e)->IsVisible(e);
}

void View::ScrollToView(Element* e, bool toTop, bool)
{
    EnsureLayout();
    if (LayoutOf(e) != layout_.get())
        return;
    const QRect r = layout_->Box(e, kBorderBox);
    QScrollBar* bar = verticalScrollBar();
    const int top = bar->value();
    const int height = viewport()->height();
    if (toTop || r.top() < top)
        bar->setValue(r.top());
    else if (r.bottom() >= top + height)
        bar->setValue(std::min(r.top(), r.bottom() + 1 - height));
}

void View::ElementRemoved(Element* e)
{
    // A style sheet the page is styled with, taken out of it, restyles all of it. (One put
    // in since is found among the changes by the next layout, or was never used.)
    if (sheetsKnown_ && !e->IsText() &&
        std::any_of(sheetElements_.begin(), sheetElements_.end(),
                    [&](const ElementPtr& sheet) { return e->IsAncestorOrSelf(sheet.get()); })) {
        allDirty_ = treeDirty_ = true;
        changed_.clear();
    }
    auto inside = [&](const ElementPtr& p) { return p && e->IsAncestorOrSelf(p.get()); };
    if (inside(capture_))
        capture_ = ElementPtr();
    if (inside(focus_))
        focus_ = ElementPtr();
    if (inside(hover_))
        hover_ = ElementPtr();
    for (auto it = controls_.begin(); it != controls_.end();) {
        if (e->IsAncestorOrSelf(it->first)) {
            ControlParams gone{{this, controlId_, kDestroyControl}, it->first, it->second.second};
            Notify(&gone.header);
            if (it->second.second)
                it->second.second->deleteLater();
            it = controls_.erase(it);
        } else {
            ++it;
        }
    }
    std::vector<Element*> closing;
    for (auto& p : popups_)
        if (e->IsAncestorOrSelf(p.element.get()))
            closing.push_back(p.element.get());
    for (Element* p : closing)
        HidePopup(p);
}

// ---- popups -------------------------------------------------------------

bool View::ShowPopup(Element* popup, Element* anchor, unsigned placement)
{
    if (!popup || popup->GetView() != this)
        return false;
    HidePopup(popup);
    EnsureLayout();
    Popup p;
    p.element = popup;
    p.anchor = anchor;
    p.layout = std::make_unique<Layout>(this);
    popup->SetState(kStatePopup, 0, false);
    if (anchor)
        anchor->SetState(kStateOwnsPopup, 0, false);
    p.layout->Build(popup, LayoutSheets(), true);
    p.layout->Render(800);
    const QRect box = p.layout->Box(popup, kMarginBox);
    p.layout->Render(std::max(box.right() + 1, 1));
    const QRect box2 = p.layout->Box(popup, kMarginBox);
    const int contentWidth = std::max(box2.right() + 1, 20);
    const int contentHeight = std::max(box2.bottom() + 1, 10);
    // The popup's layout shows its element at full height; the window takes
    // no more than the height the page allows it and scrolls the rest.
    const int allowed = PixelLength(layout_->StyleProperty(popup, "max-height"));
    auto* window = new PopupWindow(this, popup, p.layout.get());
    p.window = window;
    window->SetContentHeight(contentHeight, allowed > 0 ? std::min(contentHeight, allowed)
                                                        : contentHeight,
                             contentWidth);
    const QSize size = window->size();
    QRect a = anchor ? Location(anchor, kViewRelative | kBorderBox) : QRect();
    QPoint at;
    switch (placement & 0xF) {
    case kPlaceAbove: at = QPoint(a.left(), a.top() - size.height()); break;
    case kPlaceRight: at = QPoint(a.right() + 1, a.top()); break;
    case kPlaceLeft: at = QPoint(a.left() - size.width(), a.top()); break;
    default: at = QPoint(a.left(), a.bottom() + 1); break;
    }
    QPoint global = viewport()->mapToGlobal(at);
    // Kept on the screen: a popup below an anchor near the bottom opens above it.
    if (QScreen* screen = viewport()->screen()) {
        const QRect avail = screen->availableGeometry();
        if (global.y() + size.height() > avail.bottom() + 1 && (placement & 0xF) == kPlaceBelow &&
            viewport()->mapToGlobal(a.topLeft()).y() - size.height() >= avail.top())
            global.setY(viewport()->mapToGlobal(a.topLeft()).y() - size.height());
        if (global.x() + size.width() > avail.right() + 1)
            global.setX(std::max(avail.left(), avail.right() + 1 - size.width()));
    }
    window->move(global);
    popups_.push_back(std::move(p));
    window->show();
    return true;
}

bool View::HidePopup(Element* popup)
{
    auto it = std::find_if(popups_.begin(), popups_.end(),
                           [&](const Popup& p) { return p.element.get() == popup; });
    if (it == popups_.end())
        return false;
    Popup p = std::move(*it);
    popups_.erase(it);
    if (p.window) {
        p.window->Forget();
        p.window->close();
    }
    p.element->SetState(0, kStatePopup, false);
    if (p.anchor)
        p.anchor->SetState(0, kStateOwnsPopup, false);
    if (p.element->GetView() == this)
        SendEvent(p.element.get(), kPopupDismissed, 0, p.element.get());
    viewport()->update();
    // Its layout, and its element when the page let go of it (a long list of choices), are
    // freed once the events of now are handled: the choice made in it does not wait for that.
    retired_.push_back(std::move(p));
    if (retired_.size() == 1)
        QTimer::singleShot(0, this, [this] { retired_.clear(); });
    return true;
}

QWidget* View::PopupWidget(Element* popup) const
{
    for (const auto& p : popups_)
        if (p.element.get() == popup)
            return p.window;
    return nullptr;
}

void View::ClosePopupWindow(PopupWindow* w)
{
    // Closed by Qt (a click outside): the same as hiding it.
    for (auto& p : popups_)
        if (p.window == w) {
            w->Forget();
            HidePopup(p.element.get());
            return;
        }
}

QWidget* View::HostedControl(Element* e) const
{
    auto it = controls_.find(e);
    return it == controls_.end() ? nullptr : it->second.second.data();
}

// ---- events -------------------------------------------------------------

int View::Dispatch(Element* target, unsigned group, unsigned cmd, void* params,
                   const std::function<void(Element*, unsigned)>& prepare)
{
    std::vector<ElementPtr> chain;
    for (Element* e = target; e; e = e->Parent())
        chain.emplace_back(e);
    bool handled = false;
    auto callElement = [&](Element* e, unsigned phase) {
        const auto handlers = e->Handlers();
        for (const auto& h : handlers) {
            if (group != kHandleInitialization && !(h.groups & group))
                continue;
            prepare(e, cmd | phase | (handled ? kHandled : 0));
            if (h.proc(h.tag, e, group, params))
                handled = true;
        }
    };
    auto callWindow = [&](unsigned phase) {
        const auto handlers = windowHandlers_;
        for (const auto& h : handlers) {
            if (!(h.groups & group))
                continue;
            prepare(root_.get(), cmd | phase | (handled ? kHandled : 0));
            if (h.proc(h.tag, root_.get(), group, params))
                handled = true;
        }
    };
    callWindow(kSinking);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        callElement(it->get(), kSinking);
    for (auto& e : chain)
        callElement(e.get(), 0);
    callWindow(0);
    return handled ? 1 : 0;
}

void View::DispatchMouse(Element* target, unsigned cmd, QPoint docPoint, unsigned buttons,
                         unsigned alt)
{
    if (!target)
        return;
    ElementPtr keep(target);
    if (capture_ && !capture_->IsAncestorOrSelf(target))
        target = capture_.get();
    MouseParams mp{cmd, target, {}, docPoint, buttons, alt};
    Dispatch(target, kHandleMouse, cmd, &mp, [&](Element* e, unsigned c) {
        mp.cmd = c;
        mp.target = target;
        const QRect border = (e && e->GetView() == this) ? Location(e, kRootRelative | kBorderBox)
                                                         : QRect();
        mp.pos = docPoint - border.topLeft();
    });
}

bool View::SendEvent(Element* target, unsigned code, std::uintptr_t reason, Element* source)
{
    if (!target || target->GetView() != this)
        return false;
    BehaviorEventParams bp{code, target, source, reason};
    return Dispatch(target, kHandleBehaviorEvent, code, &bp, [&](Element*, unsigned c) {
        bp.cmd = c;
        bp.target = target;
    }) != 0;
}

void View::PostEvent(Element* target, unsigned code, std::uintptr_t reason, Element* source)
{
    ElementPtr t(target), s(source);
    QPointer<View> self(this);
    QTimer::singleShot(0, this, [self, t, s, code, reason] {
        if (self && t->GetView() == self)
            self->SendEvent(t.get(), code, reason, s.get());
    });
}

void View::SetCapture(Element* e)
{
    capture_ = e;
    viewport()->grabMouse();
}

void View::ReleaseCapture()
{
    capture_ = ElementPtr();
    viewport()->releaseMouse();
}

void View::SetFocusElement(Element* e, bool byMouse)
{
    if (focus_.get() == e)
        return;
    ElementPtr old = focus_;
    focus_ = e;
    if (old && old->GetView() == this) {
        FocusParams fp{kFocusLost, e, byMouse, false};
        Dispatch(old.get(), kHandleFocus, kFocusLost, &fp, [&](Element*, unsigned c) {
            fp.cmd = c;
            fp.target = e;
        });
        old->SetState(0, kStateFocus, false);
    }
    if (e && focus_.get() == e) {
        e->SetState(kStateFocus, 0, false);
        FocusParams fp{kFocusGot, e, byMouse, false};
        Dispatch(e, kHandleFocus, kFocusGot, &fp, [&](Element*, unsigned c) {
            fp.cmd = c;
            fp.target = e;
        });
    }
}

void View::SetHover(Element* e)
{
    if (hover_.get() == e)
        return;
    ElementPtr old = hover_;
    hover_ = e;
    // Hover covers the element and its ancestors: clear where the chains part.
    for (Element* o = old.get(); o; o = o->Parent())
        if (!e || !o->IsAncestorOrSelf(e))
            o->SetState(0, kStateHover, false);
    for (Element* n = e; n; n = n->Parent())
        n->SetState(kStateHover, 0, false);
}

unsigned View::AltState() const
{
    const Qt::KeyboardModifiers m = QGuiApplication::queryKeyboardModifiers();
    unsigned s = 0;
    if (m & Qt::ControlModifier)
        s |= kControlKeyPressed;
    if (m & Qt::ShiftModifier)
        s |= kShiftKeyPressed;
    if (m & Qt::AltModifier)
        s |= kAltKeyPressed;
    return s;
}

Element* View::ElementAt(QPoint viewPoint)
{
    EnsureLayout();
    return layout_->ElementAt(viewPoint + ScrollOffset());
}

bool View::HandleMouseEvent(QMouseEvent* e, unsigned cmd)
{
    EnsureLayout();
    const QPoint doc = e->position().toPoint() + ScrollOffset();
    Element* target = layout_->ElementAt(doc);
    if (!target)
        target = root_.get();
    if (!target)
        return false;
    ElementPtr keep(target);
    unsigned alt = 0;
    if (e->modifiers() & Qt::ControlModifier)
        alt |= kControlKeyPressed;
    if (e->modifiers() & Qt::ShiftModifier)
        alt |= kShiftKeyPressed;
    if (e->modifiers() & Qt::AltModifier)
        alt |= kAltKeyPressed;
    if (cmd == kMouseDown) {
        Element* f = target;
        while (f && !IsFocusable(f))
            f = f->Parent();
        if (f)
            SetFocusElement(f, true);
    }
    unsigned buttons = QtButtons(e->button());
    if (cmd == kMouseMove)
        buttons = (e->buttons() & Qt::LeftButton) ? unsigned(kMainButton) : 0u;
    DispatchMouse(target, cmd, doc, buttons, alt);
    return true;
}

void View::mousePressEvent(QMouseEvent* e)
{
    HandleMouseEvent(e, kMouseDown);
    if (e->button() == Qt::RightButton)
        ShowContextMenu(ElementAt(e->position().toPoint()), e->globalPosition().toPoint());
}

Element* View::ContextMenuOf(Element* e)
{
    // "context-menu: selector(#menu)" on the element or an ancestor names the
    // menu element, whose "li" children are the items.
    for (; e; e = e->Parent()) {
        std::string value = ComputedStyle(e, "context-menu");
        const auto open = value.find("selector(");
        if (open == std::string::npos)
            continue;
        const auto close = value.rfind(')');
        if (close == std::string::npos || close < open + 9)
            continue;
        return root_->SelectFirst(value.substr(open + 9, close - open - 9));
    }
    return nullptr;
}

QMenu* View::ShowContextMenu(Element* target, QPoint globalPos)
{
    if (!target)
        return nullptr;
    ElementPtr source(target);
    ElementPtr menuElement = ContextMenuOf(target);
    if (!menuElement)
        return nullptr;
    SendEvent(menuElement.get(), kContextMenuRequest, 0, target);
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (std::size_t i = 0; i < menuElement->ChildCount(); ++i) {
        ElementPtr item = menuElement->Child(i);
        if (item->Tag() == "hr") {
            menu->addSeparator();
            continue;
        }
        if (item->Tag() != "li")
            continue;
        QAction* action = menu->addAction(QString::fromStdString(item->InnerText()).trimmed());
        action->setEnabled(!(item->State() & kStateDisabled) && !item->Attribute("disabled"));
        QPointer<View> self(this);
        connect(action, &QAction::triggered, this, [self, item, source] {
            if (self && item->GetView() == self)
                self->SendEvent(item.get(), kMenuItemClick, 0, source.get());
        });
    }
    menu->popup(globalPos);
    return menu;
}

void View::mouseReleaseEvent(QMouseEvent* e)
{
    HandleMouseEvent(e, kMouseUp);
}

void View::mouseDoubleClickEvent(QMouseEvent* e)
{
    HandleMouseEvent(e, kMouseDoubleClick);
}

void View::mouseMoveEvent(QMouseEvent* e)
{
    EnsureLayout();
    SetHover(layout_->ElementAt(e->position().toPoint() + ScrollOffset()));
    if (!windowHandlers_.empty() || capture_)
        HandleMouseEvent(e, kMouseMove);
}

void View::leaveEvent(QEvent* e)
{
    SetHover(nullptr);
    QAbstractScrollArea::leaveEvent(e);
}

void View::keyPressEvent(QKeyEvent* e)
{
    const unsigned code = KeyCodeOf(e->key());
    Element* target = focus_ ? focus_.get() : root_.get();
    if (!code || !target) {
        QAbstractScrollArea::keyPressEvent(e);
        return;
    }
    unsigned alt = 0;
    if (e->modifiers() & Qt::ControlModifier)
        alt |= kControlKeyPressed;
    if (e->modifiers() & Qt::ShiftModifier)
        alt |= kShiftKeyPressed;
    if (e->modifiers() & Qt::AltModifier)
        alt |= kAltKeyPressed;
    ElementPtr keep(target);
    KeyParams kp{kKeyDown, target, code, alt};
    const int handled = Dispatch(target, kHandleKey, kKeyDown, &kp, [&](Element*, unsigned c) {
        kp.cmd = c;
        kp.target = target;
    });
    if (!handled)
        QAbstractScrollArea::keyPressEvent(e);
}

// ---- painting -----------------------------------------------------------

void View::paintEvent(QPaintEvent*)
{
    EnsureLayout();
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), Qt::white);
    const QPoint offset = ScrollOffset();
    layout_->Draw(&p, -offset, viewport()->rect());
}

void View::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    if (root_) {
        layout_->Render(viewport()->width());
        ++layoutCount_;
        UpdateScrollBars();
        PlaceControls();
    }
}

void View::scrollContentsBy(int, int)
{
    PlaceControls();
    viewport()->update();
}

}  // namespace html
