// litehtml over QPainter: fonts, text, boxes, images and clipping, plus the
// map from litehtml's elements back to ours.
#include "platform/html/layout.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cstdlib>
#include <string>
#include <algorithm>
#include <cctype>
#include <unordered_map>
#include <unordered_set>
#include <vector>
#include <litehtml/el_space.h>
#include <litehtml/el_text.h>

#include "platform/html/html_parser.h"
#include "platform/html/selector.h"
#include "platform/html/view.h"

namespace html {

struct Layout::Font {
    QFont font;
    QFontMetrics metrics;
    // Widths of the words measured in this font: a page repeats its words,
    // and litehtml measures every one of them on every layout.
    std::unordered_map<std::string, int> widths;
    explicit Font(const QFont& f) : font(f), metrics(f) {}
};

namespace {

QColor ToQColor(const litehtml::web_color& c)
{
    return QColor(c.red, c.green, c.blue, c.alpha);
}

QRect ToQRect(const litehtml::position& p)
{
    return QRect(p.x, p.y, p.width, p.height);
}

QString ChooseFamily(const char* faceNames)
{
    static const QStringList families = QFontDatabase::families();
    const QStringList wanted = QString::fromUtf8(faceNames).split(',');
    for (QString name : wanted) {
        name = name.trimmed();
        if (name.startsWith('"') || name.startsWith('\''))
            name = name.mid(1, name.size() - 2);
        const QString lower = name.toLower();
        if (lower == "monospace" || lower == "courier new" || lower == "courier")
            return "DejaVu Sans Mono";
        if (lower == "serif" || lower == "times new roman")
            return "DejaVu Serif";
        if (lower == "sans-serif")
            return "DejaVu Sans";
        for (const QString& f : families)
            if (f.compare(name, Qt::CaseInsensitive) == 0)
                return f;
    }
    return "DejaVu Sans";
}

}  // namespace

Layout::Layout(View* view) : view_(view) {}

Layout::~Layout()
{
    doc_.reset();
}

namespace {

// One context for the process: it holds the master style sheet, parsed once.
litehtml::context& SharedContext()
{
    static litehtml::context context = [] {
        litehtml::context c;
        c.load_master_stylesheet(MasterStyleSheet());
        return c;
    }();
    return context;
}

// The master style sheet's rules by the tag they select, in the sheet's order,
// when every rule selects by tag alone (as ours do). litehtml would try each
// rule on each element; looking the tag up gives the same rules at once.
struct MasterRules {
    bool byTagOnly = true;
    std::unordered_map<std::string, std::vector<const litehtml::css_selector*>> byTag;
};

const MasterRules& MasterRulesByTag()
{
    static const MasterRules rules = [] {
        MasterRules r;
        for (const litehtml::css_selector::ptr& sel : SharedContext().master_css().selectors()) {
            const std::string& tag = sel->m_right.m_tag;
            if (sel->m_left || !sel->m_right.m_attrs.empty() || sel->m_media_query ||
                tag.empty() || tag == "*") {
                r.byTagOnly = false;
                break;
            }
            r.byTag[tag].push_back(sel.get());
        }
        return r;
    }();
    return rules;
}

// Merges the master rules into `el` and its element descendants, as
// apply_stylesheet would with the master style sheet.
void ApplyMasterRules(const MasterRules& rules, const litehtml::element::ptr& el)
{
    auto it = rules.byTag.find(el->get_tagName());
    if (it != rules.byTag.end())
        for (const litehtml::css_selector* sel : it->second)
            el->add_style(sel->m_style, sel->m_baseurl);
    for (std::size_t i = 0, n = el->get_children_count(); i < n; ++i) {
        const litehtml::element::ptr child = el->get_child(int(i));
        if (child->get_display() != litehtml::display_inline_text)
            ApplyMasterRules(rules, child);
    }
}

// Shows a popup's element although the page's style sheets hide it: strong
// enough to beat any rule of theirs short of "!important". Its height is not
// capped here: the popup window takes the allowed height and scrolls.
constexpr const char* kPopupShownRule =
    "[_n=\"0\"][_n=\"0\"][_n=\"0\"][_n=\"0\"] { display: block; max-height: none; }";

bool IsRowGroup(litehtml::style_display d)
{
    return d == litehtml::display_table_row_group || d == litehtml::display_table_header_group ||
           d == litehtml::display_table_footer_group;
}

bool IsTable(litehtml::style_display d)
{
    return d == litehtml::display_table || d == litehtml::display_inline_table;
}

// True when the table box `el` sits where litehtml's table layout looks for
// it: rows in a table or a row group, cells in rows, nothing else inside
// tables and rows (hidden elements aside). litehtml's markup path adds
// anonymous boxes for anything else; built directly, such a tree goes that
// way too. Elements that are no table boxes are checked as their parents'
// children.
bool TableBoxInPlace(const litehtml::element& el)
{
    const litehtml::style_display d = el.get_display();
    const bool table = IsTable(d), group = IsRowGroup(d), row = d == litehtml::display_table_row;
    if (d == litehtml::display_table_caption || d == litehtml::display_table_column ||
        d == litehtml::display_table_column_group)
        return false;
    if (!table && !group && !row && d != litehtml::display_table_cell)
        return true;
    const litehtml::element::ptr parent = el.parent();
    const litehtml::style_display pd = parent ? parent->get_display() : litehtml::display_block;
    // Below a hidden box nothing is laid out: a hidden row's cells are fine.
    if (pd == litehtml::display_none)
        return true;
    if ((d == litehtml::display_table_cell && pd != litehtml::display_table_row) ||
        (row && !IsTable(pd) && !IsRowGroup(pd)) || (group && !IsTable(pd)))
        return false;
    for (std::size_t i = 0, n = el.get_children_count(); i < n; ++i) {
        const litehtml::style_display cd = el.get_child(int(i))->get_display();
        if (cd != litehtml::display_none &&
            ((table && !IsRowGroup(cd) && cd != litehtml::display_table_row) ||
             (group && cd != litehtml::display_table_row) ||
             (row && cd != litehtml::display_table_cell)))
            return false;
    }
    return true;
}

}  // namespace

void Layout::Reset()
{
    doc_.reset();
    styles_ = litehtml::css();
    styleCache_.IndexRules(styles_);
    map_.clear();
    twins_.clear();
    back_.clear();
    siblingAttributes_.clear();
    kept_.clear();
    hidingRules_.clear();
    behaviorRules_.clear();
    leftOut_.clear();
    siblingAttributesKnown_ = false;
    siblingAnyAttribute_ = false;
    numbered_.clear();
    orderStale_ = false;
    needsMarkup_ = false;
}

void Layout::MapElement(Element* e, litehtml::element* el)
{
    numbered_.push_back(e);
    twins_.push_back(el);
}

void Layout::AppendText(const litehtml::element::ptr& parent, const std::string& text)
{
    // Split the way litehtml's own parser splits: a word per element and each
    // blank its own element (lines break there), each CJK ideograph alone.
    std::size_t word = 0;
    auto flush = [&](std::size_t end) {
        if (end > word)
            parent->appendChild(
                std::make_shared<litehtml::el_text>(text.substr(word, end - word).c_str(), doc_));
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            flush(i);
            const char blank[2] = {char(c), 0};
            parent->appendChild(std::make_shared<litehtml::el_space>(blank, doc_));
            word = ++i;
            continue;
        }
        if ((c & 0xF0) == 0xE0 && i + 2 < text.size()) {
            const unsigned cp = (unsigned(c & 0x0F) << 12) |
                                (unsigned(static_cast<unsigned char>(text[i + 1]) & 0x3F) << 6) |
                                (unsigned(static_cast<unsigned char>(text[i + 2]) & 0x3F));
            if (cp >= 0x4E00 && cp <= 0x9FCC) {
                flush(i);
                parent->appendChild(
                    std::make_shared<litehtml::el_text>(text.substr(i, 3).c_str(), doc_));
                word = i += 3;
                continue;
            }
        }
        ++i;
    }
    flush(text.size());
}

