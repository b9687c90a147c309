#include "platform/html/inherited_style_cache.h"

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
class CachingElement final : public Base {
public:
    CachingElement(const std::shared_ptr<litehtml::document>& doc, InheritedStyleCache* cache)
        : Base(doc), cache_(cache)
    {
    }

    const litehtml::tchar_t* get_style_property(const litehtml::tchar_t* name, bool inherited,
                                                const litehtml::tchar_t* def) const override
    {
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
        if (const litehtml::style* parsed = cache_->ParsedRule(style, baseurl, this))
            this->m_style.combine(*parsed);
        else
            Base::add_style(style, baseurl);
    }

private:
    struct Answer {
        const litehtml::tchar_t* name;
        const litehtml::tchar_t* value;  // null: nobody sets it
    };
    InheritedStyleCache* cache_;
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
        if (rules_.size() > 4096)
            rules_.clear();
        it = rules_.emplace(text, Rule{baseurl, {}}).first;
        it->second.style.add(text.c_str(), baseurl.c_str(), el);
    }
    return it->second.baseurl == baseurl ? &it->second.style : nullptr;
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
    static constexpr std::string_view kOwnClasses[] = {
        "base", "br", "font", "img", "li", "link", "script", "style", "title"};
    for (std::string_view own : kOwnClasses)
        if (t == own)
            return nullptr;
    return Make<litehtml::html_tag>(doc, this);
}

}  // namespace html
