// The script parser's ten statement patterns, compiled with ignore_case |
// repeat_match and tried in order on sample statements.
#include "regex/rpattern.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StatementPattern {
    wchar_t filter; // first character, or 0 for none
    const wchar_t* text;
};

const StatementPattern kPatterns[] = {
    {L'A', L"^ALTER\\s+TABLE\\s+\\[(.+s?)\\]\\s+ADD\\s+CONSTRAINT\\s+\\[\\[(.+?)\\]\\."
           L"ValidationRule\\]\\s+CHECK\\s+\\((.+?)\\)$"},
    {L'A', L"^ALTER\\s+TABLE\\s+\\[(.+?)\\]\\s+DROP\\s+CONSTRAINT\\s+\\[\\[(.+?)\\]\\."
           L"ValidationRule\\]$"},
    {0, L"^ALTER\\s+TABLE\\s+\\[(.+s?)\\]\\s+(ALLOW|DENY)\\s+ZERO\\s+LENGTH\\s+\\[(.+?)\\]$"},
    {L'U', L"^UPDATE\\s+(.+?)\\s+SET\\s+(.+?(chr|base64)\\(.+?\\).*)\\s+WHERE\\s+(.+?)$"},
    {L'I', L"^INSERT\\s+INTO\\s+(.+?)\\s+\\((.*?)\\)\\s+VALUES\\s+\\((.+?(chr|base64)\\(.+?\\)"
           L".*)\\)$"},
    {L'A', L"^ALTER\\s+TABLE\\s+(.+?)\\s+ADD\\s+CONSTRAINT\\s+(.+?)\\s+FOREIGN\\s+KEY\\s+NO\\s+"
           L"INDEX\\s+\\((.*?)\\)\\s+REFERENCES\\s+(.+?)\\s+\\((.*?)\\)$"},
    {L'C', L"^CREATE\\s+VIEW\\s+(.+?)\\s+AS\\s+(.*)$"},
    {L'C', L"^CREATE\\s+PROCEDURE\\s+(.+?)\\s+\\((.*?)\\)\\s+AS\\s+(.*)$"},
    {L'L', L"^LINK\\s+TABLE\\s+(\\[.+?\\])\\s+TO\\s+(\\[.+?\\])\\s+ODBC\\s+\"(.+?)\"$"},
    {L'L', L"^LINK\\s+TABLE\\s+(\\[.+?\\])\\s+TO\\s+(\\[.+?\\])\\s+SRC\\s+\"(.+?)\"$"},
};

struct Classified {
    int pattern = 0; // 1..10, or 0 for a plain command
    std::vector<std::wstring> groups;
};

Classified Classify(const std::wstring& statement)
{
    static const std::vector<std::unique_ptr<regex::rpattern>> compiled = [] {
        std::vector<std::unique_ptr<regex::rpattern>> v;
        for (const StatementPattern& p : kPatterns)
            v.push_back(std::make_unique<regex::rpattern>(p.text,
                                                          regex::ignore_case | regex::repeat_match));
        return v;
    }();
    for (std::size_t i = 0; i < compiled.size(); ++i) {
        const wchar_t f = kPatterns[i].filter;
        if (f && !statement.empty() && statement[0] != f &&
            statement[0] != static_cast<wchar_t>(std::towlower(f)))
            continue;
        regex::match_results r;
        if (!compiled[i]->match(statement, r).matched)
            continue;
        Classified c;
        c.pattern = static_cast<int>(i + 1);
        for (std::size_t g = 1; g < r.cbackrefs(); ++g)
            c.groups.push_back(r.backref(g).str());
        return c;
    }
    return {};
}

TEST(StatementPatterns, EachPatternCompilesWithTheParsersFlags)
{
    for (const StatementPattern& p : kPatterns)
        EXPECT_NO_THROW(regex::rpattern(p.text, regex::ignore_case | regex::repeat_match));
}

TEST(StatementPatterns, SampleStatementsClassifyWithTheirPieces)
{
    const struct {
        const wchar_t* statement;
        int pattern;
        std::vector<std::wstring> groups;
    } cases[] = {
        {L"ALTER TABLE [Orders] ADD CONSTRAINT [[Qty].ValidationRule] CHECK ([Qty] > 0)", 1,
         {L"Orders", L"Qty", L"[Qty] > 0"}},
        {L"alter table [T] add constraint [[F].validationrule] check (F<>'')", 1,
         {L"T", L"F", L"F<>''"}},
        {L"ALTER TABLE [Orders] DROP CONSTRAINT [[Qty].ValidationRule]", 2, {L"Orders", L"Qty"}},
        {L"ALTER TABLE [Customers] ALLOW ZERO LENGTH [Name]", 3,
         {L"Customers", L"ALLOW", L"Name"}},
        {L"alter table [c]  deny zero length [n]", 3, {L"c", L"deny", L"n"}},
        {L"UPDATE [T] SET [a]=chr(65) & \"b\", [c]=1 WHERE [id]=5", 4,
         {L"[T]", L"[a]=chr(65) & \"b\", [c]=1", L"chr", L"[id]=5"}},
        {L"update [T] set [p]=BASE64(\"AAEC\") where [k]=1", 4,
         {L"[T]", L"[p]=BASE64(\"AAEC\")", L"BASE64", L"[k]=1"}},
        {L"insert into [T] ([a], [b]) values (1, chr(65) & \"b\")", 5,
         {L"[T]", L"[a], [b]", L"1, chr(65) & \"b\"", L"chr"}},
        {L"ALTER TABLE [Orders] ADD CONSTRAINT [FK1] FOREIGN KEY NO INDEX ([CustID], [Shop]) "
         L"REFERENCES [Customers] ([ID], [ShopID])",
         6, {L"[Orders]", L"[FK1]", L"[CustID], [Shop]", L"[Customers]", L"[ID], [ShopID]"}},
        {L"CREATE VIEW [V1] AS SELECT * FROM [T]", 7, {L"[V1]", L"SELECT * FROM [T]"}},
        {L"CREATE PROCEDURE [P] ([x] long, [y] text) AS SELECT * FROM T WHERE a=[x]", 8,
         {L"[P]", L"[x] long, [y] text", L"SELECT * FROM T WHERE a=[x]"}},
        {L"LINK TABLE [Local] TO [Remote] ODBC \"DSN=x;UID=y\"", 9,
         {L"[Local]", L"[Remote]", L"DSN=x;UID=y"}},
        {L"link table [L] to [R] src \"C:\\data\\other.mdb\"", 10,
         {L"[L]", L"[R]", L"C:\\data\\other.mdb"}},
        // Anchored at both ends: a trailing space falls through to a plain command.
        {L"ALTER TABLE [Orders] ALLOW ZERO LENGTH [Name] ", 0, {}},
        // The lazy part before the function name needs at least one character.
        {L"INSERT INTO [T] ([a]) VALUES (chr(65))", 0, {}},
        {L"INSERT INTO [T] ([a]) VALUES (1, \"x\")", 0, {}},
        {L"DELETE FROM [T] WHERE [id]=1", 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        const Classified got = Classify(c.statement);
        EXPECT_EQ(got.pattern, c.pattern);
        EXPECT_EQ(got.groups, c.groups);
    }
}

} // namespace