namespace {

// The value of a declaration of `property` in a rule's text, blanks removed and lowercased;
// empty when the rule declares none. `important` tells whether one is marked so.
std::string DeclaredValue(const std::string& text, const char* property, bool& important)
{
    std::string value;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string declaration = text.substr(start, end - start);
        start = end + 1;
        const std::size_t colon = declaration.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name;
        for (char c : declaration.substr(0, colon))
            if (!std::isspace(static_cast<unsigned char>(c)))
                name += char(std::tolower(static_cast<unsigned char>(c)));
        if (name != property)
            continue;
        std::string v;
        for (char c : declaration.substr(colon + 1))
            if (!std::isspace(static_cast<unsigned char>(c)))
                v += char(std::tolower(static_cast<unsigned char>(c)));
        if (v.find('!') != std::string::npos)
            important = true;
        value = v;
    }
    return value;
}

}  // namespace

void Layout::FindHidingRules()
{
    // An element that a rule hides needs no boxes below it: its descendants are built when
    // a change shows it (a change of its own or an ancestor's attributes builds that part
    // again). That holds only while nothing but attributes decides what is hidden: rules
    // that test states or later siblings, "!important" and media lists leave every element
    // built as it is.
    hidingRules_.clear();
    behaviorRules_.clear();
    for (const litehtml::css_selector::ptr& sel : styles_.selectors()) {
        bool important = false;
        if (!DeclaredValue(sel->m_style, "behavior", important).empty())
            behaviorRules_.push_back(sel.get());
        const std::string display = DeclaredValue(sel->m_style, "display", important);
        if (display.empty())
            continue;
        bool plain = !important && !sel->m_media_query;
        for (const litehtml::css_selector* s = sel.get(); plain && s; s = s->m_left.get())
            for (const auto& a : s->m_right.m_attrs)
                if (a.condition == litehtml::select_pseudo_class ||
                    a.condition == litehtml::select_pseudo_element)
                    plain = false;
        if (!plain) {
            hidingRules_.clear();
            return;
        }
        hidingRules_.push_back({sel.get(), display == "none"});
    }
    // Nothing is hidden by the style sheets: nothing to leave out.
    if (std::none_of(hidingRules_.begin(), hidingRules_.end(),
                     [](const HidingRule& r) { return r.none; }))
        hidingRules_.clear();
    if (hidingRules_.empty())
        behaviorRules_.clear();
}

bool Layout::HiddenByRules(Element* e, litehtml::element& el) const
{
    if (hidingRules_.empty() || e->Attribute("style") || !e->RuntimeStyle().empty() ||
        e->Tag() == "menu" || e->Tag() == "popup")
        return false;
    // The rules are in the order of their weight: the last that matches decides.
    auto r = hidingRules_.rbegin();
    while (r != hidingRules_.rend() && !(el.select(*r->selector, true) & litehtml::select_match))
        ++r;
    if (r == hidingRules_.rend() || !r->none)
        return false;
    // A hidden element with a behaviour may be shown alone, as a popup, its descendants
    // behaving as the page's layout gives them their behaviours.
    return std::none_of(behaviorRules_.begin(), behaviorRules_.end(),
                        [&](const litehtml::css_selector* sel) {
                            return (el.select(*sel, true) & litehtml::select_match) != 0;
                        });
}

litehtml::element::ptr Layout::BuildElement(Element* e, const litehtml::element::ptr& into,
                                            const litehtml::element::ptr& context)
{
    static const litehtml::string_map kNoAttributes;
    litehtml::element::ptr el = doc_->create_element(e->Tag().c_str(), kNoAttributes);
    bool styled = false;
    std::string style;
    auto mergeStyle = [&](const std::string* own) {
        // The runtime style follows the element's own: it wins.
        if (own)
            style = *own;
        for (const auto& [name, value] : e->RuntimeStyle())
            style += ';' + name + ':' + value;
        el->set_attr("style", style.c_str());
        styled = true;
    };
    for (std::size_t i = 0; i < e->AttributeCount(); ++i) {
        const std::string& name = e->AttributeName(i);
        if (name == "style" && !e->RuntimeStyle().empty())
            mergeStyle(&e->AttributeValue(i));
        else
            el->set_attr(name.c_str(), e->AttributeValue(i).c_str());
    }
    if (!styled && !e->RuntimeStyle().empty())
        mergeStyle(nullptr);
    if (e->State())
        for (unsigned bit : PseudoClassStates())
            if (e->State() & bit)
                el->set_pseudo_class(StatePseudoClass(bit), true);
    MapElement(e, el.get());
    // In its place, or beside it for a part built again, so that rules see its ancestors.
    if (into)
        into->appendChild(el);
    else if (context)
        el->parent(context);
    if (IsVoidTag(e->Tag()))
        return el;
    const bool rawText = e->Tag() == "style" || e->Tag() == "script";
    if (!rawText && (into || context) && HiddenByRules(e, *el)) {
        leftOut_.push_back(el.get());
        return el;
    }
    if (e->Tag() == "table") {
        BuildTableChildren(e, el);
        return el;
    }
    for (const auto& child : e->Nodes()) {
        if (!child->IsText())
            BuildElement(child.get(), el);
        else if (rawText)
            el->appendChild(std::make_shared<litehtml::el_text>(child->Text().c_str(), doc_));
        else
            AppendText(el, child->Text());
    }
    return el;
}

