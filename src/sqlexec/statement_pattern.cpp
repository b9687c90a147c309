// Two passes over the text per pattern: a forward pass that keeps the positions reachable after
// each step (most statements are turned down within the first word), and, for a text that
// matches, a backward pass that marks for each step the positions from which the rest of the
// chain reaches the end. The walk that picks the groups then never has to take a choice back.
#include "sqlexec/statement_pattern.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <bit>
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
inline bool WordAt(std::wstring_view text, size_t position, const std::wstring& word)
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

constexpr size_t kNone = static_cast<size_t>(-1);

// A set of positions 0..n, one bit each. The passes visit only the positions in a set and fill
// whole stretches at once, 64 positions to a word.
class Positions {
public:
    explicit Positions(std::uint64_t* bits) : bits_(bits) {}
    bool operator[](size_t p) const { return (bits_[p / 64] >> (p % 64)) & 1; }
    void Set(size_t p) { bits_[p / 64] |= std::uint64_t{1} << (p % 64); }
    // Every position from `first` to `last`, both included.
    void Set(size_t first, size_t last)
    {
        const size_t firstWord = first / 64, lastWord = last / 64;
        const std::uint64_t head = ~std::uint64_t{0} << (first % 64);
        const std::uint64_t tail = ~std::uint64_t{0} >> (63 - last % 64);
        if (firstWord == lastWord) {
            bits_[firstWord] |= head & tail;
            return;
        }
        bits_[firstWord] |= head;
        std::fill(bits_ + firstWord + 1, bits_ + lastWord, ~std::uint64_t{0});
        bits_[lastWord] |= tail;
    }
    void Clear(size_t first, size_t last)
    {
        std::fill(bits_ + first / 64, bits_ + last / 64 + 1, 0);
    }
    void Swap(Positions& other) { std::swap(bits_, other.bits_); }

    // The first position in the set from `p` to `last`, or kNone.
    size_t Next(size_t p, size_t last) const
    {
        if (p > last)
            return kNone;
        size_t word = p / 64;
        std::uint64_t bits = bits_[word] & (~std::uint64_t{0} << (p % 64));
        const size_t lastWord = last / 64;
        while (bits == 0) {
            if (++word > lastWord)
                return kNone;
            bits = bits_[word];
        }
        const size_t found = word * 64 + static_cast<size_t>(std::countr_zero(bits));
        return found <= last ? found : kNone;
    }
    // The last position in the set at or before `p`, or kNone.
    size_t Previous(size_t p) const
    {
        size_t word = p / 64;
        std::uint64_t bits = bits_[word] & (~std::uint64_t{0} >> (63 - p % 64));
        while (bits == 0) {
            if (word == 0)
                return kNone;
            bits = bits_[--word];
        }
        return word * 64 + 63 - static_cast<size_t>(std::countl_zero(bits));
    }

private:
    std::uint64_t* bits_;
};

// The words of `count` sets of positions 0..n, all empty, in one block: on the stack for the
// short statements nearly every script is made of, so that trying a pattern allocates nothing.
class PositionSets {
public:
    PositionSets(size_t n, size_t count) : words_((n + 64) / 64)
    {
        if (words_ * count <= local_.size()) {
            data_ = local_.data();
            std::fill(data_, data_ + words_ * count, 0);
        } else {
            heap_.assign(words_ * count, 0);
            data_ = heap_.data();
        }
    }
    PositionSets(const PositionSets&) = delete;
    PositionSets& operator=(const PositionSets&) = delete;

    Positions operator[](size_t i) const { return Positions(data_ + i * words_); }

private:
    size_t words_;
    std::array<std::uint64_t, 128> local_;
    std::vector<std::uint64_t> heap_;
    std::uint64_t* data_ = nullptr;
};

// The line feed at or after `p`, or the end: a "." stretch from `p` reaches this far.
size_t LineEnd(std::wstring_view text, size_t p)
{
    const size_t found = text.find(L'\n', p);
    return found == std::wstring_view::npos ? text.size() : found;
}

// The first place at or after `from` where `word` (kept in lower case) starts, or kNone.
size_t FindWord(std::wstring_view text, size_t from, const std::wstring& word)
{
    if (word.empty() || text.size() < word.size())
        return word.empty() ? from : kNone;
    const wchar_t first = word[0];
    for (size_t p = from; p + word.size() <= text.size(); ++p) {
        if (LowerAscii(text[p]) == first && WordAt(text, p, word))
            return p;
    }
    return kNone;
}

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

// A pass that only asks whether the chain's words stand in the text in the chain's order, each
// taken where it first appears after the one before. A match has them all so, and most
// statements lack one of them (an INSERT with no chr() or base64() value), which this finds in
// one look at each character instead of the forward pass's look at each for every step.
bool StatementPattern::MayMatch(std::wstring_view text) const
{
    size_t p = 0;
    bool anchored = true;  // the first step starts the text
    for (const Step& step : steps_) {
        switch (step.kind) {
            case Kind::End:
                return p <= text.size();
            case Kind::Literal:
            case Kind::Choice: {
                size_t end = kNone;
                for (const std::wstring& word : step.words) {
                    const size_t at =
                        anchored ? (WordAt(text, p, word) ? p : kNone) : FindWord(text, p, word);
                    if (at != kNone)
                        end = std::min(end, at + word.size());
                }
                if (end == kNone)
                    return false;
                p = end;
                break;
            }
            case Kind::Blanks:
                p += 1;
                break;
            case Kind::Any:
                p += step.minimum;
                break;
        }
        anchored = false;
        if (p > text.size())
            return false;
    }
    return true;
}

