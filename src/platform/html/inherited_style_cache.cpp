#include "platform/html/inherited_style_cache.h"

#include <dlfcn.h>
#include <litehtml/el_anchor.h>
#include <litehtml/el_body.h>
#include <litehtml/el_div.h>
#include <litehtml/el_para.h>
#include <litehtml/el_table.h>
#include <litehtml/el_td.h>
#include <litehtml/el_tr.h>

#include "platform/html/selector.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace html {

namespace {

// litehtml's element class `Base` whose inherited lookups go through the
// cache. Lookups keep litehtml's rules: the element's own value unless it is
// "inherit", else the parent's answer, else the caller's default.
std::string Lower(const litehtml::tchar_t* text);

// True for the attributes litehtml may turn into properties of the element
// (and, to be safe, the other presentational attributes of HTML).
bool Presentational(const std::string& attribute)
{
    static constexpr std::string_view kStyling[] = {
        "align",      "alink",        "background",  "bgcolor",     "border",
        "bordercolor", "cellpadding", "cellspacing", "char",        "charoff",
        "clear",      "color",        "compact",     "face",        "frame",
        "height",     "hidden",       "hspace",      "leftmargin",  "link",
        "marginheight", "marginwidth", "noshade",    "nowrap",      "rules",
        "size",       "start",        "style",       "text",        "topmargin",
        "type",       "valign",       "vlink",       "vspace",      "width"};
    return std::any_of(std::begin(kStyling), std::end(kStyling), [&](std::string_view name) {
        return name.size() == attribute.size() &&
               std::equal(name.begin(), name.end(), attribute.begin(), [](char a, char b) {
                   return a == std::tolower(static_cast<unsigned char>(b));
               });
    });
}

// Text for a key, its length first: no text can pass for another one.
void AppendKeyPart(std::string& key, std::string_view text)
{
    key += std::to_string(text.size());
    key += ':';
    key += text;
}

// True when nothing below `el` is positioned.
bool AllStatic(const litehtml::element& el)
{
    for (std::size_t i = 0, n = el.get_children_count(); i < n; ++i) {
        const litehtml::element::ptr child = el.get_child(int(i));
        if (child->get_element_position() != litehtml::element_position_static ||
            !AllStatic(*child))
            return false;
    }
    return true;
}

template <class Base>
class CachingElement final : public Base, public KeptLayout, public MatchSubject {
public:
    CachingElement(const std::shared_ptr<litehtml::document>& doc, InheritedStyleCache* cache)
        : Base(doc), cache_(cache)
    {
    }

    // litehtml tries each rule of the sheet here and then styles the
    // children with the same sheet: here only the rules the element could
    // match are tried (its children out of the way meanwhile), and the
    // children are styled with the whole sheet.
    void apply_stylesheet(const litehtml::css& sheet) override
    {
        if (!cache_->Indexed(sheet)) {
            Base::apply_stylesheet(sheet);
            return;
        }
        // An element alike to one styled before in this pass is styled as that
        // one was: the same rules matched and the same declarations added.
        // (Links set pseudo-classes of their own while styled.)
        const unsigned context =
            std::is_same_v<Base, litehtml::el_anchor> ? 0 : cache_->MatchContext(this);
        if (const InheritedStyleCache::Matched* matched =
                context ? cache_->MatchedBy(context) : nullptr) {
            for (const auto& [rule, used] : matched->used)
                this->m_used_styles.push_back(std::make_unique<litehtml::used_selector>(rule, used));
            // Styled from the same rules so far, it ends with the same style.
            if (matched->keyBefore && matched->keyBefore == key_ &&
                matched->rulesBefore == rulesKey_ &&
                cache_->Current(key_, keyGeneration_) &&
                matched->keyGeneration == keyGeneration_) {
                this->m_style = matched->style;
                key_ = matched->keyAfter;
                rulesKey_ = matched->rulesAfter;
            } else {
                for (const auto& [style, baseurl] : matched->added)
                    add_style(style, baseurl);
            }
        } else {
            const InheritedStyleCache::Candidates* rules = cache_->RulesFor(
                sheet, this->m_tag, this->get_attr("id"), this->m_class_values,
                this->get_attr("class"));
            const std::size_t before = this->m_used_styles.size();
            InheritedStyleCache::Matched record;
            if (cache_->Current(key_, keyGeneration_)) {
                record.keyBefore = key_;
                record.rulesBefore = rulesKey_;
                record.keyGeneration = keyGeneration_;
            }
            recording_ = context ? &record.added : nullptr;
            {
                struct Aside {
                    litehtml::elements_vector& children;
                    litehtml::elements_vector kept;
                    explicit Aside(litehtml::elements_vector& c) : children(c)
                    {
                        kept.swap(children);
                    }
                    ~Aside() { kept.swap(children); }
                } aside(this->m_children);
                candidates_ = rules;
                Base::apply_stylesheet(sheet);
                candidates_ = nullptr;
            }
            recording_ = nullptr;
            if (context) {
                for (std::size_t i = before; i < this->m_used_styles.size(); ++i)
                    record.used.emplace_back(this->m_used_styles[i]->m_selector,
                                             this->m_used_styles[i]->m_used);
                if (record.keyBefore && cache_->Current(key_, keyGeneration_) &&
                    record.keyGeneration == keyGeneration_) {
                    record.style = this->m_style;
                    record.keyAfter = key_;
                    record.rulesAfter = rulesKey_;
                } else {
                    record.keyBefore = nullptr;
                }
                cache_->RememberMatched(context, std::move(record));
            }
        }
        for (const litehtml::element::ptr& child : this->m_children)
            if (child->get_display() != litehtml::display_inline_text)
                child->apply_stylesheet(sheet);
    }