void Layout::BuildTableChildren(Element* table, const litehtml::element::ptr& el)
{
    // litehtml's tables take row groups only: a run of rows goes into a row
    // group of its own, as HTML parsing implies one. Anything else (cells
    // outside rows, captions, text) needs what parsing does: the markup path.
    litehtml::element::ptr rows;
    for (const auto& child : table->Nodes()) {
        if (child->IsText()) {
            if (child->Text().find_first_not_of(" \t\n\r\f") != std::string::npos)
                needsMarkup_ = true;
            continue;
        }
        const std::string& tag = child->Tag();
        if (tag == "tr") {
            if (!rows) {
                rows = doc_->create_element("tbody", litehtml::string_map());
                el->appendChild(rows);
            }
            BuildElement(child.get(), rows);
        } else if (tag == "tbody" || tag == "thead" || tag == "tfoot") {
            rows.reset();
            BuildElement(child.get(), el);
        } else {
            needsMarkup_ = true;
        }
    }
}

void Layout::Build(Element* root, const std::vector<StyleSheetSource>& sheets, bool popup)
{
    BuildOnce(root, sheets, popup, true);
    if (!LeftOutStillHidden())
        BuildOnce(root, sheets, popup, false);
    leftOut_.clear();
}

bool Layout::LeftOutStillHidden() const
{
    return std::all_of(leftOut_.begin(), leftOut_.end(), [](const litehtml::element* el) {
        return el->get_display() == litehtml::display_none;
    });
}

void Layout::BuildOnce(Element* root, const std::vector<StyleSheetSource>& sheets, bool popup,
                       bool leaveOutHidden)
{
    // litehtml's document keeps its root to itself: a bare document gives
    // one, and our tree is built under it through the element interface,
    // then styled and initialised in the order litehtml's own loading uses.
    Reset();
    litehtml::context& context = SharedContext();
    doc_ = litehtml::document::createFromUTF8("", this, &context);
    if (!doc_ || !doc_->root())
        return;
    const litehtml::element::ptr top = doc_->root();
    top->clearRecursive();
    for (const StyleSheetSource& sheet : sheets) {
        if (sheet.text.empty())
            continue;
        litehtml::media_query_list::ptr media;
        if (!sheet.media.empty())
            media = litehtml::media_query_list::create_from_string(sheet.media, doc_);
        styles_.parse_stylesheet(sheet.text.c_str(), sheet.url.c_str(), doc_, media);
    }
    if (popup)
        styles_.parse_stylesheet(kPopupShownRule, "", doc_, nullptr);
    styles_.sort_selectors();
    styleCache_.IndexRules(styles_);
    if (!popup && leaveOutHidden)
        FindHidingRules();
    // Media lists are settled while the root is still bare, so the answer
    // restyles nothing.
    doc_->media_changed();

    if (popup) {
        litehtml::element::ptr body =
            doc_->create_element("body", litehtml::string_map{{"style", "margin:0"}});
        top->appendChild(body);
        litehtml::element::ptr shown = BuildElement(root);
        shown->set_attr("_n", "0");
        body->appendChild(shown);
    } else {
        for (std::size_t i = 0; i < root->AttributeCount(); ++i)
            top->set_attr(root->AttributeName(i).c_str(), root->AttributeValue(i).c_str());
        for (unsigned bit : PseudoClassStates())
            top->set_pseudo_class(StatePseudoClass(bit), (root->State() & bit) != 0);
        top->refresh_styles();
        MapElement(root, top.get());
        numbered_.reserve(lastSize_);
        twins_.reserve(lastSize_);
        for (const auto& child : root->Nodes()) {
            if (child->IsText())
                AppendText(top, child->Text());
            else
                BuildElement(child.get(), top);
        }
    }
    // The root took the master style sheet when the bare document was made.
    const MasterRules& master = MasterRulesByTag();
    for (std::size_t i = 0, n = top->get_children_count(); i < n; ++i) {
        if (master.byTagOnly)
            ApplyMasterRules(master, top->get_child(int(i)));
        else
            top->get_child(int(i))->apply_stylesheet(context.master_css());
    }
    top->parse_attributes();
    styleCache_.BeginMatching();
    top->apply_stylesheet(styles_);
    styleCache_.Begin();
    top->parse_styles();
    styleCache_.End();
    // Every element box of a table is one of ours or a row group we added
    // (checked as a child of its table).
    bool inPlace = !needsMarkup_;
    for (std::size_t i = 0; inPlace && i < numbered_.size(); ++i)
        inPlace = TableBoxInPlace(*twins_[i]);
    if (!inPlace) {
        BuildFromMarkup(root, sheets, popup);
        return;
    }
    top->init();
    lastSize_ = numbered_.size();
}