// The forward pass: the positions reachable after each step, kept within the range where any
// is set, so that a statement that fails on its first word costs nothing more.
bool StatementPattern::CanMatch(std::wstring_view text) const
{
    const size_t n = text.size();
    const PositionSets sets(n, 2);
    Positions current = sets[0], next = sets[1];
    current.Set(0);
    size_t lo = 0, hi = 0;
    for (const Step& step : steps_) {
        if (step.kind == Kind::End)
            return current[n] || (n > 0 && current[n - 1] && text[n - 1] == L'\n');
        size_t nextLo = kNone, nextHi = 0;
        auto reach = [&](size_t first, size_t last) {
            next.Set(first, last);
            nextLo = std::min(nextLo, first);
            nextHi = std::max(nextHi, last);
        };
        switch (step.kind) {
            case Kind::End:
                break;
            case Kind::Literal:
            case Kind::Choice:
                for (size_t p = current.Next(lo, hi); p != kNone; p = current.Next(p + 1, hi)) {
                    for (const std::wstring& word : step.words) {
                        if (WordAt(text, p, word))
                            reach(p + word.size(), p + word.size());
                    }
                }
                break;
            case Kind::Blanks:
                // A run of blanks from p reaches every position up to its end; the starts inside
                // the run reach no further, and its end is no blank.
                for (size_t p = current.Next(lo, hi); p != kNone;) {
                    size_t q = p;
                    while (q < n && IsBlank(text[q]))
                        ++q;
                    if (q > p)
                        reach(p + 1, q);
                    p = current.Next(q + 1, hi);
                }
                break;
            case Kind::Any:
                // From p up to the line feed that ends its line; later starts on the same line
                // reach no further.
                for (size_t p = current.Next(lo, hi); p != kNone;) {
                    const size_t end = LineEnd(text, p);
                    if (p + step.minimum <= end)
                        reach(p + step.minimum, end);
                    p = current.Next(end + 1, hi);
                }
                break;
        }
        current.Clear(lo, hi);
        if (nextLo == kNone)
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
    if (!MayMatch(text) || !CanMatch(text))
        return false;
    const size_t n = text.size();
    const size_t count = steps_.size();
    // reaches[i]: from which positions steps i.. reach the end. Each is worked out from the
    // positions of the one after it, visiting only those.
    const PositionSets sets(n, count + 1);
    std::vector<Positions> reaches;
    reaches.reserve(count + 1);
    for (size_t i = 0; i <= count; ++i)
        reaches.push_back(sets[i]);
    reaches[count].Set(0, n);
    for (size_t i = count; i-- > 0;) {
        const Step& step = steps_[i];
        const Positions& after = reaches[i + 1];
        Positions& from = reaches[i];
        switch (step.kind) {
            case Kind::End:
                if (AtEnd(text, n))
                    from.Set(n);
                if (n > 0 && AtEnd(text, n - 1))
                    from.Set(n - 1);
                break;
            case Kind::Literal:
            case Kind::Choice:
                for (const std::wstring& word : step.words) {
                    for (size_t q = after.Next(word.size(), n); q != kNone;
                         q = after.Next(q + 1, n)) {
                        if (WordAt(text, q - word.size(), word))
                            from.Set(q - word.size());
                    }
                }
                break;
            case Kind::Blanks: {
                // Each q is reached from the run of blanks that ends just before it; a run
                // already marked from a later q is not walked again.
                size_t marked = n + 1;  // the lowest position marked so far
                for (size_t q = after.Previous(n); q != kNone && q > 0; q = after.Previous(q - 1)) {
                    if (q - 1 >= marked)
                        continue;
                    size_t p = q;
                    while (p > 0 && IsBlank(text[p - 1]))
                        --p;
                    if (p < q) {
                        from.Set(p, q - 1);
                        marked = p;
                    }
                }
                break;
            }
            case Kind::Any:
                // Each q is reached from its own line up to `minimum` characters before it;
                // earlier ends on the same line add nothing.
                for (size_t q = after.Previous(n); q != kNone;) {
                    const size_t lineFeed =
                        q == 0 ? std::wstring_view::npos : text.rfind(L'\n', q - 1);
                    const size_t start = lineFeed == std::wstring_view::npos ? 0 : lineFeed + 1;
                    if (q >= step.minimum && start <= q - step.minimum)
                        from.Set(start, q - step.minimum);
                    if (lineFeed == std::wstring_view::npos)
                        break;
                    q = after.Previous(lineFeed);
                }
                break;
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
            case Kind::Any:
                // Lazy: the first end that reaches the rest; greedy: the last on the line.
                p = step.lazy ? after.Next(p + step.minimum, n) : after.Previous(LineEnd(text, p));
                break;
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