    // While the element is styled from the indexed sheet, the rules it cannot
    // match are turned away before litehtml compares them part by part.
    using Base::select;
    int select(const litehtml::css_selector& selector, bool apply_pseudo) override
    {
        if (candidates_ && !candidates_->Has(selector))
            return litehtml::select_no_match;
        return Base::select(selector, apply_pseudo);
    }

    void OwnMatchKey(std::string& key, const InheritedStyleCache& cache) const override
    {
        AppendKeyPart(key, this->m_tag);
        for (const auto& [name, value] : this->m_attrs)
            if (cache.AttributeTested(Lower(name.c_str()))) {
                AppendKeyPart(key, name);
                AppendKeyPart(key, value);
            }
        key += '/';
        litehtml::string_vector states = this->m_pseudo_classes;
        std::sort(states.begin(), states.end());
        key += std::to_string(states.size());
        for (const litehtml::tstring& state : states)
            AppendKeyPart(key, state);
    }

    const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                                const litehtml::tchar_t* def) const override
    {
        // A property the element sets itself, not to "inherit", is its answer
        // either way. (Its key follows every change to its style, in a styling
        // pass or not.)
        if (!InheritedStyleCache::Shortcuts())
            return Base::get_style_property(name, inherited, def);
        if (name && !(name[0] == '-' && name[1] == '-') &&
            cache_->Current(key_, keyGeneration_)) {
            const litehtml::tchar_t* own = cache_->OwnProperty(key_, this->m_style, name);
            if (own && litehtml::t_strcasecmp(own, "inherit") != 0)
                return own;
            if (!own && !inherited)
                return def;
        }
        // Custom properties are looked up by names built on the fly (whose
        // addresses are reused): only litehtml's own names are remembered.
        if (!inherited || !cache_->Active() || !name || (name[0] == '-' && name[1] == '-'))
            return Base::get_style_property(name, inherited, def);
        if (generation_ != cache_->Generation()) {
            answers_.clear();
            generation_ = cache_->Generation();
        }
        // litehtml names its properties with string literals: the address
        // identifies the name.
        for (const Answer& a : answers_)
            if (a.name == name)
                return a.value ? a.value : def;
        const litehtml::tchar_t* value = Base::get_style_property(name, true, nullptr);
        answers_.push_back({name, value});
        return value ? value : def;
    }

    // litehtml parses the declarations of each rule that applies into the
    // element's style; a parsed copy merged in gives the same properties.
    void add_style(const litehtml::tstring& style, const litehtml::tstring& baseurl) override
    {
        if (recording_)
            recording_->emplace_back(style, baseurl);
        if (const litehtml::style* parsed = cache_->ParsedRule(style, baseurl, this)) {
            this->m_style.combine(*parsed);
            key_ = cache_->Current(key_, keyGeneration_) ? cache_->Extend(key_, parsed) : nullptr;
            rulesKey_ = cache_->Current(rulesKey_, keyGeneration_)
                            ? cache_->Extend(rulesKey_, parsed)
                            : nullptr;
        } else {
            Base::add_style(style, baseurl);
            key_ = nullptr;
            rulesKey_ = nullptr;
        }
    }

    // Attributes that style the element (style, width, bgcolor, align...) make
    // its style its own. The others (id, class, those rules test, and those
    // litehtml ignores) only name or mark it: what rules they make match is
    // known by the rules merged.
    void parse_attributes() override
    {
        Base::parse_attributes();
        for (const auto& [attribute, value] : this->m_attrs)
            if (Presentational(attribute)) {
                key_ = nullptr;
                apart_ = true;
                break;
            }
    }

    // A table laid out before at the same width, with nothing in it changed
    // since, is only moved to where it goes now.
    int render(int x, int y, int max_width, bool second_pass) override
    {
        if (this->m_display != litehtml::display_table)
            return RenderBlock(x, y, max_width, second_pass);
        if (layoutValid_ && layoutGeneration_ == cache_->LayoutGeneration() &&
            layoutWidth_ == max_width && layoutSecondPass_ == second_pass) {
            this->m_pos.x = x + layoutDx_;
            this->m_pos.y = y + layoutDy_;
        } else {
            ForgetWalks();
            layoutResult_ = Base::render(x, y, max_width, second_pass);
            layoutValid_ = true;
            layoutGeneration_ = cache_->LayoutGeneration();
            layoutWidth_ = max_width;
            layoutSecondPass_ = second_pass;
            layoutDx_ = this->m_pos.x - x;
            layoutDy_ = this->m_pos.y - y;
        }
        layoutX_ = x;
        layoutY_ = y;
        layoutBoxWidth_ = this->m_pos.width;
        layoutBoxHeight_ = this->m_pos.height;
        return layoutResult_;
    }