void Layout::BuildFromMarkup(Element* root, const std::vector<StyleSheetSource>& sheets,
                             bool popup)
{
    Reset();
    std::string markup;
    markup.reserve(4096);
    std::vector<Element*> numbered;
    if (popup) {
        markup = "<html><head>";
        for (const StyleSheetSource& sheet : sheets) {
            markup += sheet.href.empty() ? "<style" : "<link rel=\"stylesheet\" href=\"";
            if (!sheet.href.empty()) {
                AppendEscaped(markup, sheet.href, true);
                markup += '"';
            }
            if (!sheet.media.empty()) {
                markup += " media=\"";
                AppendEscaped(markup, sheet.media, true);
                markup += '"';
            }
            markup += sheet.href.empty() ? '>' + sheet.text + "</style>" : std::string(">");
        }
        markup += std::string("<style>") + kPopupShownRule +
                  "</style></head><body style=\"margin:0\">";
        SerializeNode(root, markup, &numbered);
        markup += "</body></html>";
    } else {
        SerializeNode(root, markup, &numbered);
    }
    numbered_ = std::move(numbered);
    doc_ = litehtml::document::createFromUTF8(markup.c_str(), this, &SharedContext());
    if (!doc_)
        return;
    twins_.assign(numbered_.size(), nullptr);
    std::vector<litehtml::element*> stack{doc_->root().get()};
    while (!stack.empty()) {
        litehtml::element* el = stack.back();
        stack.pop_back();
        if (const char* n = el->get_attr("_n")) {
            const std::size_t i = std::strtoul(n, nullptr, 10);
            if (i < numbered_.size())
                twins_[i] = el;
        }
        for (std::size_t c = 0, count = el->get_children_count(); c < count; ++c)
            stack.push_back(el->get_child(int(c)).get());
    }
    bool anyState = false;
    for (Element* e : numbered_)
        if (e->State())
            anyState |= MirrorState(e);
    if (anyState)
        RefreshStyles();
}

bool Layout::MirrorState(Element* e)
{
    litehtml::element* el = Find(e);
    if (!el)
        return false;
    for (unsigned bit : PseudoClassStates())
        el->set_pseudo_class(StatePseudoClass(bit), (e->State() & bit) != 0);
    return true;
}

bool Layout::Reorder(Element* parent)
{
    std::vector<litehtml::element::ptr> kids;
    litehtml::element* holder = nullptr;
    for (std::size_t i = 0, n = parent->ChildCount(); i < n; ++i) {
        litehtml::element* el = Find(parent->Child(i));
        if (!el)
            return false;
        litehtml::element::ptr p = el->parent();
        if (!p || (holder && p.get() != holder))
            return false;
        holder = p.get();
        kids.push_back(el->shared_from_this());
    }
    if (!holder || holder->get_children_count() != kids.size())
        return false;
    for (const auto& k : kids)
        holder->removeChild(k);
    for (const auto& k : kids)
        holder->appendChild(k);
    InheritedStyleCache::ForgetLayouts(holder);
    // litehtml builds a table's cell grid once, from its rows: build it again.
    for (litehtml::element::ptr t = holder->shared_from_this(); t; t = t->parent())
        if (t->get_display() == litehtml::display_table ||
            t->get_display() == litehtml::display_inline_table) {
            t->init();
            break;
        }
    return true;
}

bool Layout::RefreshStyles()
{
    if (!doc_)
        return false;
    litehtml::position::vector boxes;
    const bool any = doc_->root()->find_styles_changes(boxes, 0, 0);
    if (any)
        styleCache_.ForgetAllLayouts();
    return any;
}

