// Faster inherited style lookups while litehtml styles a document.
//
// litehtml answers an inherited property (font, colour, white-space, ...) that
// an element does not set by asking its parent, and so on up to the root: for
// each of some twenty such properties of every element and word. In a grid of
// thousands of rows the same questions reach the same row, table and body
// again and again. While one styling pass runs no element's own style changes
// once its children are being styled, so an element may remember the answers
// it gave during the pass; the next pass starts afresh.
//
// litehtml also parses a rule's declarations again for every element the
// rule applies to; the parsed rules are kept here and merged instead.
//
// And it looks each property an element styles itself with up in that
// element's own map of names, one by one. Elements whose styles were merged
// from the same rules in the same order hold the same properties: such
// elements share one StyleKey, which remembers the answers found for the
// first of them.
#pragma once

#include <litehtml/litehtml.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace html {

// A table's layout kept from one layout of the page to the next while nothing
// in it changed and its width stays: litehtml lays every element out again
// each time, though a change reaches one table or a few.
class KeptLayout {
public:
    virtual ~KeptLayout() = default;
    void ForgetLayout() { layoutValid_ = false; }

protected:
    bool layoutValid_ = false;
    bool layoutSecondPass_ = false;
    unsigned layoutGeneration_ = 0;
    int layoutWidth_ = 0;
    int layoutResult_ = 0;
    int layoutDx_ = 0;  // where the table's box lies from the point it is placed at
    int layoutDy_ = 0;
};

class InheritedStyleCache {
public:
    // Kept layouts of `el` and of the tables around it go: something below
    // them changed.
    static void ForgetLayouts(litehtml::element* el);
    // Every kept layout goes (styles changed anywhere).
    void ForgetAllLayouts() { ++layoutGeneration_; }
    unsigned LayoutGeneration() const { return layoutGeneration_; }

    // Answers are remembered between Begin and End only.
    void Begin()
    {
        ++generation_;
        active_ = true;
    }
    void End() { active_ = false; }
    bool Active() const { return active_; }
    unsigned Generation() const { return generation_; }

    // The element litehtml would create for `tag`, taking part in the
    // cache; null for tags litehtml should create itself.
    litehtml::element::ptr CreateElement(const char* tag,
                                         const std::shared_ptr<litehtml::document>& doc);

    // The declarations `text` of a rule (resolved against `baseurl`) as a
    // parsed style, parsed once for all the elements the rule applies to;
    // null when the parse depends on the element (custom property values).
    const litehtml::style* ParsedRule(const litehtml::tstring& text,
                                      const litehtml::tstring& baseurl,
                                      const litehtml::element* el);

    // The style an element's own properties come from: the rules merged into
    // it, in order. Null stands for a style of the element's own (attributes
    // that style it, rules parsed for it alone), which is shared with no one.
    struct StyleKey {
        std::vector<std::pair<const litehtml::style*, StyleKey*>> next;
        // By name id: unknown yet, not set, or the value.
        std::vector<const litehtml::tchar_t*> answers;
    };
    StyleKey* Start()
    {
        if (keys_.empty())
            keys_.emplace_back();
        return &keys_.front();
    }
    // The key after merging `rule`, a style ParsedRule returned.
    StyleKey* Extend(StyleKey* key, const litehtml::style* rule);
    // True while a key handed out in `keyGeneration` stays valid.
    bool Current(const StyleKey* key, unsigned keyGeneration) const
    {
        return key && keyGeneration == keyGeneration_;
    }
    unsigned KeyGeneration() const { return keyGeneration_; }
    // The own property `name` of an element with `key`, looked up in its
    // `style` the first time only. Null when the style does not set it.
    const litehtml::tchar_t* OwnProperty(StyleKey* key, const litehtml::style& style,
                                         const litehtml::tchar_t* name);

private:
    unsigned NameId(const litehtml::tchar_t* name);

    struct Rule {
        litehtml::tstring baseurl;
        litehtml::style style;
    };
    std::unordered_map<litehtml::tstring, Rule> rules_;
    // Keys live as long as the rules they name; both go together.
    std::deque<StyleKey> keys_;
    unsigned keyGeneration_ = 0;
    std::deque<std::string> values_;  // the answers' text, where it stays put
    // Names by the address of the string constant litehtml passes them as
    // (the last few in `seen_`, all in `constantNames_`), else by their text.
    struct Seen {
        const litehtml::tchar_t* address = nullptr;
        unsigned id = 0;
    };
    std::array<Seen, 512> seen_{};
    std::unordered_map<const litehtml::tchar_t*, unsigned> constantNames_;
    std::unordered_map<std::string, unsigned> nameIds_;
    unsigned generation_ = 0;
    unsigned layoutGeneration_ = 1;
    bool active_ = false;
};

}  // namespace html
