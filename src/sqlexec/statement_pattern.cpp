// Two passes over the text per pattern: a forward pass that keeps the positions reachable after
// each step (most statements are turned down within the first word), and, for a text that
// matches, a backward pass that marks for each step the positions from which the rest of the
// chain reaches the end. The walk that picks the groups then never has to take a choice back.
#include "sqlexec/statement_pattern.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace SQLExecutor {

namespace {

bool IsWideBlank(wchar_t c)
{
    static const locale_t utf8 = [] {
        locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
        return loc ? loc : newlocale(LC_CTYPE_MASK, "C", nullptr);
    }();
    return static_cast<std::uint32_t>(c) <= 0x10FFFF && iswspace_l(static_cast<wint_t>(c), utf8);
}

// Blanks as the C.UTF-8 locale classifies them, whatever locale the process runs under.
inline bool IsBlank(wchar_t c)
{
    if (static_cast<std::uint32_t>(c) < 0x80)
        return c == L' ' || (c >= L'\t' && c <= L'\r');
    return IsWideBlank(c);
}

inline wchar_t LowerAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
}

// `word` (kept in lower case) at `position`, without regard to the case of ASCII letters.
bool WordAt(std::wstring_view text, size_t position, const std::wstring& word)
{
    if (text.size() - position < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (LowerAscii(text[position + i]) != word[i])
            return false;
    }
    return true;
}

bool AtEnd(std::wstring_view text, size_t position)
{
    const size_t n = text.size();
    return position == n || (position + 1 == n && text[position] == L'\n');
}

[[noreturn]] void Unsupported(std::wstring_view pattern)
{
    throw std::invalid_argument("statement pattern outside the supported form: " +
                                std::string(pattern.begin(), pattern.end()));
}

// A set of positions 0..n, one bit each.
class Positions {
public:
    explicit Positions(size_t n) : bits_((n + 64) / 64) {}
    bool operator[](size_t p) const { return (bits_[p / 64] >> (p % 64)) & 1; }
    void Set(size_t p) { bits_[p / 64] |= std::uint64_t{1} << (p % 64); }
    void Clear(size_t first, size_t last)
    {
        std::fill(bits_.begin() + static_cast<std::ptrdiff_t>(first / 64),
                  bits_.begin() + static_cast<std::ptrdiff_t>(last / 64 + 1), 0);
    }
    void Swap(Positions& other) { bits_.swap(other.bits_); }

private:
    std::vector<std::uint64_t> bits_;
};

}  // namespace

StatementPattern::StatementPattern(std::wstring_view pattern)
{
    if (pattern.empty() || pattern[0] != L'^')
        Unsupported(pattern);
    std::vector<size_t> open;
    for (size_t i = 1; i < pattern.size();) {
        const wchar_t c = pattern[i];
        if (c >= 0x80)
            Unsupported(pattern);
        if (c == L'$') {
            if (i + 1 != pattern.size())
                Unsupported(pattern);
            steps_.push_back({Kind::End, {}});
            ++i;
        } else if (c == L'\\') {
            const wchar_t escaped = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
            if (escaped == L's' && i + 2 < pattern.size() && pattern[i + 2] == L'+') {
                steps_.push_back({Kind::Blanks, {}});
                i += 3;
            } else if (escaped != L'\0' && escaped < 0x80 && !iswalnum(escaped)) {
                AddLiteral(escaped);
                i += 2;
            } else {
                Unsupported(pattern);
            }
        } else if (c == L'.') {
            Step step{Kind::Any, {}};
            const wchar_t count = i + 1 < pattern.size() ? pattern[i + 1] : L'\0';
            if (count != L'+' && count != L'*')
                Unsupported(pattern);
            step.minimum = count == L'+' ? 1 : 0;
            i += 2;
            if (i < pattern.size() && pattern[i] == L'?') {
                step.lazy = true;
                ++i;
            }
            steps_.push_back(step);
        } else if (c == L'(') {
            const size_t close = pattern.find(L')', i);
            const std::wstring_view inner =
                pattern.substr(i + 1, close == std::wstring_view::npos ? 0 : close - i - 1);
            if (close != std::wstring_view::npos && inner.find(L'|') != std::wstring_view::npos &&
                inner.find_first_of(L"(\\") == std::wstring_view::npos) {
                // A group of alternative words, such as (ALLOW|DENY).
                Step step{Kind::Choice, {}};
                std::wstring word;
                for (wchar_t w : inner) {
                    if (w == L'|') {
                        step.words.push_back(word);
                        word.clear();
                    } else if (iswalnum(w) && w < 0x80) {
                        word += LowerAscii(w);
                    } else {
                        Unsupported(pattern);
                    }
                }
                step.words.push_back(word);
                groups_.push_back({steps_.size(), steps_.size() + 1});
                steps_.push_back(step);
                i = close + 1;
            } else {
                open.push_back(groups_.size());
                groups_.push_back({steps_.size(), 0});
                ++i;
            }
            sealed_ = steps_.size();
        } else if (c == L')') {
            if (open.empty())
                Unsupported(pattern);
            groups_[open.back()].end = steps_.size();
            open.pop_back();
            sealed_ = steps_.size();
            ++i;
        } else if (std::wstring_view(L"|*+?[]{}^").find(c) != std::wstring_view::npos) {
            Unsupported(pattern);
        } else {
            AddLiteral(c);
            ++i;
        }
    }
    if (!open.empty() || steps_.empty() || steps_.back().kind != Kind::End)
        Unsupported(pattern);
}

// Letters in a row make one word, unless a group begins or ends between them.
void StatementPattern::AddLiteral(wchar_t c)
{
    if (steps_.size() > sealed_ && steps_.back().kind == Kind::Literal)
        steps_.back().words[0] += LowerAscii(c);
    else
        steps_.push_back({Kind::Literal, {std::wstring(1, LowerAscii(c))}});
}

