// Splitting scripts into statements with their first lines, and classifying statements by the
// ordered statement patterns into their command kinds and pieces.
#include "sqlexec/sql_parser.h"

#include <gtest/gtest.h>

#include <vector>

#include "null_executor.h"
#include "platform/automation/wide_text.h"
#include "sqlexec/sql_parametrized_command.h"

namespace {

using namespace SQLExecutor;

struct Statement {
    std::wstring text;
    int line;
    bool operator==(const Statement&) const = default;
};

std::vector<Statement> Split(const std::wstring& script)
{
    SQLParser parser(script);
    std::vector<Statement> statements;
    while (auto command = parser.Next())
        statements.push_back({command->GetText(), command->GetLine()});
    return statements;
}

TEST(SQLParser, SplitsStatementsWithTheirFirstLines)
{
    struct Case {
        const char* name;
        std::wstring script;
        std::vector<Statement> expected;
    };
    const Case cases[] = {
        {"second statement without semicolon",
         L"DELETE FROM a;\nDELETE FROM b",
         {{L"DELETE FROM a", 1}, {L"DELETE FROM b", 2}}},
        {"comments and empty lines are counted but start nothing",
         L"-- header\r\n\r\n  -- indented comment\nINSERT INTO t\n  (a)\n\tVALUES (1);\n\nDELETE "
         L"FROM t",
         {{L"INSERT INTO t (a) VALUES (1)", 4}, {L"DELETE FROM t", 8}}},
        {"semicolon inside a line does not end the statement",
         L"SELECT ';' ; x\nFROM t;\n",
         {{L"SELECT ';' ; x FROM t", 1}}},
        {"a comment after text stays in the statement",
         L"SELECT 1 -- note;\n",
         {{L"SELECT 1 -- note", 1}}},
        {"semicolon alone on the next line leaves no trailing blank",
         L"DROP TABLE t\n;\nDROP TABLE u\r\n  ;  \r\n",
         {{L"DROP TABLE t", 1}, {L"DROP TABLE u", 3}}},
        {"blank and comment lines between the lines of one statement",
         L"\n\nUPDATE t\n\n-- x\nSET a=1;",
         {{L"UPDATE t SET a=1", 3}}},
        {"a final line feed makes no empty statement",
         L"DELETE FROM a;\n",
         {{L"DELETE FROM a", 1}}},
        {"comments only", L"-- one\n--two\n\n", {}},
        {"empty script", L"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Split(c.script), c.expected);
    }
}

TEST(SQLParser, LineCountIsTheNumberOfLineFeeds)
{
    const std::pair<std::wstring, int> cases[] = {
        {L"", 0}, {L"a;", 0}, {L"a;\r\nb;\r\n", 2}, {L"\n\n\nx", 3}};
    for (const auto& [script, lines] : cases)
        EXPECT_EQ(SQLParser(script).GetLineCount(), lines);
}

enum class Kind {
    Plain,
    Insert,
    Update,
    ValidationRule,
    ZeroLength,
    ForeignKey,
    View,
    Procedure,
    LinkOdbc,
    LinkAccess
};

Kind KindOf(const SQLCommand& c)
{
    if (dynamic_cast<const SQLCommandInsertChr*>(&c))
        return Kind::Insert;
    if (dynamic_cast<const SQLCommandUpdate*>(&c))
        return Kind::Update;
    if (dynamic_cast<const SQLCommandAlterValidationRule*>(&c))
        return Kind::ValidationRule;
    if (dynamic_cast<const SQLCommandAlterZeroLength*>(&c))
        return Kind::ZeroLength;
    if (dynamic_cast<const SQLCommandAddConstraintNoIndex*>(&c))
        return Kind::ForeignKey;
    if (dynamic_cast<const SQLCommandCreateProcedure*>(&c))
        return Kind::Procedure;
    if (dynamic_cast<const SQLCommandCreateView*>(&c))
        return Kind::View;
    if (dynamic_cast<const SQLCommandLinkAccess*>(&c))
        return Kind::LinkAccess;
    if (dynamic_cast<const SQLCommandLinkODBC*>(&c))
        return Kind::LinkOdbc;
    return Kind::Plain;
}

// The pieces a command carries, as one comparable list of texts.
std::vector<std::wstring> PiecesOf(const SQLCommand& c)
{
    switch (KindOf(c)) {
        case Kind::Insert:
        case Kind::Update:
            return {static_cast<const SQLParametrizedCommand&>(c).GetRebuiltText()};
        case Kind::ValidationRule: {
            const auto& v = static_cast<const SQLCommandAlterValidationRule&>(c);
            return {v.GetTable(), v.GetField(), v.GetRule()};
        }
        case Kind::ZeroLength: {
            const auto& z = static_cast<const SQLCommandAlterZeroLength&>(c);
            return {z.GetTable(), z.GetField(), z.GetAllow() ? L"allow" : L"deny"};
        }
        case Kind::ForeignKey: {
            const auto& f = static_cast<const SQLCommandAddConstraintNoIndex&>(c);
            std::vector<std::wstring> pieces{f.GetName(), f.GetTable(), f.GetReferencedTable()};
            for (const auto& [column, referenced] : f.GetColumns())
                pieces.push_back(column + L"->" + referenced);
            return pieces;
        }
        case Kind::Procedure: {
            const auto& p = static_cast<const SQLCommandCreateProcedure&>(c);
            return {p.GetName(), p.GetParameters(), p.GetBody()};
        }
        case Kind::View: {
            const auto& v = static_cast<const SQLCommandCreateView&>(c);
            return {v.GetName(), v.GetBody()};
        }
        case Kind::LinkOdbc:
        case Kind::LinkAccess: {
            const auto& l = static_cast<const SQLCommandLinkODBC&>(c);
            return {l.GetLocalTable(), l.GetRemoteTable(), l.GetSource()};
        }
        case Kind::Plain:
            break;
    }
    return {};
}

TEST(SQLParser, ClassifiesEachStatementFormByTheFirstMatchingPattern)
{
    struct Case {
        std::wstring text;
        Kind kind;
        std::vector<std::wstring> pieces;
    };
    const Case cases[] = {
        {L"ALTER TABLE [Order Lines] ADD CONSTRAINT [[Qty].ValidationRule] CHECK (>0 And <(100))",
         Kind::ValidationRule,
         {L"Order Lines", L"Qty", L">0 And <(100)"}},
        {L"alter table [T]  drop constraint [[F].validationrule]",
         Kind::ValidationRule,
         {L"T", L"F", L""}},
        {L"ALTER TABLE [T] allow ZERO LENGTH [Name]", Kind::ZeroLength, {L"T", L"Name", L"allow"}},
        {L"ALTER TABLE [T] DENY ZERO LENGTH [Name]", Kind::ZeroLength, {L"T", L"Name", L"deny"}},
        {L"UPDATE [t] SET [a]=chr(65) & \"b\", [n]=1 WHERE [id]=3",
         Kind::Update,
         {L"UPDATE [t] SET [a]=?, [n]=1 WHERE [id]=3"}},
        {L"insert into [t] ([n], [s]) values (1, chr(65) & \"b\")",
         Kind::Insert,
         {L"INSERT INTO [t] ([n], [s]) VALUES (1, ?)"}},
        // A list that starts with an encoded value is rebuilt too.
        {L"INSERT INTO [t] ([b], [n]) VALUES (base64(\"AAEC\"), 2)",
         Kind::Insert,
         {L"INSERT INTO [t] ([b], [n]) VALUES (?,  2)"}},
        {L"INSERT INTO [t] ([s]) VALUES (chr(9))",
         Kind::Insert,
         {L"INSERT INTO [t] ([s]) VALUES (?)"}},
        {L"ALTER TABLE [Orders] ADD CONSTRAINT [FK Cust] FOREIGN KEY NO INDEX ([Customer ID], "
         L"[Shop]) REFERENCES [Customers] ([Customer ID],[Shop], [Extra])",
         Kind::ForeignKey,
         {L"FK Cust", L"Orders", L"Customers", L"Customer ID->Customer ID", L"Shop->Shop"}},
        {L"CREATE VIEW [Big Orders] AS SELECT * FROM [Orders] WHERE [Qty] > 10",
         Kind::View,
         {L"Big Orders", L"SELECT * FROM [Orders] WHERE [Qty] > 10"}},
        {L"create procedure [Find] ([p] LONG, [q] TEXT(10)) as SELECT * FROM t WHERE id=[p]",
         Kind::Procedure,
         {L"Find", L"[p] LONG, [q] TEXT(10)", L"SELECT * FROM t WHERE id=[p]"}},
        {L"LINK TABLE [Local] TO [Remote T] ODBC \"DSN=shop;UID=me\"",
         Kind::LinkOdbc,
         {L"Local", L"Remote T", L"DSN=shop;UID=me"}},
        {L"link table [L] to [R] src \"/data/other file.mdb\"",
         Kind::LinkAccess,
         {L"L", L"R", L"/data/other file.mdb"}},
        // Falling through to the plain command.
        {L"INSERT INTO [t] ([n]) VALUES (1)", Kind::Plain, {}},
        {L"UPDATE [t] SET [a]=1 WHERE [id]=3", Kind::Plain, {}},
        {L"ALTER TABLE [T] DENY ZERO LENGTH [Name] x", Kind::Plain, {}},
        {L"CREATE TABLE [t] ([n] LONG)", Kind::Plain, {}},
        {L"", Kind::Plain, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "statement: " << automation::ToUtf8(c.text));
        const auto command = SQLParser::Classify(c.text, 7);
        ASSERT_TRUE(command);
        EXPECT_EQ(command->GetText(), c.text);
        EXPECT_EQ(command->GetLine(), 7);
        EXPECT_EQ(KindOf(*command), c.kind);
        EXPECT_EQ(PiecesOf(*command), c.pieces);
    }
}

TEST(SQLParser, StatementWithSemicolonOnItsOwnLineStillMatchesItsPattern)
{
    const std::wstring script = L"ALTER TABLE [T] DENY ZERO LENGTH [F]\n;\n";
    SQLParser parser(script);
    const auto command = parser.Next();
    ASSERT_TRUE(command);
    EXPECT_EQ(KindOf(*command), Kind::ZeroLength);
}

TEST(SQLParser, UpdateThatCannotBeRebuiltFailsWhenExecuted)
{
    const auto command = SQLParser::Classify(L"UPDATE t SET [a]=chr(65), [b] 2 WHERE x=1", 1);
    ASSERT_EQ(KindOf(*command), Kind::Update);
    struct NoExecutor : sqlexectest::NullExecutor {
        void ExecuteParametrized(const SQLParametrizedCommand&) override { ADD_FAILURE(); }
    } executor;
    EXPECT_THROW(command->Execute(executor), automation::ComError);
}

}  // namespace
