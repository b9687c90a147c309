// Substitution texts: unescaping and the parse into parts, as stored by a
// compiled pattern.
#include "regex/rpattern.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using namespace regex;

// "L<text>" for a literal, "G<n>" for a group part, "C<code>" for a command.
std::string Parts(const rpattern& p)
{
    std::ostringstream out;
    const std::wstring& text = p.substitution();
    for (const subst_part& part : p.substitution_parts()) {
        if (!out.str().empty())
            out << ' ';
        switch (part.kind) {
        case subst_part::literal:
            out << 'L';
            for (int i = 0; i < part.length; ++i) {
                const wchar_t c = text[static_cast<std::size_t>(part.value + i)];
                if (c < 32)
                    out << '^' << static_cast<int>(c);
                else
                    out << static_cast<char>(c);
            }
            break;
        case subst_part::group: out << 'G' << part.value; break;
        default: out << 'C' << part.value; break;
        }
    }
    return out.str();
}

TEST(Substitution, ParsesIntoParts)
{
    const struct {
        const wchar_t* pattern;
        const wchar_t* substitution;
        pattern_flags flags;
        const char* parts;
        bool refs;
    } cases[] = {
        {L"(x)", L"a$1b", noflags, "La G1 Lb", true},
        {L"(x)", L"$12", noflags, "G1 L2", true},
        {L"(x)(y)", L"$2$1", noflags, "G2 G1", true},
        {L"(x)", L"\\$1", noflags, "L$1", false},
        {L"x", L"\\Ux\\E", noflags, "C40 Lx C44", false},
        {L"x", L"\\ua\\lb\\Lc", noflags, "C41 La C43 Lb C42 Lc", false},
        {L"x", L"\\Qa$b\\E", noflags, "La$b C44", false},
        {L"x", L"\\Qab", noflags, "Lab", false},
        {L"x", L"<$&|$`|$'>", noflags, "L< G0 L| G-1 L| G-2 L>", true},
        {L"x", L"", noflags, "", false},
        {L"x", L"a\\tb", unescape_text, "La^9b", false},
        {L"x", L"\\a\\e\\f\\n\\r\\v", unescape_text, "L^7^27^12^10^13^11", false},
        {L"x", L"a\\tb", noflags, "La Ltb", false},           // no unescaping: '\t' is 't'
        {L"x", L"\\\\t", unescape_text, "L\\t", false},       // the pair is kept
        {L"x", L"\\\\\\\\n", unescape_text, "L\\n", false},   // four backslashes become two
        {L"(x)", L"\\\\$1", noflags, "L\\ G1", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.substitution)));
        const rpattern p(c.pattern, c.substitution, c.flags);
        EXPECT_EQ(Parts(p), c.parts);
        EXPECT_EQ(p.substitution_has_references(), c.refs);
    }
}

TEST(Substitution, ErrorsAndReplacing)
{
    const struct {
        const wchar_t* substitution;
        const char* message;
    } cases[] = {
        {L"$2", "invalid backreference in substitution"},
        {L"$0", "invalid backreference in substitution"},
        {L"a$", "invalid backreference in substitution"},
        {L"$x", "invalid backreference in substitution"},
        {L"a\\", "expecting escape sequence in substitution string"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.substitution)));
        try {
            rpattern p(L"(x)", c.substitution, noflags);
            ADD_FAILURE() << "built";
        } catch (const bad_regexpr& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }

    rpattern p(L"(x)", L"[$1]", noflags);
    EXPECT_THROW(p.set_substitution(L"$9"), bad_regexpr);
    EXPECT_EQ(p.substitution(), L"[$1]"); // the old substitution stays
    EXPECT_EQ(Parts(p), "L[ G1 L]");
    p.set_substitution(L"-");
    EXPECT_EQ(Parts(p), "L-");
    EXPECT_FALSE(p.substitution_has_references());
    // A pattern without groups accepts no numbered reference at all.
    EXPECT_THROW(rpattern(L"x", L"$1", noflags), bad_regexpr);
}

} // namespace