namespace {

// False when `e` cannot match the element selector `c` whatever its states.
bool CompoundMayMatch(const litehtml::css_element_selector& c, const Element* e)
{
    if (!c.m_tag.empty() && c.m_tag != "*" &&
        litehtml::t_strcasecmp(c.m_tag.c_str(), e->Tag().c_str()) != 0)
        return false;
    for (const auto& a : c.m_attrs) {
        if (a.condition == litehtml::select_pseudo_class ||
            a.condition == litehtml::select_pseudo_element)
            continue;
        const std::string* value = e->Attribute(a.attribute);
        if (!value)
            return false;
        if (a.attribute == "class") {
            std::string padded = ' ' + *value + ' ';
            std::replace_if(
                padded.begin(), padded.end(), [](char ch) { return std::isspace(ch & 0xFF); }, ' ');
            for (const auto& name : a.class_val)
                if (padded.find(' ' + name + ' ') == std::string::npos)
                    return false;
        } else if (a.condition == litehtml::select_equal && *value != a.val) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool Layout::StateMatters(const Element* e, unsigned bits) const
{
    if (!doc_)
        return false;
    std::vector<std::string> names;
    for (unsigned bit : PseudoClassStates())
        if (bits & bit)
            names.emplace_back(StatePseudoClass(bit));
    if (names.empty())
        return false;
    for (const litehtml::css_selector::ptr& sel : styles_.selectors())
        for (const litehtml::css_selector* s = sel.get(); s; s = s->m_left.get()) {
            const bool tests = std::any_of(
                s->m_right.m_attrs.begin(), s->m_right.m_attrs.end(), [&](const auto& a) {
                    return a.condition == litehtml::select_pseudo_class &&
                           std::find(names.begin(), names.end(), a.val) != names.end();
                });
            if (tests && CompoundMayMatch(s->m_right, e))
                return true;
        }
    return false;
}

int Layout::Render(int width)
{
    width_ = width;
    return doc_ ? doc_->render(width) : 0;
}

void Layout::Draw(QPainter* painter, QPoint offset, const QRect& clip)
{
    if (!doc_)
        return;
    painter_ = painter;
    const litehtml::position c(clip.x(), clip.y(), clip.width(), clip.height());
    doc_->draw(reinterpret_cast<litehtml::uint_ptr>(painter), offset.x(), offset.y(), &c);
    while (clipDepth_ > 0)
        del_clip();
    painter_ = nullptr;
}

QSize Layout::DocumentSize() const
{
    return doc_ ? QSize(doc_->width(), doc_->height()) : QSize();
}

void Layout::MakeMaps() const
{
    if (!map_.empty() || numbered_.empty())
        return;
    map_.reserve(numbered_.size());
    back_.reserve(numbered_.size());
    for (std::size_t i = 0; i < numbered_.size(); ++i)
        if (twins_[i]) {
            map_.emplace(numbered_[i], twins_[i]);
            back_.emplace(twins_[i], numbered_[i]);
        }
}

litehtml::element* Layout::Find(Element* e) const
{
    // The maps between our elements and litehtml's are made when first asked.
    MakeMaps();
    auto it = map_.find(e);
    return it == map_.end() ? nullptr : it->second;
}

void Layout::Unmap(litehtml::element* el, const std::unordered_set<Element*>& spared)
{
    auto it = back_.find(el);
    if (it != back_.end()) {
        // A subtree kept for an element below one built again was styled below
        // ancestors that are gone; the element may be gone from the page too.
        if (!kept_.empty() && !spared.count(it->second))
            kept_.erase(it->second);
        auto own = map_.find(it->second);
        if (own != map_.end() && own->second == el)
            map_.erase(own);
        back_.erase(it);
    }
    // Runs of text are never mapped.
    for (std::size_t i = 0, n = el->get_children_count(); i < n; ++i) {
        const litehtml::element::ptr child = el->get_child(int(i));
        if (child->get_display() != litehtml::display_inline_text)
            Unmap(child.get(), spared);
    }
}

bool Layout::RestylesSiblings(const std::string& attribute)
{
    if (!siblingAttributesKnown_) {
        siblingAttributesKnown_ = true;
        for (const litehtml::css_selector::ptr& sel : styles_.selectors())
            for (const litehtml::css_selector* s = sel.get(); s && s->m_left; s = s->m_left.get()) {
                if (s->m_combinator != litehtml::combinator_adjacent_sibling &&
                    s->m_combinator != litehtml::combinator_general_sibling)
                    continue;
                for (const auto& a : s->m_left->m_right.m_attrs) {
                    if (a.condition == litehtml::select_pseudo_class ||
                        a.condition == litehtml::select_pseudo_element)
                        siblingAnyAttribute_ = true;
                    else
                        siblingAttributes_.push_back(a.attribute);
                }
            }
    }
    return siblingAnyAttribute_ || std::find(siblingAttributes_.begin(), siblingAttributes_.end(),
                                             attribute) != siblingAttributes_.end();
}

namespace {

std::string AttributeText(const Element* e)
{
    std::string text;
    for (std::size_t i = 0; i < e->AttributeCount(); ++i) {
        text += e->AttributeName(i);
        text += '\x1f';
        text += e->AttributeValue(i);
        text += '\x1e';
    }
    return text;
}

}  // namespace

bool Layout::Patch(const std::vector<std::pair<Element*, std::string>>& changes,
                   std::vector<Element*>& added)
{
    if (!doc_ || numbered_.empty() || twins_.empty() || numbered_[0]->GetView() == nullptr)
        return false;
    Element* root = numbered_[0];
    MakeMaps();
    leftOut_.clear();
    // The subtrees to build again: each changed element's, and its later
    // siblings' where the change may restyle them.
    std::vector<Element*> tops;
    for (const auto& [e, attribute] : changes) {
        tops.push_back(e);
        if (!attribute.empty() && e->Parent() && RestylesSiblings(attribute))
            for (std::size_t i = std::size_t(e->Index()) + 1; i < e->Parent()->ChildCount(); ++i)
                tops.push_back(e->Parent()->Child(i));
    }
    // Each laid out already (new elements are built with their parent), and
    // none below another.
    for (Element*& e : tops) {
        while (e && e != root && !map_.count(e))
            e = e->Parent();
        if (!e || e == root)
            return false;
    }
    const std::unordered_set<Element*> chosen(tops.begin(), tops.end());
    std::unordered_set<Element*> taken;
    std::vector<Element*> subtrees;
    for (Element* e : tops) {
        bool below = false;
        for (Element* a = e->Parent(); a && !below; a = a->Parent())
            below = chosen.count(a) != 0;
        if (!below && taken.insert(e).second)
            subtrees.push_back(e);
    }
    // Built anew and put where the old ones were, in one pass per parent.
    std::unordered_map<litehtml::element*, litehtml::element::ptr> fresh;
    std::vector<litehtml::element::ptr> parents;
    std::vector<litehtml::element::ptr> built;
    std::vector<litehtml::element::ptr> reused;
    std::unordered_set<Element*> unchanged;  // laid out again as they were
    const std::size_t firstNew = numbered_.size();
    for (Element* e : subtrees) {
        litehtml::element* old = map_[e];
        litehtml::element::ptr parent = old->parent();
        if (!parent)
            return false;
        // Whether only the element's own attributes changed, and which.
        std::vector<std::string> names;
        // (A subtree built again for a sibling's or a descendant's change is not.)
        bool inside = std::none_of(changes.begin(), changes.end(),
                                   [&](const auto& c) { return c.first == e; });
        for (const auto& [c, attribute] : changes) {
            if (c == e && !attribute.empty() && attribute[0] != ':')
                names.push_back(attribute);
            else if (e->IsAncestorOrSelf(c))
                inside = true;
        }
        const bool attributesOnly = !names.empty() && !inside;
        litehtml::element::ptr el;
        if (attributesOnly) {
            // The subtree shown so far goes aside with the attributes it was styled for.
            const std::string now = AttributeText(e);
            auto hit = kept_.find(e);
            if (hit != kept_.end() && hit->second.attributes == now &&
                hit->second.version == e->Version()) {
                const Kept& k = hit->second;
                bool same = true;
                for (std::size_t i = 0; same && i < k.elements.size(); ++i)
                    same = k.elements[i]->State() == k.states[i];
                if (same) {
                    el = k.el;
                    for (std::size_t i = 0; i < k.elements.size(); ++i) {
                        MapElement(k.elements[i], k.twins[i]);
                        // Behaviours are attached again only where they differ.
                        if (k.elements[i]->AttachedBehaviorName() == k.behaviors[i])
                            unchanged.insert(k.elements[i]);
                    }
                }
            }
            {
                Kept k;
                std::string before;
                for (std::size_t i = 0; i < e->AttributeCount(); ++i) {
                    const std::string& name = e->AttributeName(i);
                    const bool changed =
                        std::find(names.begin(), names.end(), name) != names.end();
                    const char* value = changed ? old->get_attr(name.c_str()) : nullptr;
                    if (changed && !value)
                        continue;
                    before += name;
                    before += '\x1f';
                    before += changed ? std::string(value) : e->AttributeValue(i);
                    before += '\x1e';
                }
                k.attributes = std::move(before);
                k.version = e->Version();
                k.el = old->shared_from_this();
                std::vector<Element*> stack{e};
                while (!stack.empty()) {
                    Element* x = stack.back();
                    stack.pop_back();
                    auto it = map_.find(x);
                    if (it == map_.end()) {
                        k.el.reset();
                        break;
                    }
                    k.elements.push_back(x);
                    k.twins.push_back(it->second);
                    k.states.push_back(x->State());
                    k.behaviors.push_back(x->AttachedBehaviorName());
                    for (const auto& n : x->Nodes())
                        if (!n->IsText())
                            stack.push_back(n.get());
                }
                if (k.el && kept_.size() < 4096)
                    kept_.insert_or_assign(e, std::move(k));
                else
                    kept_.erase(e);
            }
        }
        if (el) {
            reused.push_back(el);
        } else {
            el = BuildElement(e, nullptr, parent);
            if (needsMarkup_)
                return false;
            built.push_back(el);
        }
        fresh.emplace(old, el);
        if (std::find(parents.begin(), parents.end(), parent) == parents.end())
            parents.push_back(parent);
    }
    // Each new part takes its old one's place among its siblings; the others stay.
    const std::unordered_set<Element*> rebuilt(subtrees.begin(), subtrees.end());
    for (const litehtml::element::ptr& parent : parents) {
        auto* tag = dynamic_cast<litehtml::html_tag*>(parent.get());
        if (!tag)
            return false;
        for (litehtml::element::ptr& k : tag->children()) {
            auto it = fresh.find(k.get());
            if (it == fresh.end())
                continue;
            Unmap(k.get(), rebuilt);
            k->parent(nullptr);
            it->second->parent(parent);
            k = it->second;
            // Its ancestors forget their layouts, knowing it as the child that changed (a part
            // kept aside keeps the layout it had).
            InheritedStyleCache::ForgetLayouts(parent.get(), k.get());
        }
    }
    for (std::size_t i = firstNew; i < numbered_.size(); ++i) {
        map_.insert_or_assign(numbered_[i], twins_[i]);
        back_.insert_or_assign(twins_[i], numbered_[i]);
        if (!unchanged.count(numbered_[i]))
            added.push_back(numbered_[i]);
    }
    // Styled as Build styles the whole page, below their own ancestors.
    const MasterRules& master = MasterRulesByTag();
    styleCache_.BeginMatching();
    for (const litehtml::element::ptr& el : built) {
        if (master.byTagOnly)
            ApplyMasterRules(master, el);
        else
            el->apply_stylesheet(SharedContext().master_css());
        el->parse_attributes();
        el->apply_stylesheet(styles_);
    }
    styleCache_.Begin();
    for (const litehtml::element::ptr& el : built)
        el->parse_styles();
    styleCache_.End();
    for (std::size_t i = firstNew; i < twins_.size(); ++i)
        if (!TableBoxInPlace(*twins_[i]))
            return false;
    // A part left out as hidden that its styles show after all: only building the page will do.
    const bool leftOutHidden = LeftOutStillHidden();
    leftOut_.clear();
    if (!leftOutHidden)
        return false;
    built.insert(built.end(), reused.begin(), reused.end());
    // litehtml keeps a table's cells in a grid made from its rows: a table
    // around a part built again makes its grid again.
    for (const litehtml::element::ptr& el : built) {
        el->init();
        for (litehtml::element::ptr t = el->parent(); t; t = t->parent())
            if (IsTable(t->get_display())) {
                t->init();
                break;
            }
    }
    // The parts built again are numbered after the rest; the order is mended when
    // asked for, or once what they replaced outnumbers what is laid out.
    orderStale_ = true;
    if (numbered_.size() > 2 * map_.size() + 4096)
        Renumber();
    return true;
}

void Layout::Renumber()
{
    orderStale_ = false;
    if (numbered_.empty())
        return;
    std::vector<Element*> order;
    std::vector<litehtml::element*> twins;
    order.reserve(map_.size());
    twins.reserve(map_.size());
    std::vector<Element*> stack{numbered_[0]};
    while (!stack.empty()) {
        Element* e = stack.back();
        stack.pop_back();
        auto it = map_.find(e);
        order.push_back(e);
        twins.push_back(it == map_.end() ? nullptr : it->second);
        const auto& nodes = e->Nodes();
        for (auto n = nodes.rbegin(); n != nodes.rend(); ++n)
            if (!(*n)->IsText())
                stack.push_back(n->get());
    }
    numbered_ = std::move(order);
    twins_ = std::move(twins);
}

const std::vector<Element*>& Layout::Elements()
{
    if (orderStale_)
        Renumber();
    return numbered_;
}

Element* Layout::ElementAt(QPoint p)
{
    if (!doc_)
        return nullptr;
    MakeMaps();
    litehtml::element::ptr el = doc_->root()->get_element_by_point(p.x(), p.y(), p.x(), p.y());
    for (; el; el = el->parent()) {
        auto it = back_.find(el.get());
        if (it != back_.end())
            return it->second;
    }
    return nullptr;
}

QRect Layout::Box(Element* e, unsigned areas)
{
    litehtml::element* el = Find(e);
    if (!el)
        return {};
    const unsigned box = areas & 0xF0;
    if (el->get_display() == litehtml::display_table_row) {
        // litehtml places the cells, not the rows: a row is its cells' union.
        QRect row;
        for (std::size_t i = 0, n = el->get_children_count(); i < n; ++i) {
            litehtml::element::ptr cell = el->get_child(int(i));
            litehtml::position p = cell->get_placement();
            QRect r(p.x, p.y, p.width, p.height);
            r.adjust(-cell->padding_left() - cell->border_left(),
                     -cell->padding_top() - cell->border_top(),
                     cell->padding_right() + cell->border_right(),
                     cell->padding_bottom() + cell->border_bottom());
            row |= r;
        }
        return row;
    }
    litehtml::position p = el->get_placement();
    QRect r(p.x, p.y, p.width, p.height);
    if (box >= kPaddingBox)
        r.adjust(-el->padding_left(), -el->padding_top(), el->padding_right(),
                 el->padding_bottom());
    if (box >= kBorderBox)
        r.adjust(-el->border_left(), -el->border_top(), el->border_right(), el->border_bottom());
    if (box == kMarginBox)
        r.adjust(-el->margin_left(), -el->margin_top(), el->margin_right(), el->margin_bottom());
    return r;
}

bool Layout::IsVisible(Element* e)
{
    litehtml::element* el = Find(e);
    if (!el)
        return false;
    for (litehtml::element::ptr cur = el->shared_from_this(); cur; cur = cur->parent())
        if (!cur->is_visible())
            return false;
    return true;
}

std::string Layout::StyleProperty(Element* e, const std::string& name)
{
    const char* v = StylePropertyText(e, name.c_str());
    return v ? v : std::string();
}

const char* Layout::StylePropertyText(Element* e, const char* name)
{
    litehtml::element* el = Find(e);
    return el ? el->get_style_property(name, false, nullptr) : nullptr;
}

const char* Layout::StylePropertyAt(std::size_t index, const char* name)
{
    if (orderStale_)
        Renumber();
    litehtml::element* el = index < twins_.size() ? twins_[index] : nullptr;
    return el ? el->get_style_property(name, false, nullptr) : nullptr;
}

litehtml::uint_ptr Layout::create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                       litehtml::font_style italic, unsigned int decoration,
                                       litehtml::font_metrics* fm)
{
    std::string key = std::string(faceName ? faceName : "") + '\x1f' + std::to_string(size) +
                      '/' + std::to_string(weight) + '/' + std::to_string(int(italic)) + '/' +
                      std::to_string(decoration);
    std::unique_ptr<Font>& font = fonts_[key];
    if (!font) {
        QFont f(ChooseFamily(faceName));
        f.setPixelSize(size > 0 ? size : get_default_font_size());
        f.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
        f.setItalic(italic == litehtml::fontStyleItalic);
        f.setUnderline((decoration & litehtml::font_decoration_underline) != 0);
        f.setStrikeOut((decoration & litehtml::font_decoration_linethrough) != 0);
        f.setOverline((decoration & litehtml::font_decoration_overline) != 0);
        font = std::make_unique<Font>(f);
    }
    if (fm) {
        fm->ascent = font->metrics.ascent();
        fm->descent = font->metrics.descent();
        fm->height = font->metrics.height();
        fm->x_height = font->metrics.xHeight();
        fm->draw_spaces = font->font.italic() || decoration != 0;
    }
    return reinterpret_cast<litehtml::uint_ptr>(font.get());
}

void Layout::delete_font(litehtml::uint_ptr)
{
    // Fonts stay cached for the next document; they go with the layout.
}

int Layout::text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont)
{
    auto* font = reinterpret_cast<Font*>(hFont);
    // Bounded: a page of distinct words should not keep them all.
    if (font->widths.size() > 50000)
        font->widths.clear();
    auto [it, added] = font->widths.try_emplace(text, 0);
    if (added)
        it->second = font->metrics.horizontalAdvance(QString::fromUtf8(text));
    return it->second;
}

void Layout::draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text,
                       litehtml::uint_ptr hFont, litehtml::web_color color,
                       const litehtml::position& pos)
{
    auto* p = reinterpret_cast<QPainter*>(hdc);
    auto* font = reinterpret_cast<Font*>(hFont);
    p->setFont(font->font);
    p->setPen(ToQColor(color));
    p->drawText(QPoint(pos.x, pos.y + font->metrics.ascent()), QString::fromUtf8(text));
}

