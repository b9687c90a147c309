// The wide-string build of the engine, compiled once here.
#include "regex/rpattern.h"

namespace regex {

template class basic_rpattern<std::wstring::const_iterator>;
template class basic_match_results<std::wstring::const_iterator>;

} // namespace regex
