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
//
// Styling tries every rule of the page on every element, though most rules
// name in their last part an id, a class or a tag the element does not have.
// The page's rules are indexed by that id, class or tag, and an element is
// tried only with the rules it could match, in the sheet's order.
//
// And elements alike in everything the rules can test (tag, attributes,
// states, ancestors and, where the rules look at them, position and earlier
// siblings) match the same rules: within one styling pass the second of them
// is styled as the first one was, without trying the rules again.
//
// Last, elements of one kind whose styles were merged from the same rules,
// below parents of the same computed style (or the same parent), compute the
// same style from them: within one pass the later ones take the values the
// first one computed instead of parsing its declarations again.
#pragma once

#include <litehtml/litehtml.h>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace html {

// A table's layout kept from one layout of the page to the next while nothing
// in it changed and its width stays: litehtml lays every element out again
// each time, though a change reaches one table or a few. And a block of many
// tables one below the other keeps where each of them went, so that when a
// table or a few change without changing size the others are not placed again.
class KeptLayout {
public:
    virtual ~KeptLayout();
    void ForgetLayout();
    // Something in `child`, one of the element's children, changed (or it is new there).
    void ForgetBelow(const litehtml::element* child);

    // How a table was last laid out: where it was asked to go and with what width, what
    // that gave, and its box right after; invalid when anything changed in it since.
    struct Placement {
        bool valid = false;
        unsigned generation = 0;
        int x = 0;
        int y = 0;
        int width = 0;
        bool secondPass = false;
        int result = 0;
        litehtml::position box;
    };
    Placement LastPlacement() const
    {
        return {layoutValid_, layoutGeneration_, layoutX_,     layoutY_,
                layoutWidth_, layoutSecondPass_, layoutResult_,
                litehtml::position(layoutX_ + layoutDx_, layoutY_ + layoutDy_, layoutBoxWidth_,
                                   layoutBoxHeight_)};
    }

protected:
    void ForgetWalks()
    {
        extentKnown_ = false;
        staticKnown_ = false;
    }

    bool layoutValid_ = false;
    bool layoutSecondPass_ = false;
    unsigned layoutGeneration_ = 0;
    int layoutWidth_ = 0;
    int layoutResult_ = 0;
    int layoutX_ = 0;  // the point the table was placed at
    int layoutY_ = 0;
    int layoutDx_ = 0;  // where the table's box lies from that point
    int layoutDy_ = 0;
    int layoutBoxWidth_ = 0;
    int layoutBoxHeight_ = 0;
    // What the walks of the whole page over the table found, while the layout above
    // holds: how far its boxes reach from its own position (none when it shows
    // nothing), and that nothing in it is positioned.
    bool extentKnown_ = false;
    bool extentEmpty_ = false;
    int extentRight_ = 0;
    int extentBottom_ = 0;
    bool staticKnown_ = false;
    // A block of tables: each table as the block's last whole layout placed it, and the
    // children changed since (made for such blocks only).
    static constexpr std::size_t kForgottenMax = 8;
    struct Stacked {
        const litehtml::element* el;
        Placement placement;
        litehtml::margins margins;
    };
    struct Stack {
        bool valid = false;
        std::vector<Stacked> tables;
        std::vector<const litehtml::element*> forgotten;
        Placement own;  // the block's
    };
    std::unique_ptr<Stack> stack_;
};

// What of an element the rules may test, for the elements of the cache.
class InheritedStyleCache;
class MatchSubject {
public:
    virtual ~MatchSubject() = default;
    // Appends the element's tag, the attributes that rules of the sheet
    // `cache` indexed may test, and its pseudo-classes to `key`.
    virtual void OwnMatchKey(std::string& key, const InheritedStyleCache& cache) const = 0;

private:
    friend class InheritedStyleCache;
    mutable unsigned matchPass_ = 0;
    mutable unsigned matchContext_ = 0;
    // The element's computed style in the styling pass `stylePass_`; 0 for
    // one shared with no other element.
    unsigned stylePass_ = 0;
    unsigned styleId_ = 0;
};

class InheritedStyleCache {
public:
    // Kept layouts of `el` and of the tables around it go: something below
    // them changed (in `below`, one of el's children, when given).
    static void ForgetLayouts(litehtml::element* el, const litehtml::element* below = nullptr);
    // Every kept layout goes (styles changed anywhere).
    void ForgetAllLayouts() { ++layoutGeneration_; }
    unsigned LayoutGeneration() const { return layoutGeneration_; }

    // Answers are remembered between Begin and End only.
    void Begin()
    {
        ++generation_;
        active_ = true;
    }
    // Ends the styling pass and the matching pass before it: what they remembered
    // goes now, paid for by the pass that made it (a pass over the whole page
    // remembers much) rather than by the next one (over a part, perhaps).
    void End();
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

    // Off, elements are styled the way litehtml styles them alone: every rule
    // tried on every element, every style parsed, every property looked up
    // in the element's own style (for comparisons).
    static void SetShortcuts(bool on) { shortcuts_ = on; }
    static bool Shortcuts() { return shortcuts_; }