int Layout::pt_to_px(int pt) const
{
    return pt * 96 / 72;
}

int Layout::get_default_font_size() const
{
    return 12;
}

const litehtml::tchar_t* Layout::get_default_font_name() const
{
    return "DejaVu Sans";
}

void Layout::draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker)
{
    auto* p = reinterpret_cast<QPainter*>(hdc);
    const QRect r = ToQRect(marker.pos);
    if (!marker.image.empty()) {
        const QImage& img = Image(marker.image, marker.baseurl ? marker.baseurl : "");
        if (!img.isNull())
            p->drawImage(r, img);
        return;
    }
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    const QColor c = ToQColor(marker.color);
    switch (marker.marker_type) {
    case litehtml::list_style_type_circle:
        p->setPen(c);
        p->setBrush(Qt::NoBrush);
        p->drawEllipse(r.adjusted(0, 0, -1, -1));
        break;
    case litehtml::list_style_type_disc:
        p->setPen(Qt::NoPen);
        p->setBrush(c);
        p->drawEllipse(r);
        break;
    case litehtml::list_style_type_square: p->fillRect(r, c); break;
    default: break;
    }
    p->restore();
}

std::string Layout::Resolve(const std::string& src, const std::string& base) const
{
    const std::wstring b = QString::fromStdString(base).toStdWString();
    return QString::fromStdWString(view_->CombineUrl(QString::fromStdString(src).toStdWString(), b))
        .toStdString();
}