    // After each layout the page is walked whole for its size and for positioned
    // elements: a table whose layout was kept answers from what it found the last time.
    void calc_document_size(litehtml::size& sz, int x, int y) override
    {
        if (this->m_display != litehtml::display_table) {
            Base::calc_document_size(sz, x, y);
            return;
        }
        if (!layoutValid_ || !extentKnown_) {
            constexpr int kNone = -(1 << 29);
            litehtml::size reach;
            reach.width = reach.height = kNone;
            Base::calc_document_size(reach, 0, 0);
            extentEmpty_ = reach.width == kNone && reach.height == kNone;
            extentRight_ = reach.width - this->m_pos.x;
            extentBottom_ = reach.height - this->m_pos.y;
            extentKnown_ = layoutValid_;
        }
        if (extentEmpty_)
            return;
        sz.width = std::max(sz.width, x + this->m_pos.x + extentRight_);
        sz.height = std::max(sz.height, y + this->m_pos.y + extentBottom_);
    }

    bool fetch_positioned() override
    {
        if (this->m_display != litehtml::display_table)
            return Base::fetch_positioned();
        if (layoutValid_ && staticKnown_)
            return false;
        const bool found = Base::fetch_positioned();
        staticKnown_ = layoutValid_ && !found && AllStatic(*this);
        return found;
    }

    // Nothing of a table lies outside its box: one outside the area drawn
    // is not walked (positioned elements are drawn apart and still are).
    void draw_children(litehtml::uint_ptr hdc, int x, int y, const litehtml::position* clip,
                       litehtml::draw_flag flag, int zindex) override
    {
        if (clip && flag != litehtml::draw_positioned &&
            this->m_display == litehtml::display_table) {
            litehtml::position box = this->m_pos;
            box.x += x - this->m_padding.left - this->m_borders.left;
            box.y += y - this->m_padding.top - this->m_borders.top;
            box.width += this->m_padding.left + this->m_padding.right + this->m_borders.left +
                         this->m_borders.right;
            box.height += this->m_padding.top + this->m_padding.bottom + this->m_borders.top +
                          this->m_borders.bottom;
            if (!box.does_intersect(clip))
                return;
        }
        Base::draw_children(hdc, x, y, clip, flag, zindex);
    }

    // An element styled from the same rules as one of this pass, below a parent
    // of the same style, takes the values that one computed; its children are
    // styled as litehtml would.
    void parse_styles(bool is_reparse) override
    {
        static const char kKind = 0;
        const CachingElement* donor = nullptr;
        bool shareable = false;
        if (!is_reparse && cache_->Active() && cache_->Current(rulesKey_, keyGeneration_)) {
            // The tag names the built-in rules, merged before the element's
            // attributes; the attributes, where they style it, are part of it.
            std::string what;
            AppendKeyPart(what, this->m_tag);
            if (apart_ || this->get_attr("style"))
                for (const auto& [name, value] : this->m_attrs) {
                    AppendKeyPart(what, name);
                    AppendKeyPart(what, value);
                }
            const litehtml::element::ptr parent = this->parent();
            shareable = true;
            donor = static_cast<const CachingElement*>(
                cache_->StyleDonor(this, &kKind, rulesKey_, what, parent.get()));
        }
        if (!donor) {
            Base::parse_styles(is_reparse);
            // Positioned boxes are the document's business too: never shared.
            if (shareable && this->m_el_position == litehtml::element_position_static)
                cache_->StyledAlone(this);
            return;
        }
        TakeComputedStyle(*donor);
        for (const litehtml::element::ptr& child : this->m_children)
            child->parse_styles();
    }

    // The style starts again from the rules alone (litehtml does not parse the
    // attributes again); an element styled by its own attributes stays apart.
    void refresh_styles() override
    {
        key_ = apart_ ? nullptr : cache_->Start();
        rulesKey_ = cache_->Start();
        keyGeneration_ = cache_->KeyGeneration();
        Base::refresh_styles();
    }

private:
    static constexpr std::size_t kStackMin = 16;

    static bool SameBox(const litehtml::position& a, const litehtml::position& b)
    {
        return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
    }
    static bool SameMargins(const litehtml::margins& a, const litehtml::margins& b)
    {
        return a.left == b.left && a.right == b.right && a.top == b.top && a.bottom == b.bottom;
    }
    // A child the block may keep in place: a table in the flow, laid out in this generation,
    // and left where its own layout put it.
    static bool StackedPlacement(const litehtml::element& child, unsigned generation,
                                 KeptLayout::Placement& placement)
    {
        if (child.get_display() != litehtml::display_table ||
            child.get_element_position() != litehtml::element_position_static ||
            child.get_float() != litehtml::float_none)
            return false;
        const auto* kept = dynamic_cast<const KeptLayout*>(&child);
        if (!kept)
            return false;
        placement = kept->LastPlacement();
        return placement.valid && placement.generation == generation;
    }

