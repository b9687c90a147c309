// The pointer build of the engine: the same compiler and matcher over
// subjects given as pointers to wide characters, bounded by an end pointer
// or by a NUL character. It is engine-internal; the statement parser uses
// the wide-string build.
#pragma once

#include "regex/pattern_compiler.h"

#include <string>
#include <vector>

namespace regex::detail {

class pointer_pattern : public basic_rpattern_base_impl<const wchar_t*> {
public:
    using records = std::vector<backref_tag<const wchar_t*>>;

    // Compiles the pattern; raises bad_regexpr on a syntax error.
    pointer_pattern(std::wstring pattern, pattern_flags flags = noflags,
                    match_mode mode = mode_recursive);

    // One match over [begin, end); records gets the visible sub-matches.
    bool match(const wchar_t* begin, const wchar_t* end, records& out) const;
    // One match over the NUL-terminated subject; the NUL ends it.
    bool match(const wchar_t* subject, records& out) const;
};

} // namespace regex::detail