const QImage& Layout::Image(const std::string& src, const std::string& base)
{
    const std::string url = Resolve(src, base);
    auto it = images_.find(url);
    if (it == images_.end()) {
        const QByteArray data = view_->LoadData(url);
        it = images_.emplace(url, QImage::fromData(data)).first;
    }
    return it->second;
}

void Layout::load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl, bool)
{
    Image(src, baseurl ? baseurl : "");
}

void Layout::get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                            litehtml::size& sz)
{
    const QImage& img = Image(src, baseurl ? baseurl : "");
    sz.width = img.width();
    sz.height = img.height();
}

void Layout::draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg)
{
    auto* p = reinterpret_cast<QPainter*>(hdc);
    const QRect clip = ToQRect(bg.clip_box);
    if (bg.image.empty()) {
        if (bg.color.alpha == 0)
            return;
        const auto& r = bg.border_radius;
        if (r.top_left_x || r.top_right_x || r.bottom_left_x || r.bottom_right_x) {
            p->save();
            p->setRenderHint(QPainter::Antialiasing);
            QPainterPath path;
            path.addRoundedRect(clip, r.top_left_x, r.top_left_y);
            p->fillPath(path, ToQColor(bg.color));
            p->restore();
        } else {
            p->fillRect(clip, ToQColor(bg.color));
        }
        return;
    }
    const QImage& img = Image(bg.image, bg.baseurl);
    if (img.isNull())
        return;
    const int w = bg.image_size.width > 0 ? bg.image_size.width : img.width();
    const int h = bg.image_size.height > 0 ? bg.image_size.height : img.height();
    p->save();
    p->setClipRect(clip, Qt::IntersectClip);
    int x0 = bg.position_x, y0 = bg.position_y;
    const bool repeatX = bg.repeat == litehtml::background_repeat_repeat ||
                         bg.repeat == litehtml::background_repeat_repeat_x;
    const bool repeatY = bg.repeat == litehtml::background_repeat_repeat ||
                         bg.repeat == litehtml::background_repeat_repeat_y;
    if (repeatX)
        while (x0 > clip.left())
            x0 -= w;
    if (repeatY)
        while (y0 > clip.top())
            y0 -= h;
    for (int y = y0; y < clip.bottom() + 1; y += h) {
        for (int x = x0; x < clip.right() + 1; x += w) {
            p->drawImage(QRect(x, y, w, h), img);
            if (!repeatX)
                break;
        }
        if (!repeatY)
            break;
    }
    p->restore();
}