    // A block element. One holding many tables and nothing else, laid out last time for the
    // same place and width, with no floats beside it: when each table changed since lays out
    // again where it was, to the same size, nothing else of the block moves.
    int RenderBlock(int x, int y, int max_width, bool second_pass)
    {
        if (stack_ && stack_->valid && BlockStillFits(x, y, max_width, second_pass)) {
            const KeptLayout::Placement& own = stack_->own;
            stack_->forgotten.clear();
            this->m_pos = own.box;
            this->m_pos.x = x + (own.box.x - own.x);
            this->m_pos.y = y + (own.box.y - own.y);
            return own.result;
        }
        const int result = Base::render(x, y, max_width, second_pass);
        KeepStack(x, y, max_width, second_pass, result);
        return result;
    }

    bool NoFloatsBeside() const
    {
        litehtml::element::ptr holder = this->parent();
        while (holder && !holder->is_floats_holder())
            holder = holder->parent();
        return !holder || (holder->get_floats_height(litehtml::float_none) <= 0 &&
                           holder->get_left_floats_height() <= 0 &&
                           holder->get_right_floats_height() <= 0);
    }

    bool BlockStillFits(int x, int y, int max_width, bool second_pass)
    {
        const unsigned generation = cache_->LayoutGeneration();
        Stack& stack = *stack_;
        const KeptLayout::Placement& own = stack.own;
        if (own.generation != generation || own.x != x || own.y != y || own.width != max_width ||
            own.secondPass != second_pass || this->m_children.size() != stack.tables.size() ||
            this->m_boxes.size() != stack.tables.size() || !NoFloatsBeside())
            return false;
        std::size_t changed[kForgottenMax];
        std::size_t count = 0;
        for (std::size_t i = 0; i < stack.tables.size(); ++i) {
            const litehtml::element* child = this->m_children[i].get();
            if (std::find(stack.forgotten.begin(), stack.forgotten.end(), child) !=
                stack.forgotten.end()) {
                if (count == kForgottenMax)
                    return false;
                changed[count++] = i;
            } else if (child != stack.tables[i].el) {
                return false;
            }
        }
        for (std::size_t n = 0; n < count; ++n) {
            const std::size_t i = changed[n];
            const litehtml::element::ptr& child = this->m_children[i];
            const Stacked& was = stack.tables[i];
            const int result = child->render(was.placement.x, was.placement.y,
                                             was.placement.width, was.placement.secondPass);
            KeptLayout::Placement now;
            if (!StackedPlacement(*child, generation, now) || result != was.placement.result ||
                !SameBox(now.box, was.placement.box) ||
                !SameBox(child->get_position(), was.placement.box) ||
                !SameMargins(child->get_margins(), was.margins))
                return false;
        }
        // A table put in another's place takes its box in the block's flow.
        for (std::size_t n = 0; n < count; ++n) {
            const std::size_t i = changed[n];
            if (stack.tables[i].el != this->m_children[i].get()) {
                this->m_boxes[i]->add_element(this->m_children[i]);
                stack.tables[i].el = this->m_children[i].get();
            }
        }
        return true;
    }

    // After a whole layout of a block of tables: where each went, when nothing moved them
    // after their own layout.
    void KeepStack(int x, int y, int max_width, bool second_pass, int result)
    {
        if (this->m_children.size() < kStackMin ||
            this->m_boxes.size() != this->m_children.size() ||
            this->m_children.front()->get_display() != litehtml::display_table) {
            stack_.reset();
            return;
        }
        if (!stack_)
            stack_ = std::make_unique<Stack>();
        Stack& stack = *stack_;
        stack.valid = false;
        stack.tables.clear();
        stack.forgotten.clear();
        const unsigned generation = cache_->LayoutGeneration();
        stack.tables.reserve(this->m_children.size());
        litehtml::elements_vector held;
        for (std::size_t i = 0; i < this->m_children.size(); ++i) {
            const litehtml::element::ptr& child = this->m_children[i];
            KeptLayout::Placement placed;
            held.clear();
            if (this->m_boxes[i]->get_type() == litehtml::box_block)
                this->m_boxes[i]->get_elements(held);
            if (!StackedPlacement(*child, generation, placed) ||
                !SameBox(child->get_position(), placed.box) || held.size() != 1 ||
                held[0] != child) {
                stack_.reset();
                return;
            }
            stack.tables.push_back({child.get(), placed, child->get_margins()});
        }
        stack.own = {true, generation, x, y, max_width, second_pass, result, this->m_pos};
        stack.valid = true;
    }

