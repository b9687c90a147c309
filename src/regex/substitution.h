// Substitution texts ('$1-$2', '\U$&'): the C-escape step and the parse into
// literal pieces, references to the match and its surroundings, and case
// commands. The parts are only built and stored; nothing applies them yet.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace regex {

struct subst_part {
    enum kind_t : std::int32_t { literal = 0, group = 1, case_command = 2 };
    static constexpr std::int32_t whole_match = 0;
    static constexpr std::int32_t before_match = -1;
    static constexpr std::int32_t after_match = -2;

    std::int32_t kind;
    std::int32_t value;  // literal: offset in the text; group: the reference; command: its token
    std::int32_t length; // literal: number of characters; otherwise 0
    friend bool operator==(const subst_part&, const subst_part&) = default;
};

namespace detail {

// Turns \a \e \f \n \r \t \v into their control characters; every other
// backslash pair stays for the parser (four backslashes become two).
void unescape_substitution(std::wstring& text);

// Raises bad_regexpr; capture_count includes the whole match (record 0).
std::vector<subst_part> parse_substitution(const std::wstring& text, unsigned capture_count,
                                           bool& has_references);

} // namespace detail
} // namespace regex
