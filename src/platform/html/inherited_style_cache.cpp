#include "platform/html/inherited_style_cache.h"

#include <dlfcn.h>
#include <litehtml/el_anchor.h>
#include <litehtml/el_body.h>
#include <litehtml/el_div.h>
#include <litehtml/el_para.h>
#include <litehtml/el_table.h>
#include <litehtml/el_td.h>
#include <litehtml/el_tr.h>

#include <cctype>
#include <cstring>
#include <string_view>
#include <vector>

namespace html {

namespace {

// litehtml's element class `Base` whose inherited lookups go through the
// cache. Lookups keep litehtml's rules: the element's own value unless it is
// "inherit", else the parent's answer, else the caller's default.
template <class Base>
class CachingElement final : public Base, public KeptLayout {
public:
    CachingElement(const std::shared_ptr<litehtml::document>& doc, InheritedStyleCache* cache)
        : Base(doc), cache_(cache)
    {
    }

    const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                                const litehtml::tchar_t* def) const override
    {
        // A property the element sets itself, not to "inherit", is its answer
        // either way.
        if (cache_->Active() && name && !(name[0] == '-' && name[1] == '-') &&
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
        if (const litehtml::style* parsed = cache_->ParsedRule(style, baseurl, this)) {
            this->m_style.combine(*parsed);
            key_ = cache_->Current(key_, keyGeneration_) ? cache_->Extend(key_, parsed) : nullptr;
        } else {
            Base::add_style(style, baseurl);
            key_ = nullptr;
        }
    }

    // Attributes that style the element (style, width, bgcolor, align...) make
    // its style its own; the ones here only name or number it.
    void parse_attributes() override
    {
        for (const auto& [attribute, value] : this->m_attrs)
            if (attribute != "id" && attribute != "class" && attribute != "_n") {
                key_ = nullptr;
                apart_ = true;
            }
        Base::parse_attributes();
    }

    // A table laid out before at the same width, with nothing in it changed
    // since, is only moved to where it goes now.
    int render(int x, int y, int max_width, bool second_pass) override
    {
        if (this->m_display != litehtml::display_table)
            return Base::render(x, y, max_width, second_pass);
        if (layoutValid_ && layoutGeneration_ == cache_->LayoutGeneration() &&
            layoutWidth_ == max_width && layoutSecondPass_ == second_pass) {
            this->m_pos.x = x + layoutDx_;
            this->m_pos.y = y + layoutDy_;
            return layoutResult_;
        }
        layoutResult_ = Base::render(x, y, max_width, second_pass);
        layoutValid_ = true;
        layoutGeneration_ = cache_->LayoutGeneration();
        layoutWidth_ = max_width;
        layoutSecondPass_ = second_pass;
        layoutDx_ = this->m_pos.x - x;
        layoutDy_ = this->m_pos.y - y;
        return layoutResult_;
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

    // The style starts again from the rules alone (litehtml does not parse the
    // attributes again); an element styled by its own attributes stays apart.
    void refresh_styles() override
    {
        key_ = apart_ ? nullptr : cache_->Start();
        keyGeneration_ = cache_->KeyGeneration();
        Base::refresh_styles();
    }

private:
    struct Answer {
        const litehtml::tchar_t* name;
        const litehtml::tchar_t* value;  // null: nobody sets it
    };
    InheritedStyleCache* cache_;
    // The rules merged into this element's style so far, or null.
    InheritedStyleCache::StyleKey* key_ = cache_->Start();
    unsigned keyGeneration_ = cache_->KeyGeneration();
    bool apart_ = false;  // styled by attributes of its own
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

}  // namespace

const litehtml::style* InheritedStyleCache::ParsedRule(const litehtml::tstring& text,
                                                       const litehtml::tstring& baseurl,
                                                       const litehtml::element* el)
{
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

void InheritedStyleCache::ForgetLayouts(litehtml::element* el)
{
    for (litehtml::element::ptr e = el ? el->shared_from_this() : nullptr; e; e = e->parent())
        if (auto* kept = dynamic_cast<KeptLayout*>(e.get()))
            kept->ForgetLayout();
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
