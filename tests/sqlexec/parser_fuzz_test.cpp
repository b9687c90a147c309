// Random and mutated scripts through the splitter, the classifier and the value rewriting: no
// crash, no hang, and every command stays within the script it came from.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "null_executor.h"
#include "sqlexec/sql_parametrized_command.h"
#include "sqlexec/sql_parser.h"

namespace {

using namespace SQLExecutor;

using sqlexectest::NullExecutor;

// Statements of every form, as seeds for mutation and as pieces of random scripts.
const wchar_t* const kSeeds[] = {
    L"ALTER TABLE [T] ADD CONSTRAINT [[F].ValidationRule] CHECK (>0 And <9);",
    L"ALTER TABLE [T] DROP CONSTRAINT [[F].ValidationRule];",
    L"ALTER TABLE [T] ALLOW ZERO LENGTH [F];",
    L"UPDATE [T] SET [a]=\"x\" & chr(13) & chr(10), [b]=base64(\"AAEC\") WHERE [id]=1;",
    L"INSERT INTO [T] ([a], [b]) VALUES (chr(65) & \"\"\"q\", base64(\"AAEC\nAwQF\n\"));",
    L"INSERT INTO [T] ([a]) VALUES (base64(\"AQ==\"), 1, \"a,b\", Left(\"x,y\", 1));",
    L"ALTER TABLE [O] ADD CONSTRAINT [K] FOREIGN KEY NO INDEX ([A B], [C]) REFERENCES [P] ([A B]);",
    L"CREATE VIEW [V] AS SELECT * FROM [T];",
    L"CREATE PROCEDURE [P] ([x] LONG) AS SELECT * FROM [T] WHERE [id]=[x];",
    L"LINK TABLE [L] TO [R] ODBC \"DSN=x\";",
    L"LINK TABLE [L] TO [R] SRC \"/tmp/x.mdb\";",
    L"-- comment\n\n;\n",
    L"DELETE FROM [T] WHERE [id]=2\n;",
};

// Pieces that make the patterns and the value readers work hard.
const wchar_t* const kPieces[] = {
    L"chr(",
    L"CHR(",
    L"base64(",
    L"BASE64(\"",
    L"\"",
    L"\"\"",
    L")",
    L"(",
    L"[",
    L"]",
    L",",
    L"&",
    L"=",
    L";",
    L"\n",
    L"\r\n",
    L"--",
    L" ",
    L"\t",
    L"65",
    L"99999999999",
    L"INSERT INTO ",
    L"UPDATE ",
    L" SET ",
    L" WHERE ",
    L" VALUES ",
    L"ALTER TABLE ",
    L" ZERO LENGTH ",
    L"CREATE VIEW ",
    L" AS ",
    L"LINK TABLE ",
    L" TO ",
    L" ODBC ",
    L" SRC ",
    L"\x00E9",
    L"\x20AC",
    L"\xD83D",
    L"\xDE00",
    L"\x0001F600",
    L"A",
    L"z",
};

// Each case takes milliseconds, even under AddressSanitizer (the longest, a few hundred KB,
// some 30 ms): the classifier's time grows only with the statement's length. The bound is
// generous for a loaded machine and still far below what a backtracking matcher took.
void RunScript(const std::wstring& script)
{
    const auto start = std::chrono::steady_clock::now();
    SQLParser parser(script);
    NullExecutor executor;
    int previousLine = 0;
    while (std::unique_ptr<SQLCommand> command = parser.Next()) {
        ASSERT_LE(command->GetText().size(), script.size());
        ASSERT_GE(command->GetLine(), previousLine + 1);
        ASSERT_LE(command->GetLine(), parser.GetLineCount() + 1);
        previousLine = command->GetLine();
        try {
            command->Execute(executor);
        } catch (const automation::ComError&) {
            // An UPDATE that cannot be rebuilt fails as its own statement: allowed.
        }
    }
    ASSERT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
        << "a script of " << script.size() << " characters";
}

TEST(ParserFuzz, RandomScriptsNeitherCrashNorHang)
{
    std::mt19937 random(20240305);
    for (int round = 0; round < 10000; ++round) {
        std::wstring script;
        const int pieces = std::uniform_int_distribution<int>(0, 60)(random);
        for (int i = 0; i < pieces; ++i) {
            if (random() % 4 == 0)
                script += kSeeds[random() % std::size(kSeeds)];
            else
                script += kPieces[random() % std::size(kPieces)];
        }
        RunScript(script);
        if (HasFatalFailure())
            FAIL() << "round " << round;
    }
}

TEST(ParserFuzz, MutatedStatementsNeitherCrashNorHang)
{
    std::mt19937 random(1899);
    for (int round = 0; round < 40000; ++round) {
        std::wstring script = kSeeds[random() % std::size(kSeeds)];
        const int mutations = std::uniform_int_distribution<int>(1, 6)(random);
        for (int i = 0; i < mutations; ++i) {
            const size_t at = script.empty() ? 0 : random() % (script.size() + 1);
            switch (random() % 4) {
                case 0:  // delete a run of characters
                    script.erase(at, random() % 8);
                    break;
                case 1:  // insert a piece
                    script.insert(at, kPieces[random() % std::size(kPieces)]);
                    break;
                case 2:  // replace one character by any 16-bit or wider one
                    if (at < script.size())
                        script[at] = static_cast<wchar_t>(random() % 0x110000);
                    break;
                default:  // duplicate a slice
                    script.insert(at, script.substr(random() % (script.size() + 1), random() % 20));
                    break;
            }
        }
        RunScript(script);
        if (HasFatalFailure())
            FAIL() << "round " << round;
    }
}

// Long statements that nearly match the encoded-value patterns: they must be turned down in
// time proportional to their length, not to its cube.
TEST(ParserFuzz, LongNearMatchesAreRejectedWithoutBacktrackingForever)
{
    std::wstring codes;
    for (int i = 0; i < 5000; ++i)
        codes += L"chr(1) & ";
    std::wstring lines, opens;
    for (int i = 0; i < 5000; ++i) {
        lines += L"\"line\" & chr(13) & chr(10) & ";
        opens += L"chr(";
    }
    const std::wstring scripts[] = {
        L"INSERT INTO t (a) VALUES (" + codes + L"x",
        L"INSERT INTO t (a) VALUES (" + codes + L"x) junk",
        L"UPDATE t SET a=" + codes + L"x",
        L"UPDATE t SET a=" + codes + L"x WHER id=1",
        // "where" inside a word, a WHERE without its condition, many open codes.
        L"UPDATE t SET a = " + lines + L"\"somewhere\"",
        L"UPDATE t SET a = " + codes + L"\"x\" WHERE",
        L"INSERT INTO t (a) VALUES (" + opens + L")",
        L"ALTER TABLE " + lines + L"[a] ADD CONSTRAINT [[b].ValidationRule] CHECK (" + codes,
        L"ALTER TABLE a ADD CONSTRAINT b FOREIGN KEY NO INDEX (" + codes + L") REFERENCES c (d",
    };
    for (const std::wstring& script : scripts) {
        RunScript(script);
        SQLParser parser(script);
        const auto command = parser.Next();
        ASSERT_TRUE(command);
        EXPECT_EQ(typeid(*command), typeid(SQLCommand));
    }
    // Long statements that do match are taken apart in linear time too.
    const std::wstring matching =
        L"UPDATE t SET a = chr(1) WHERE x" + std::wstring(200000, L' ') + L"y";
    RunScript(matching);
    const auto update = SQLParser::Classify(matching, 1);
    EXPECT_EQ(typeid(*update), typeid(SQLCommandUpdate));
}

}  // namespace
