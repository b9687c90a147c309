// The spans a match reports, as the regex tests compare them: "start,end"
// per record, "-" for an unmatched one, "nomatch" when nothing matched.
#pragma once

#include "regex/rpattern.h"

#include <sstream>
#include <string>

namespace regex_test {

inline std::string Spans(const regex::rpattern& p, const std::wstring& subject,
                         std::size_t pos = 0, std::size_t len = std::wstring::npos)
{
    regex::match_results results;
    if (!p.match(subject, results, pos, len).matched)
        return "nomatch";
    std::ostringstream out;
    for (std::size_t i = 0; i < results.cbackrefs(); ++i) {
        const auto& b = results.backref(i);
        if (i)
            out << ' ';
        if (b.matched)
            out << (b.first - subject.begin()) << ',' << (b.second - subject.begin());
        else
            out << '-';
    }
    return out.str();
}

} // namespace regex_test
