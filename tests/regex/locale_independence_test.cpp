// Case folding and classes give the same answers whatever the process locale:
// Qt sets LC_CTYPE from the environment, which may well be "C".
#include "regex/rpattern.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

bool Matches(const wchar_t* pattern, const wchar_t* subject)
{
    regex::rpattern p(pattern);
    regex::match_results r;
    return p.match(subject, r).matched;
}

TEST(LocaleIndependence, FoldingAndClassesIgnoreTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ASSERT_NE(std::setlocale(LC_ALL, locale), nullptr);
        EXPECT_TRUE(Matches(L"(?i)caf\u00e9", L"CAF\u00c9"));
        EXPECT_TRUE(Matches(L"(?i)[\u00e0-\u00ef]", L"\u00c9"));
        EXPECT_TRUE(Matches(L"^\\w+$", L"\u00e9t\u00e9"));
        EXPECT_TRUE(Matches(L"^[[:alpha:]]$", L"\u00df"));
        EXPECT_TRUE(Matches(L"^\\s$", L"\u3000"));
        EXPECT_TRUE(Matches(L"(?i)\u03a3", L"\u03c3"));
        EXPECT_FALSE(Matches(L"^\\d$", L"\u00bd"));
        EXPECT_TRUE(Matches(L"^[[:upper:]]$", L"\u00c0"));
    }
    std::setlocale(LC_ALL, saved.c_str());
}

} // namespace
