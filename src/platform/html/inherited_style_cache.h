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
#pragma once

#include <litehtml/litehtml.h>

#include <memory>
#include <string>
#include <unordered_map>

namespace html {

class InheritedStyleCache {
public:
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
                                      const litehtml::tstring& baseurl, const litehtml::element* el);

private:
    struct Rule {
        litehtml::tstring baseurl;
        litehtml::style style;
    };
    std::unordered_map<litehtml::tstring, Rule> rules_;
    unsigned generation_ = 0;
    bool active_ = false;
};

}  // namespace html
