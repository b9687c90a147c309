// The spans a match reports, as the regex tests compare them: "start,end"
// per record, "-" for an unmatched one, "nomatch" when nothing matched.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "regex/rpattern.h"

namespace regex_test {

inline std::string Spans(const regex::rpattern& p, const std::wstring& subject, std::size_t pos = 0,
                         std::size_t len = std::wstring::npos)
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

struct MatchCase {
    const wchar_t* pattern;
    regex::pattern_flags flags;
    const wchar_t* subject;
    const char* expected;
};

// Every table runs in both matching modes: they must agree on every case.
inline void RunCases(const MatchCase* begin, const MatchCase* end)
{
    for (regex::match_mode mode : {regex::mode_recursive, regex::mode_explicit_stack})
        for (const MatchCase* c = begin; c != end; ++c) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << " case " << (c - begin));
            regex::rpattern p(c->pattern, c->flags, mode);
            EXPECT_EQ(Spans(p, c->subject), c->expected);
        }
}

}  // namespace regex_test
