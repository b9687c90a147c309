// Faster inherited style lookups while litehtml styles a document.
//
// litehtml answers an inherited property (font, colour, white-space, ...) that
// an element does not set by asking its parent, and so on up to the root: for
// each of some twenty such properties of every element and word. In a grid of
// thousands of rows the same questions reach the same row, table and body
// again and again. While one styling pass runs no element's own style changes
// once its children are being styled, so an element may remember the answers
// it gave during the pass; the next pass starts afresh.
#pragma once

#include <litehtml/litehtml.h>

#include <memory>

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

private:
    unsigned generation_ = 0;
    bool active_ = false;
};

}  // namespace html
