// The pointer build, instantiated here once.
#include "regex/pointer_pattern.h"

namespace regex::detail {

template class basic_rpattern_base_impl<const wchar_t*>;

pointer_pattern::pointer_pattern(std::wstring pattern, pattern_flags flags, match_mode mode)
    : basic_rpattern_base_impl<const wchar_t*>(std::move(pattern), flags, mode)
{
    compile_pattern(flags);
}

bool pointer_pattern::match(const wchar_t* begin, const wchar_t* end, records& out) const
{
    return run_attempt(begin, end, begin, false, false, out);
}

bool pointer_pattern::match(const wchar_t* subject, records& out) const
{
    return run_attempt(subject, nullptr, subject, false, true, out);
}

} // namespace regex::detail