    // Indexes the rules of `sheet`, sorted as they are applied, in place of
    // those indexed before; the sheet must not change while it is in use.
    void IndexRules(const litehtml::css& sheet);
    // True when `sheet` is the one indexed and the index serves it.
    bool Indexed(const litehtml::css& sheet) const;
    // The rules of the indexed sheet an element could match, by the place
    // litehtml numbered them in when it read them (css_selector::m_order).
    class Candidates {
    public:
        bool Has(const litehtml::css_selector& rule) const
        {
            const auto order = static_cast<std::size_t>(rule.m_order);
            return order < byOrder_.size() && byOrder_[order] == &rule;
        }

    private:
        friend class InheritedStyleCache;
        std::vector<const litehtml::css_selector*> byOrder_;  // null for the others
    };
    // The rules of the indexed `sheet` that an element with this tag, id and
    // classes could match; null when `sheet` is not the one indexed or it
    // has rules the index does not serve.
    const Candidates* RulesFor(const litehtml::css& sheet, const litehtml::tstring& tag,
                               const litehtml::tchar_t* id, const litehtml::string_vector& classes,
                               const litehtml::tchar_t* classText);

    // True when a rule of the indexed sheet may test the attribute `name`.
    bool AttributeTested(const std::string& name) const
    {
        return index_.anyAttribute || index_.attributes.count(name) != 0;
    }

    // Starts a pass of matching: the elements styled until the next one
    // are taken as they are now.
    void BeginMatching()
    {
        ++matchPass_;
        contexts_.clear();
        matched_.clear();
    }
    // A number that two elements of this pass share only when every rule of
    // the indexed sheet matches both or neither; 0 when unknown.
    unsigned MatchContext(const litehtml::element* el);
    // What styling did to the first element of a context in this pass: the
    // rules it matched, as litehtml keeps them for state changes (and
    // whether they applied), and the declarations added to its style.
    struct Matched {
        std::vector<std::pair<litehtml::css_selector::ptr, bool>> used;
        std::vector<std::pair<litehtml::tstring, litehtml::tstring>> added;
        // Where its style came from the rules alone: the keys before and
        // after (of `keyGeneration`) and the style it ended with.
        StyleKey* keyBefore = nullptr;
        StyleKey* rulesBefore = nullptr;
        StyleKey* keyAfter = nullptr;
        StyleKey* rulesAfter = nullptr;
        unsigned keyGeneration = 0;
        litehtml::style style;
    };
    // The element of this styling pass (Begin) whose computed style `el`
    // may take: of the same `kind` and `what` (its tag, and its attributes
    // where they style it), styled from the rules `key` below a parent of
    // the same computed style; null for the first of them.
    const MatchSubject* StyleDonor(MatchSubject* el, const void* kind, const StyleKey* key,
                                   std::string_view what, const litehtml::element* parent);
    // `el`, which StyleDonor found no donor for, was styled and may be one.
    void StyledAlone(MatchSubject* el);

    // Null when no element of `context` was styled yet in this pass.
    const Matched* MatchedBy(unsigned context) const;
    void RememberMatched(unsigned context, Matched matched);

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
    // The rules of the indexed sheet by the position they are applied in:
    // those whose last part names an id, a class or a tag, by that name in
    // lower case, and the rest. The rules an element is tried with are kept
    // by the names of its that the index has.
    struct RuleIndex {
        const litehtml::css* sheet = nullptr;
        std::size_t count = 0;
        bool usable = false;
        std::unordered_map<std::string, std::vector<unsigned>> byId, byClass, byTag;
        std::vector<unsigned> any;
        std::unordered_map<std::string, Candidates> lists;
        // What besides the element itself and its ancestors the rules test:
        // nothing where `alike` is false (general sibling combinators,
        // positions among elements of a type); else by tag ("" for every
        // tag), its position among its siblings, and how many earlier
        // siblings.
        bool alike = false;
        // The attributes the rules name (any where a pseudo-class may).
        bool anyAttribute = false;
        std::unordered_map<std::string, bool> attributes;
        std::unordered_map<std::string, bool> positional;
        std::unordered_map<std::string, unsigned> earlier;
    };
    bool Positional(const std::string& tag) const;
    unsigned Earlier(const std::string& tag) const;
    RuleIndex index_;
    static inline bool shortcuts_ = true;
    // The computed styles of this styling pass by what they come from, and
    // the first element of each.
    std::unordered_map<std::string, unsigned> styleIds_;
    std::vector<const MatchSubject*> styleDonors_;
    unsigned styleGeneration_ = 0;
    unsigned matchPass_ = 0;
    std::unordered_map<std::string, unsigned> contexts_;
    std::unordered_map<unsigned, Matched> matched_;
    // The last element whose place among its siblings was looked up.
    const litehtml::element* lastParent_ = nullptr;
    std::size_t lastIndex_ = 0;
    unsigned generation_ = 0;
    unsigned layoutGeneration_ = 1;
    bool active_ = false;
};

}  // namespace html
