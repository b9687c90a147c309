// Flags, match modes and the syntax-error exception of the regular-expression engine.
#pragma once

#include <stdexcept>
#include <string>

namespace regex {

enum pattern_flags : unsigned {
    noflags = 0,
    ignore_case = 1,
    repeat_match = 2,
    multi_line = 4,
    dot_matches_newline = 8,
    search_from_right = 16,
    keep_whole_matches = 64,
    keep_all_submatches = 128,
    unescape_text = 256,
    free_spacing = 512,
};

constexpr pattern_flags operator|(pattern_flags a, pattern_flags b)
{
    return static_cast<pattern_flags>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr pattern_flags operator&(pattern_flags a, pattern_flags b)
{
    return static_cast<pattern_flags>(static_cast<unsigned>(a) & static_cast<unsigned>(b));
}
constexpr pattern_flags operator~(pattern_flags a)
{
    return static_cast<pattern_flags>(~static_cast<unsigned>(a));
}

// How a match walks the node graph: on the machine stack, on an explicit
// backtracking stack, or on the machine stack only while the compiled pattern
// says that is safe.
enum match_mode : unsigned {
    mode_recursive = 0,
    mode_explicit_stack = 1,
    mode_recursive_when_safe = 2,
};

// Raised by the compiler for every pattern syntax error; what() is the message.
class bad_regexpr : public std::invalid_argument {
public:
    explicit bad_regexpr(const std::string& message) : std::invalid_argument(message) {}
};

} // namespace regex
