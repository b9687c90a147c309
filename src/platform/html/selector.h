// CSS selectors matched against our element tree: lists, combinators,
// classes, ids, attributes, structural and state pseudo-classes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace html {

class Element;

// The state pseudo-class name for a state bit ("checked" for 0x40), or null.
const char* StatePseudoClass(unsigned stateBit);
// Every state bit that has a pseudo-class.
const std::vector<unsigned>& PseudoClassStates();

class Selector {
public:
    // False (and an empty selector) when the text is not a selector we know.
    bool Parse(std::string_view text);
    bool Matches(const Element* e) const;

private:
    struct AttributeTest {
        std::string name;
        char op = 0;  // 0 presence, '=' equal, '~' word, '|' dash, '^' prefix, '$' suffix, '*'
        std::string value;
    };
    struct Compound {
        std::string tag;  // empty: any
        std::vector<std::string> ids;
        std::vector<std::string> classes;
        std::vector<AttributeTest> attributes;
        unsigned states = 0;
        std::vector<std::string> structural;  // first-child, last-child, only-child, empty, root
        std::vector<int> nthChild;            // 1-based positions
        std::vector<Compound> negations;
        char combinator = 0;  // how it joins the compound on its left: ' ', '>', '+', '~'
    };
    using Complex = std::vector<Compound>;

    bool ParseCompound(std::string_view text, std::size_t& pos, Compound& out);
    static bool MatchCompound(const Compound& c, const Element* e);
    static bool MatchComplex(const Complex& c, std::size_t index, const Element* e);

    std::vector<Complex> alternatives_;
};

}  // namespace html
