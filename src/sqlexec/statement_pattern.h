// The statement patterns, matched in time proportional to the statement's length.
//
// The patterns are chains: literal words, runs of blanks (\s+), stretches of any characters
// (.+? .*? .* .+), alternatives of words and groups around them, anchored at both ends. A
// backtracking matcher takes time that grows with a power of the length on statements that nearly
// match (each lazy stretch retries every end for every end of the stretch before it), and some
// synchronisation statements are megabytes long. This matcher first finds every position each
// step can be left from on the way to a whole match, then walks the chain once, taking at each
// step the first choice a backtracking matcher would take among those that still reach the end.
// So it answers exactly as the backtracking matcher does, group by group, in linear time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace SQLExecutor {

class StatementPattern {
public:
    // Compiles a pattern of the form above, matched without regard to the case of ASCII
    // letters. Throws std::invalid_argument for anything outside that form.
    explicit StatementPattern(std::wstring_view pattern);

    // True when the whole text matches; `groups` then holds group 0 (the match) and every
    // capturing group in the order of its opening parenthesis, as views into `text`.
    bool Match(std::wstring_view text, std::vector<std::wstring_view>& groups) const;

private:
    enum class Kind { Literal, Choice, Blanks, Any, End };
    struct Step {
        Kind kind;
        std::vector<std::wstring> words;  // Literal: one; Choice: the alternatives in order
        size_t minimum = 0;               // Any: at least this many characters
        bool lazy = false;                // Any: shortest first
    };
    struct Group {
        size_t first = 0;  // the first step inside the group
        size_t end = 0;    // the step after the group
    };

    bool MayMatch(std::wstring_view text) const;
    bool CanMatch(std::wstring_view text) const;
    void AddLiteral(wchar_t c);

    std::vector<Step> steps_;
    std::vector<Group> groups_;
    size_t sealed_ = 0;  // steps before this one take no more letters: a group starts or ends here
};

}  // namespace SQLExecutor