// The forward pass: the positions reachable after each step, kept within the range where any
// is set, so that a statement that fails on its first word costs nothing more.
bool StatementPattern::CanMatch(std::wstring_view text) const
{
    const size_t n = text.size();
    Positions current(n), next(n);
    current.Set(0);
    size_t lo = 0, hi = 0;
    for (const Step& step : steps_) {
        size_t nextLo = n + 1, nextHi = 0;
        auto reach = [&](size_t q) {
            next.Set(q);
            nextLo = std::min(nextLo, q);
            nextHi = std::max(nextHi, q);
        };
        switch (step.kind) {
            case Kind::End:
                return current[n] || (n > 0 && current[n - 1] && text[n - 1] == L'\n');
            case Kind::Literal:
            case Kind::Choice:
                for (size_t p = lo; p <= hi; ++p) {
                    if (!current[p])
                        continue;
                    for (const std::wstring& word : step.words) {
                        if (WordAt(text, p, word))
                            reach(p + word.size());
                    }
                }
                break;
            case Kind::Blanks: {
                bool run = false;
                for (size_t p = lo; p < n && (run || p <= hi); ++p) {
                    run = (run || current[p]) && IsBlank(text[p]);
                    if (run)
                        reach(p + 1);
                }
                break;
            }
            case Kind::Any: {
                // Reached from some start at least `minimum` characters back, with no line feed
                // in between.
                bool behind = false;  // a start at or before the last position, no line feed since
                for (size_t q = lo; q <= n; ++q) {
                    const bool carried = q > lo && behind && text[q - 1] != L'\n';
                    behind = carried || (q <= hi && current[q]);
                    if (step.minimum == 0 ? behind : carried)
                        reach(q);
                    if (!behind && q >= hi)
                        break;
                }
                break;
            }
        }
        current.Clear(lo, hi);
        if (nextLo > nextHi)
            return false;
        current.Swap(next);
        lo = nextLo;
        hi = nextHi;
    }
    return false;
}

bool StatementPattern::Match(std::wstring_view text, std::vector<std::wstring_view>& groups) const
{
    groups.clear();
    if (!CanMatch(text))
        return false;
    const size_t n = text.size();
    const size_t count = steps_.size();
    // reaches[i]: from which positions steps i.. reach the end.
    std::vector<Positions> reaches(count + 1, Positions(n));
    for (size_t p = 0; p <= n; ++p)
        reaches[count].Set(p);
    for (size_t i = count; i-- > 0;) {
        const Step& step = steps_[i];
        const Positions& after = reaches[i + 1];
        Positions& from = reaches[i];
        switch (step.kind) {
            case Kind::End:
                for (size_t p = 0; p <= n; ++p) {
                    if (AtEnd(text, p) && after[p])
                        from.Set(p);
                }
                break;
            case Kind::Literal:
            case Kind::Choice:
                for (size_t p = 0; p < n; ++p) {
                    const wchar_t c = LowerAscii(text[p]);
                    for (const std::wstring& word : step.words) {
                        if (c == word[0] && WordAt(text, p, word) && after[p + word.size()]) {
                            from.Set(p);
                            break;
                        }
                    }
                }
                break;
            case Kind::Blanks:
                for (size_t p = n; p-- > 0;) {
                    if (IsBlank(text[p]) && (after[p + 1] || from[p + 1]))
                        from.Set(p);
                }
                break;
            case Kind::Any: {
                // later: some end at or after p, with no line feed in between, reaches the rest.
                bool later = after[n];
                if (step.minimum == 0 && later)
                    from.Set(n);
                for (size_t p = n; p-- > 0;) {
                    const bool crossable = text[p] != L'\n';
                    if (step.minimum == 1 && crossable && later)
                        from.Set(p);
                    later = after[p] || (crossable && later);
                    if (step.minimum == 0 && later)
                        from.Set(p);
                }
                break;
            }
        }
    }
    if (!reaches[0][0])
        return false;  // cannot happen after the forward pass; kept as the walk's precondition

    // The walk: at each step the first choice, in the backtracking order, that still reaches the
    // end.
    std::vector<size_t> at(count + 1, 0);
    size_t p = 0;
    for (size_t i = 0; i < count; ++i) {
        at[i] = p;
        const Step& step = steps_[i];
        const Positions& after = reaches[i + 1];
        switch (step.kind) {
            case Kind::End:
                break;
            case Kind::Literal:
            case Kind::Choice:
                for (const std::wstring& word : step.words) {
                    if (WordAt(text, p, word) && after[p + word.size()]) {
                        p += word.size();
                        break;
                    }
                }
                break;
            case Kind::Blanks: {  // longest run first
                size_t q = p;
                while (q < n && IsBlank(text[q]))
                    ++q;
                while (!after[q])
                    --q;
                p = q;
                break;
            }
            case Kind::Any: {
                size_t limit = p;
                while (limit < n && text[limit] != L'\n')
                    ++limit;
                size_t q = p + step.minimum;
                if (step.lazy) {
                    while (!after[q])
                        ++q;
                } else {
                    for (size_t r = limit;; --r) {
                        if (after[r]) {
                            q = r;
                            break;
                        }
                    }
                }
                p = q;
                break;
            }
        }
    }
    at[count] = p;
    groups.reserve(groups_.size() + 1);
    groups.emplace_back(text.substr(0, p));
    for (const Group& group : groups_)
        groups.emplace_back(text.substr(at[group.first], at[group.end] - at[group.first]));
    return true;
}

}  // namespace SQLExecutor