    // Every value parse_styles computes from the style of an element.
    void TakeComputedStyle(const CachingElement& d)
    {
        this->m_vertical_align = d.m_vertical_align;
        this->m_text_align = d.m_text_align;
        this->m_display = d.m_display;
        this->m_list_style_type = d.m_list_style_type;
        this->m_list_style_position = d.m_list_style_position;
        this->m_white_space = d.m_white_space;
        this->m_float = d.m_float;
        this->m_clear = d.m_clear;
        this->m_bg = d.m_bg;
        this->m_el_position = d.m_el_position;
        this->m_line_height = d.m_line_height;
        this->m_lh_predefined = d.m_lh_predefined;
        this->m_font = d.m_font;
        this->m_font_size = d.m_font_size;
        this->m_font_metrics = d.m_font_metrics;
        this->m_css_margins = d.m_css_margins;
        this->m_css_padding = d.m_css_padding;
        this->m_css_borders = d.m_css_borders;
        this->m_css_width = d.m_css_width;
        this->m_css_height = d.m_css_height;
        this->m_css_min_width = d.m_css_min_width;
        this->m_css_min_height = d.m_css_min_height;
        this->m_css_max_width = d.m_css_max_width;
        this->m_css_max_height = d.m_css_max_height;
        this->m_css_offsets = d.m_css_offsets;
        this->m_css_text_indent = d.m_css_text_indent;
        this->m_overflow = d.m_overflow;
        this->m_visibility = d.m_visibility;
        this->m_z_index = d.m_z_index;
        this->m_box_sizing = d.m_box_sizing;
        this->m_css_border_spacing_x = d.m_css_border_spacing_x;
        this->m_css_border_spacing_y = d.m_css_border_spacing_y;
        this->m_border_spacing_x = d.m_border_spacing_x;
        this->m_border_spacing_y = d.m_border_spacing_y;
        this->m_border_collapse = d.m_border_collapse;
        this->m_margins = d.m_margins;
        this->m_padding = d.m_padding;
        this->m_borders = d.m_borders;
        this->m_skip = d.m_skip;
    }

    struct Answer {
        const litehtml::tchar_t* name;
        const litehtml::tchar_t* value;  // null: nobody sets it
    };
    InheritedStyleCache* cache_;
    // The rules merged into this element's style so far, or null.
    InheritedStyleCache::StyleKey* key_ = cache_->Start();
    // The same whatever the element's attributes: the rules alone.
    InheritedStyleCache::StyleKey* rulesKey_ = cache_->Start();
    unsigned keyGeneration_ = cache_->KeyGeneration();
    bool apart_ = false;  // styled by attributes of its own
    // The rules the element could match while it is styled from the indexed sheet.
    const InheritedStyleCache::Candidates* candidates_ = nullptr;
    // Where the declarations added go while this element's styling is recorded.
    std::vector<std::pair<litehtml::tstring, litehtml::tstring>>* recording_ = nullptr;
    mutable unsigned generation_ = 0;
    mutable std::vector<Answer> answers_;
};

template <class Base>
litehtml::element::ptr Make(const std::shared_ptr<litehtml::document>& doc,
                            InheritedStyleCache* cache)
{
    return std::make_shared<CachingElement<Base>>(doc, cache);
}

// True when `text` refers to custom properties, whose values come from the
// element styled.
bool UsesVariables(const litehtml::tstring& text)
{
    for (std::size_t i = text.find('('); i != litehtml::tstring::npos; i = text.find('(', i + 1))
        if (i >= 3 && std::tolower(static_cast<unsigned char>(text[i - 3])) == 'v' &&
            std::tolower(static_cast<unsigned char>(text[i - 2])) == 'a' &&
            std::tolower(static_cast<unsigned char>(text[i - 1])) == 'r')
            return true;
    return false;
}