void Layout::draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& b,
                          const litehtml::position& pos, bool)
{
    auto* p = reinterpret_cast<QPainter*>(hdc);
    auto visible = [](const litehtml::border& side) {
        return side.width > 0 && side.style != litehtml::border_style_none &&
               side.style != litehtml::border_style_hidden;
    };
    if (visible(b.top))
        p->fillRect(QRect(pos.x, pos.y, pos.width, b.top.width), ToQColor(b.top.color));
    if (visible(b.bottom))
        p->fillRect(QRect(pos.x, pos.bottom() - b.bottom.width, pos.width, b.bottom.width),
                    ToQColor(b.bottom.color));
    if (visible(b.left))
        p->fillRect(QRect(pos.x, pos.y, b.left.width, pos.height), ToQColor(b.left.color));
    if (visible(b.right))
        p->fillRect(QRect(pos.right() - b.right.width, pos.y, b.right.width, pos.height),
                    ToQColor(b.right.color));
}

void Layout::set_caption(const litehtml::tchar_t*) {}
void Layout::set_base_url(const litehtml::tchar_t*) {}
void Layout::link(const std::shared_ptr<litehtml::document>&, const litehtml::element::ptr&) {}
void Layout::on_anchor_click(const litehtml::tchar_t*, const litehtml::element::ptr&) {}
void Layout::set_cursor(const litehtml::tchar_t*) {}

void Layout::transform_text(litehtml::tstring& text, litehtml::text_transform tt)
{
    QString s = QString::fromStdString(text);
    switch (tt) {
    case litehtml::text_transform_uppercase: s = s.toUpper(); break;
    case litehtml::text_transform_lowercase: s = s.toLower(); break;
    case litehtml::text_transform_capitalize:
        if (!s.isEmpty())
            s[0] = s[0].toUpper();
        break;
    default: break;
    }
    text = s.toStdString();
}

void Layout::import_css(litehtml::tstring& text, const litehtml::tstring& url,
                        litehtml::tstring& baseurl)
{
    const std::string resolved = Resolve(url, baseurl);
    text = view_->LoadData(resolved).toStdString();
    baseurl = resolved;
}

void Layout::set_clip(const litehtml::position& pos, const litehtml::border_radiuses&,
                      bool valid_x, bool valid_y)
{
    if (!painter_)
        return;
    painter_->save();
    ++clipDepth_;
    QRect r = ToQRect(pos);
    if (!valid_x) {
        r.setLeft(-1000000);
        r.setRight(1000000);
    }
    if (!valid_y) {
        r.setTop(-1000000);
        r.setBottom(1000000);
    }
    painter_->setClipRect(r, Qt::IntersectClip);
}

void Layout::del_clip()
{
    if (painter_ && clipDepth_ > 0) {
        painter_->restore();
        --clipDepth_;
    }
}

void Layout::get_client_rect(litehtml::position& client) const
{
    client = litehtml::position(0, 0, width_, view_->viewport()->height());
}

std::shared_ptr<litehtml::element> Layout::create_element(
    const litehtml::tchar_t* tag, const litehtml::string_map&,
    const std::shared_ptr<litehtml::document>& doc)
{
    return styleCache_.CreateElement(tag, doc);
}

void Layout::get_media_features(litehtml::media_features& media) const
{
    media.type = view_->MediaType() == "print" ? litehtml::media_type_print
                                               : litehtml::media_type_screen;
    media.width = width_;
    media.height = view_->viewport()->height();
    media.device_width = 1920;
    media.device_height = 1080;
    media.color = 8;
    media.color_index = 0;
    media.monochrome = 0;
    media.resolution = 96;
}

void Layout::get_language(litehtml::tstring& language, litehtml::tstring& culture) const
{
    language = "en";
    culture = "";
}

const char* MasterStyleSheet()
{
    // Kept short on purpose: litehtml tries every selector on every element,
    // so each selector here costs time on large pages. Hence one rule per
    // element type (all rules here are equally specific, so merging keeps
    // what each element gets).
    return R"CSS(
html { display: block; color: black; background-color: white; }
body { display: block; margin: 8px; font-family: "DejaVu Sans", sans-serif; font-size: 12px; }
div { display: block; }
p, form { display: block; margin: 1em 0; }
h1 { display: block; font-size: 2em; margin: .67em 0; font-weight: bold; }
h2 { display: block; font-size: 1.5em; margin: .75em 0; font-weight: bold; }
h3 { display: block; font-size: 1.17em; margin: .83em 0; font-weight: bold; }
h4, h5, h6 { display: block; margin: 1em 0; font-weight: bold; }
ul { display: block; margin: 1em 0; padding-left: 40px; list-style-type: disc; }
ol { display: block; margin: 1em 0; padding-left: 40px; list-style-type: decimal; }
hr { display: block; border: 1px inset gray; margin: .5em auto; }
pre { display: block; font-family: monospace; white-space: pre; }
head, style, script, title, link, meta, include, menu, popup { display: none; }
li { display: list-item; }
table { display: table; border-spacing: 2px; }
thead { display: table-header-group; }
tbody { display: table-row-group; vertical-align: middle; }
tr { display: table-row; vertical-align: inherit; }
td { display: table-cell; vertical-align: inherit; padding: 1px; }
th { display: table-cell; vertical-align: inherit; padding: 1px; font-weight: bold;
     text-align: center; }
b, strong { font-weight: bold; }
i, em { font-style: italic; }
code { font-family: monospace; }
small { font-size: .83em; }
u { text-decoration: underline; }
a { color: #00e; text-decoration: underline; }
img, iframe, widget, object, input, button { display: inline-block; }
br { display: block; }
)CSS";
}

}  // namespace html
