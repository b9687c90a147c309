// The compiler's syntax errors, each with its exact message.
#include "regex/rpattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PatternCompiler, SyntaxErrorsRaiseTheirExactMessages)
{
    const struct {
        const wchar_t* pattern;
        regex::pattern_flags flags;
        const char* message;
    } cases[] = {
        {L"?:x", regex::noflags, "ill-formed regular expression"},
        {L"a(?", regex::noflags, "ill-formed regular expression"},
        {L"(?z)", regex::noflags, "bad extension sequence"},
        {L"(?i-s-m)", regex::noflags, "bad extension sequence"},
        {L"(?Rx)", regex::noflags, "bad extension sequence"},
        {L"(?<x)", regex::noflags, "bad extension sequence"},
        {L"(?#abc", regex::noflags, "Expecting end of comment"},
        {L"(?#a\\)b)", regex::noflags, "mismatched parenthesis"},
        {L"a)", regex::noflags, "mismatched parenthesis"},
        {L"(a", regex::noflags, "mismatched parenthesis"},
        {L"((a)", regex::noflags, "mismatched parenthesis"},
        {L"a\\c", regex::noflags, "incomplete escape sequence \\c"},
        {L"a\\E", regex::noflags, "quotemeta turned off, but was never turned on"},
        {L"*a", regex::noflags, "quantifier not expected"},
        {L"a**", regex::noflags, "quantifier not expected"},
        {L"\\b+", regex::noflags, "quantifier not expected"},
        {L"(a)|+", regex::noflags, "quantifier not expected"},
        {L"a{3,2}", regex::noflags, "Can't do {n, m} with n > m"},
        {L"(a){3,2}", regex::noflags, "Can't do {n, m} with n > m"},
        {L"\\2(a)", regex::noflags, "reference to nonexistent group"},
        {L"(?:a)\\2", regex::noflags, "reference to nonexistent group"},
        {L"(?:a|.*|\\2)", regex::noflags, "reference to nonexistent group"},
        {L"[a", regex::noflags, "expecting end of character set"},
        {L"[z-a]", regex::noflags, "invalid range specified in character set"},
        {L"a [ b", regex::free_spacing, "expecting end of character set"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "pattern " << (&c - cases));
        try {
            regex::rpattern p(c.pattern, c.flags);
            ADD_FAILURE() << "compiled";
        } catch (const regex::bad_regexpr& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(PatternCompiler, EmptyExtensionsAndModifiersProduceNoNode)
{
    // Constructs without a body compile to nothing and match the empty
    // string; an empty negative look-around instead never holds.
    for (const wchar_t* pattern : {L"(?:)abc", L"(?#x)abc", L"(?=)abc", L"(?<=)abc", L"(?i)abc"}) {
        regex::rpattern p(pattern);
        regex::match_results r;
        EXPECT_TRUE(p.match(L"abc", r).matched);
    }
    for (const wchar_t* pattern : {L"(?!)abc", L"(?<!)abc"}) {
        regex::rpattern p(pattern);
        regex::match_results r;
        EXPECT_FALSE(p.match(L"abc", r).matched);
    }
    EXPECT_THROW(regex::rpattern(L"(?i"), regex::bad_regexpr);
}

TEST(PatternCompiler, ExceptionTypeIsAnInvalidArgument)
{
    try {
        regex::rpattern p(L"(");
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "mismatched parenthesis");
        return;
    }
    FAIL();
}

} // namespace
