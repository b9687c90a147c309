#include "regex/substitution.h"

#include "regex/pattern_compiler.h"

namespace regex::detail {

void unescape_substitution(std::wstring& text)
{
    std::size_t i = text.find(L'\\');
    while (i != std::wstring::npos && i + 1 < text.size()) {
        wchar_t control = 0;
        switch (text[i + 1]) {
        case L'a': control = 7; break;
        case L'e': control = 27; break;
        case L'f': control = 12; break;
        case L'n': control = 10; break;
        case L'r': control = 13; break;
        case L't': control = 9; break;
        case L'v': control = 11; break;
        case L'\\':
            if (i + 3 < text.size() && text[i + 2] == L'\\' && text[i + 3] == L'\\')
                text.erase(i, 2);
            break;
        default: break;
        }
        if (control) {
            text.replace(i, 2, 1, control);
            i = text.find(L'\\', i + 1);
        } else {
            i = text.find(L'\\', i + 2);
        }
    }
}

std::vector<subst_part> parse_substitution(const std::wstring& text, unsigned capture_count,
                                           bool& has_references)
{
    const perl_syntax syntax(noflags);
    const wchar_t* const begin = text.data();
    const wchar_t* const end = begin + text.size();
    std::vector<subst_part> parts;
    bool refs = false;
    const wchar_t* pending = begin;
    std::int32_t pending_length = 0;
    auto flush = [&] {
        if (pending_length)
            parts.push_back({subst_part::literal, static_cast<std::int32_t>(pending - begin),
                             pending_length});
        pending_length = 0;
    };
    auto restart_at = [&](const wchar_t* p) {
        pending = p;
        pending_length = 0;
    };
    const wchar_t* pos = begin;
    while (pos != end) {
        const int tok = syntax.read_substitution_token(pos, end);
        switch (tok) {
        case no_token:
            ++pending_length;
            ++pos;
            break;
        case subst_backref: {
            const std::uint64_t n = read_decimal(pos, end, capture_count ? capture_count - 1 : 0);
            if (n == 0)
                throw bad_regexpr("invalid backreference in substitution");
            flush();
            parts.push_back({subst_part::group, static_cast<std::int32_t>(n), 0});
            refs = true;
            restart_at(pos);
            break;
        }
        case subst_match:
        case subst_prematch:
        case subst_postmatch:
            flush();
            parts.push_back({subst_part::group,
                             tok == subst_match      ? subst_part::whole_match
                             : tok == subst_prematch ? subst_part::before_match
                                                     : subst_part::after_match,
                             0});
            refs = true;
            restart_at(pos);
            break;
        case subst_escape:
            if (pos == end)
                throw bad_regexpr("expecting escape sequence in substitution string");
            flush();
            pending = pos; // the escaped character stands for itself
            pending_length = 1;
            ++pos;
            break;
        case subst_quote_meta_on: {
            flush();
            const wchar_t* const start = pos;
            const wchar_t* stop = end;
            bool closed = false;
            while (pos != end) {
                const wchar_t* token_start = pos;
                const int inner = syntax.read_substitution_token(pos, end);
                if (inner == subst_case_off) {
                    stop = token_start;
                    closed = true;
                    break;
                }
                if (inner == no_token)
                    ++pos;
            }
            if (stop != start)
                parts.push_back({subst_part::literal, static_cast<std::int32_t>(start - begin),
                                 static_cast<std::int32_t>(stop - start)});
            if (closed)
                parts.push_back({subst_part::case_command, subst_case_off, 0});
            restart_at(pos);
            break;
        }
        default: // \U \u \L \l \E
            flush();
            parts.push_back({subst_part::case_command, tok, 0});
            restart_at(pos);
            break;
        }
    }
    flush();
    has_references = refs;
    return parts;
}

} // namespace regex::detail