std::string Lower(const litehtml::tchar_t* text)
{
    std::string s(text);
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

void InheritedStyleCache::IndexRules(const litehtml::css& sheet)
{
    index_ = RuleIndex{};
    index_.sheet = &sheet;
    index_.count = sheet.selectors().size();
    index_.usable = true;
    index_.alike = true;
    const litehtml::css_selector::vector& rules = sheet.selectors();
    // Candidates are known by the number each rule was read as: one rule a
    // number, below the count.
    std::vector<bool> numbered(rules.size(), false);
    for (const litehtml::css_selector::ptr& rule : rules) {
        const auto order = static_cast<std::size_t>(rule->m_order);
        if (rule->m_order < 0 || order >= rules.size() || numbered[order]) {
            index_.usable = false;
            return;
        }
        numbered[order] = true;
    }
    for (unsigned i = 0; i < rules.size(); ++i) {
        for (const litehtml::css_selector* s = rules[i].get(); s; s = s->m_left.get()) {
            const std::string tag = s->m_right.m_tag == "*" ? std::string()
                                                            : Lower(s->m_right.m_tag.c_str());
            for (const litehtml::css_attribute_selector& a : s->m_right.m_attrs) {
                // A rule that styles a ::before or ::after box makes litehtml add
                // children while the element is styled: such sheets go its way.
                if (a.condition == litehtml::select_pseudo_element)
                    index_.usable = false;
                if (a.condition != litehtml::select_pseudo_class) {
                    index_.attributes[Lower(a.attribute.c_str())] = true;
                    continue;
                }
                // States are the element's own; any other pseudo-class may
                // look at the element's place, and those counting elements
                // of a type or naming siblings at the other siblings too.
                const std::string_view name(a.val);
                if (name.find("of-type") != std::string_view::npos ||
                    name.find_first_of("+~") != std::string_view::npos)
                    index_.alike = false;
                const auto& states = PseudoClassStates();
                if (std::none_of(states.begin(), states.end(), [&](unsigned bit) {
                        return name == StatePseudoClass(bit);
                    }))
                    index_.positional[tag] = true;
                // Counting ones test no attributes; others (:not, :lang) may.
                if (name != "first-child" && name != "last-child" && name != "only-child" &&
                    name != "root" && !name.starts_with("nth-child(") &&
                    !name.starts_with("nth-last-child(") &&
                    std::none_of(states.begin(), states.end(),
                                 [&](unsigned bit) { return name == StatePseudoClass(bit); }))
                    index_.anyAttribute = true;
            }
            if (s->m_left && s->m_combinator == litehtml::combinator_general_sibling)
                index_.alike = false;
            unsigned run = 0;
            for (const litehtml::css_selector* t = s;
                 t->m_left && t->m_combinator == litehtml::combinator_adjacent_sibling;
                 t = t->m_left.get())
                ++run;
            if (run)
                index_.earlier[tag] = std::max(index_.earlier[tag], run);
        }
        // Matching compares ids and classes without case and tags as
        // written: lower case on both sides keeps every rule that may match.
        const litehtml::css_element_selector& last = rules[i]->m_right;
        const std::string* id = nullptr;
        const std::string* cls = nullptr;
        for (const litehtml::css_attribute_selector& a : last.m_attrs) {
            if (a.condition != litehtml::select_equal)
                continue;
            if (a.attribute == "id")
                id = &a.val;
            else if (a.attribute == "class" && !a.class_val.empty())
                cls = &a.class_val.front();
        }
        if (id)
            index_.byId[Lower(id->c_str())].push_back(i);
        else if (cls)
            index_.byClass[Lower(cls->c_str())].push_back(i);
        else if (!last.m_tag.empty() && last.m_tag != "*")
            index_.byTag[Lower(last.m_tag.c_str())].push_back(i);
        else
            index_.any.push_back(i);
    }
}

bool InheritedStyleCache::Positional(const std::string& tag) const
{
    return index_.positional.count("") || index_.positional.count(tag);
}

unsigned InheritedStyleCache::Earlier(const std::string& tag) const
{
    unsigned n = 0;
    for (const std::string& t : {std::string(), tag})
        if (auto it = index_.earlier.find(t); it != index_.earlier.end())
            n = std::max(n, it->second);
    return n;
}

unsigned InheritedStyleCache::MatchContext(const litehtml::element* el)
{
    const auto* subject = dynamic_cast<const MatchSubject*>(el);
    if (!index_.usable || !index_.alike || !subject)
        return 0;
    if (subject->matchPass_ == matchPass_)
        return subject->matchContext_;
    subject->matchPass_ = matchPass_;
    subject->matchContext_ = 0;
    // The context of the parent, which stands for all the ancestors.
    const litehtml::element::ptr parent = el->parent();
    std::string key;
    if (parent) {
        const unsigned above = MatchContext(parent.get());
        if (!above)
            return 0;
        key = std::to_string(above);
    }
    key += '/';
    subject->OwnMatchKey(key, *this);
    const std::string tag = Lower(el->get_tagName());
    bool positional = Positional(tag);
    unsigned earlier = Earlier(tag);
    if (parent && (positional || earlier)) {
        const std::size_t count = parent->get_children_count();
        std::size_t index = 0;
        if (lastParent_ == parent.get() && lastIndex_ + 1 < count &&
            parent->get_child(int(lastIndex_ + 1)).get() == el) {
            index = lastIndex_ + 1;
        } else {
            while (index < count && parent->get_child(int(index)).get() != el)
                ++index;
            if (index == count)
                return 0;
        }
        lastParent_ = parent.get();
        lastIndex_ = index;
        // The earlier siblings the rules look at, and the text between them.
        for (std::size_t i = index; earlier && i-- > 0;) {
            const litehtml::element::ptr sibling = parent->get_child(int(i));
            key += '/';
            if (const auto* s = dynamic_cast<const MatchSubject*>(sibling.get())) {
                s->OwnMatchKey(key, *this);
                positional = positional || Positional(Lower(sibling->get_tagName()));
                --earlier;
            } else if (sibling->get_display() == litehtml::display_inline_text) {
                litehtml::tstring text;
                sibling->get_text(text);
                AppendKeyPart(key, text);
            } else {
                return 0;
            }
        }
        if (positional)
            key += '/' + std::to_string(index) + '/' + std::to_string(count);
    }
    auto it = contexts_.try_emplace(std::move(key), unsigned(contexts_.size() + 1)).first;
    subject->matchContext_ = it->second;
    return it->second;
}

const MatchSubject* InheritedStyleCache::StyleDonor(MatchSubject* el, const void* kind,
                                                    const StyleKey* key, std::string_view what,
                                                    const litehtml::element* parent)
{
    el->stylePass_ = generation_;
    el->styleId_ = 0;
    if (!shortcuts_)
        return nullptr;
    if (styleGeneration_ != generation_) {
        styleGeneration_ = generation_;
        styleIds_.clear();
        styleDonors_.clear();
    }
    // The parent stands for itself where its style is its own or was
    // computed in an earlier pass.
    std::uintptr_t above[2] = {reinterpret_cast<std::uintptr_t>(parent), 0};
    const auto* up = dynamic_cast<const MatchSubject*>(parent);
    if (up && up->stylePass_ == generation_ && up->styleId_)
        above[0] = 0, above[1] = up->styleId_;
    const std::uintptr_t parts[4] = {above[0], above[1], reinterpret_cast<std::uintptr_t>(kind),
                                     reinterpret_cast<std::uintptr_t>(key)};
    std::string text(reinterpret_cast<const char*>(parts), sizeof(parts));
    text += what;
    auto [it, added] = styleIds_.try_emplace(std::move(text), unsigned(styleDonors_.size() + 1));
    el->styleId_ = it->second;
    if (added) {
        styleDonors_.push_back(nullptr);
        return nullptr;
    }
    return styleDonors_[it->second - 1];
}

void InheritedStyleCache::StyledAlone(MatchSubject* el)
{
    if (el->stylePass_ == generation_ && el->styleId_ && !styleDonors_[el->styleId_ - 1])
        styleDonors_[el->styleId_ - 1] = el;
}

void InheritedStyleCache::End()
{
    active_ = false;
    // Dropped whole: a cleared table keeps its width, which the next pass would pay for.
    decltype(styleIds_)().swap(styleIds_);
    styleDonors_.clear();
    // Contexts numbered in this pass mean nothing in another one.
    ++matchPass_;
    decltype(contexts_)().swap(contexts_);
    decltype(matched_)().swap(matched_);
}

const InheritedStyleCache::Matched* InheritedStyleCache::MatchedBy(unsigned context) const
{
    auto it = matched_.find(context);
    return it == matched_.end() ? nullptr : &it->second;
}

void InheritedStyleCache::RememberMatched(unsigned context, Matched matched)
{
    matched_.insert_or_assign(context, std::move(matched));
}

bool InheritedStyleCache::Indexed(const litehtml::css& sheet) const
{
    return shortcuts_ && &sheet == index_.sheet && index_.usable &&
           sheet.selectors().size() == index_.count;
}

const InheritedStyleCache::Candidates* InheritedStyleCache::RulesFor(const litehtml::css& sheet,
                                                   const litehtml::tstring& tag,
                                                   const litehtml::tchar_t* id,
                                                   const litehtml::string_vector& classes,
                                                   const litehtml::tchar_t* classText)
{
    if (!Indexed(sheet))
        return nullptr;
    // The element's names that rules are indexed by: its tag, its id and its
    // classes, split as litehtml splits them and at any blank too.
    std::vector<const std::vector<unsigned>*> buckets;
    std::string signature = Lower(tag.c_str());
    if (auto it = index_.byTag.find(signature); it != index_.byTag.end())
        buckets.push_back(&it->second);
    else
        signature.clear();
    if (id) {
        const std::string name = Lower(id);
        if (auto it = index_.byId.find(name); it != index_.byId.end()) {
            buckets.push_back(&it->second);
            signature += "\x1f#" + name;
        }
    }
    std::vector<std::string> names;
    for (const litehtml::tstring& c : classes)
        names.push_back(Lower(c.c_str()));
    if (classText) {
        const std::string_view text(classText);
        for (std::size_t pos = 0; pos < text.size();) {
            while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
                ++pos;
            std::size_t end = pos;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
                ++end;
            if (end > pos)
                names.push_back(Lower(std::string(text.substr(pos, end - pos)).c_str()));
            pos = end;
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    for (const std::string& name : names)
        if (auto it = index_.byClass.find(name); it != index_.byClass.end()) {
            buckets.push_back(&it->second);
            signature += "\x1f." + name;
        }
    auto [list, added] = index_.lists.try_emplace(signature);
    if (!added)
        return &list->second;
    // Bounded: a page of ever new names should not keep a list for each.
    if (index_.lists.size() > 4096) {
        index_.lists.clear();
        list = index_.lists.try_emplace(signature).first;
    }
    std::vector<const litehtml::css_selector*>& byOrder = list->second.byOrder_;
    byOrder.assign(index_.count, nullptr);
    buckets.push_back(&index_.any);
    for (const std::vector<unsigned>* bucket : buckets)
        for (unsigned i : *bucket) {
            const litehtml::css_selector* rule = sheet.selectors()[i].get();
            byOrder[static_cast<std::size_t>(rule->m_order)] = rule;
        }
    return &list->second;
}

const litehtml::style* InheritedStyleCache::ParsedRule(const litehtml::tstring& text,
                                                       const litehtml::tstring& baseurl,
                                                       const litehtml::element* el)
{
    if (!shortcuts_)
        return nullptr;
    auto it = rules_.find(text);
    if (it == rules_.end()) {
        if (UsesVariables(text))
            return nullptr;
        // Bounded: pages that make up rules as they go should not keep them all.
        if (rules_.size() > 4096) {
            rules_.clear();
            keys_.clear();
            values_.clear();
            ++keyGeneration_;
        }
        it = rules_.emplace(text, Rule{baseurl, {}}).first;
        it->second.style.add(text.c_str(), baseurl.c_str(), el);
    }
    return it->second.baseurl == baseurl ? &it->second.style : nullptr;
}

KeptLayout::~KeptLayout() = default;

void KeptLayout::ForgetLayout()
{
    layoutValid_ = false;
    ForgetWalks();
    if (stack_)
        stack_->valid = false;
}

void KeptLayout::ForgetBelow(const litehtml::element* child)
{
    layoutValid_ = false;
    ForgetWalks();
    if (!stack_ || !stack_->valid)
        return;
    auto& forgotten = stack_->forgotten;
    if (std::find(forgotten.begin(), forgotten.end(), child) != forgotten.end())
        return;
    if (forgotten.size() < kForgottenMax)
        forgotten.push_back(child);
    else
        stack_->valid = false;
}

void InheritedStyleCache::ForgetLayouts(litehtml::element* el, const litehtml::element* below)
{
    for (litehtml::element::ptr e = el ? el->shared_from_this() : nullptr; e;
         below = e.get(), e = e->parent())
        if (auto* kept = dynamic_cast<KeptLayout*>(e.get())) {
            if (below)
                kept->ForgetBelow(below);
            else
                kept->ForgetLayout();
        }
}

InheritedStyleCache::StyleKey* InheritedStyleCache::Extend(StyleKey* key,
                                                           const litehtml::style* rule)
{
    for (const auto& [merged, after] : key->next)
        if (merged == rule)
            return after;
    // Bounded like the rules: a page whose elements each get rules of their
    // own gains nothing from keys.
    if (keys_.size() > 16384)
        return nullptr;
    keys_.emplace_back();
    StyleKey* after = &keys_.back();
    key->next.emplace_back(rule, after);
    return after;
}

unsigned InheritedStyleCache::NameId(const litehtml::tchar_t* name)
{
    const std::uintptr_t address = reinterpret_cast<std::uintptr_t>(name);
    Seen& seen = seen_[(address * 0x9E3779B97F4A7C15ull) >> 55];  // 512 slots
    if (seen.address == name)
        return seen.id;
    auto constant = constantNames_.find(name);
    if (constant != constantNames_.end()) {
        seen = {name, constant->second};
        return constant->second;
    }
    auto it = nameIds_.emplace(name, static_cast<unsigned>(nameIds_.size())).first;
    // Only a name in a loaded program image (a string constant) keeps its text
    // at its address; a name built on the fly is found by its text each time.
    Dl_info image;
    if (dladdr(name, &image) != 0 && image.dli_fbase) {
        constantNames_.emplace(name, it->second);
        seen = {name, it->second};
    }
    return it->second;
}

const litehtml::tchar_t* InheritedStyleCache::OwnProperty(StyleKey* key,
                                                          const litehtml::style& style,
                                                          const litehtml::tchar_t* name)
{
    static const litehtml::tchar_t kUnknown = 0, kNotSet = 0;
    const unsigned id = NameId(name);
    auto& answers = key->answers;
    if (answers.size() <= id)
        answers.resize(id + 1, &kUnknown);
    const litehtml::tchar_t*& answer = answers[id];
    if (answer == &kUnknown) {
        const litehtml::tchar_t* value = style.get_property(name);
        answer = value ? values_.emplace_back(value).c_str() : &kNotSet;
    }
    return answer == &kNotSet ? nullptr : answer;
}

litehtml::element::ptr InheritedStyleCache::CreateElement(
    const char* tag, const std::shared_ptr<litehtml::document>& doc)
{
    // The classes litehtml picks for these tags; the tags it gives classes
    // of its own (lists, images, links, scripts...) are left to it.
    const std::string_view t(tag);
    if (t == "tr")
        return Make<litehtml::el_tr>(doc, this);
    if (t == "td" || t == "th")
        return Make<litehtml::el_td>(doc, this);
    if (t == "table")
        return Make<litehtml::el_table>(doc, this);
    if (t == "div")
        return Make<litehtml::el_div>(doc, this);
    if (t == "body")
        return Make<litehtml::el_body>(doc, this);
    if (t == "p")
        return Make<litehtml::el_para>(doc, this);
    if (t == "a")
        return Make<litehtml::el_anchor>(doc, this);
    static constexpr std::string_view kOwnClasses[] = {"base", "br",     "font",  "img",  "li",
                                                       "link", "script", "style", "title"};
    for (std::string_view own : kOwnClasses)
        if (t == own)
            return nullptr;
    return Make<litehtml::html_tag>(doc, this);
}

}  // namespace html
