// The statement patterns as the parser matches them, against the same patterns searched by plain
// backtracking: on every statement both must agree on whether it matches and on every group, so
// that classifying a statement in linear time never classifies it differently. A look-ahead that
// always holds, put in front, keeps a pattern out of the engine's linear class without changing
// what it matches.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "platform/automation/wide_text.h"
#include "regex/rpattern.h"
#include "sqlexec/sql_parser.h"

namespace {

using SQLExecutor::SQLParser;

constexpr regex::pattern_flags kParserFlags = regex::ignore_case | regex::repeat_match;

// Statements of every kind, and pieces that move them across the patterns' edges: blanks of
// every class (including those outside ASCII and the line feed, which "." does not cross),
// letters that fold to ASCII letters in some locales, brackets, quotes and keywords.
const wchar_t* const kSeeds[] = {
    L"ALTER TABLE [T] ADD CONSTRAINT [[F].ValidationRule] CHECK (>0 And <9)",
    L"ALTER TABLE [T] DROP CONSTRAINT [[F].ValidationRule]",
    L"alter table [T] allow zero length [F]",
    L"UPDATE [T] SET [a]=\"x\" & chr(13) & chr(10), [b]=base64(\"AAEC\") WHERE [id]=1",
    L"INSERT INTO [T] ([a], [b]) VALUES (chr(65) & \"\"\"q\", base64(\"AAEC AwQF\"))",
    L"INSERT INTO [T] ([a]) VALUES (base64(\"AQ==\"), 1, \"a,b\", Left(\"x,y\", 1))",
    L"ALTER TABLE [O] ADD CONSTRAINT [K] FOREIGN KEY NO INDEX ([A B], [C]) REFERENCES [P] ([A B])",
    L"CREATE VIEW [V] AS SELECT * FROM [T]",
    L"CREATE PROCEDURE [P] ([x] LONG) AS SELECT * FROM [T] WHERE [id]=[x]",
    L"LINK TABLE [L] TO [R] ODBC \"DSN=x\"",
    L"LINK TABLE [L] TO [R] SRC \"/tmp/x.mdb\"",
};
const wchar_t* const kPieces[] = {
    L" ",
    L"  ",
    L"\t",
    L"\n",
    L"\r",
    L"\x00A0",
    L"\x2028",
    L"\x3000",
    L"\x0085",
    L"\x017F",
    L"\x212A",
    L"\x0130",
    L"[",
    L"]",
    L"(",
    L")",
    L"\"",
    L",",
    L"=",
    L"chr(",
    L"base64(",
    L" WHERE ",
    L"where",
    L" SET ",
    L" AS ",
    L" TO ",
    L"VALUES",
    L"ALLOW",
    L"].ValidationRule]",
    L"x",
    L"K",
    L"s",
};

class StatementPatternTest : public testing::Test {
protected:
    void SetUp() override
    {
        for (const wchar_t* text : SQLParser::PatternTexts()) {
            linear_.push_back(
                std::make_unique<regex::rpattern>(text, kParserFlags, regex::mode_recursive));
            stepwise_.push_back(
                std::make_unique<regex::rpattern>(text, kParserFlags, regex::mode_explicit_stack));
            plain_.push_back(std::make_unique<regex::rpattern>(
                L"(?=|)" + std::wstring(text), kParserFlags, regex::mode_recursive));
        }
    }

    // Every pattern on one statement, searched both ways.
    void ExpectSameAnswers(const std::wstring& text)
    {
        for (size_t k = 0; k < plain_.size(); ++k) {
            regex::match_results expected;
            const bool matched = plain_[k]->match(text, expected).matched;
            for (const auto* pattern : {linear_[k].get(), stepwise_[k].get()}) {
                regex::match_results results;
                ASSERT_EQ(pattern->match(text, results).matched, matched)
                    << "pattern " << k << " on " << automation::ToUtf8(text);
                if (!matched)
                    continue;
                ASSERT_EQ(results.cbackrefs(), expected.cbackrefs());
                for (size_t i = 0; i < results.cbackrefs(); ++i) {
                    ASSERT_EQ(results.backref(i).matched, expected.backref(i).matched);
                    if (!expected.backref(i).matched)
                        continue;
                    ASSERT_EQ(results.backref(i).first - text.begin(),
                              expected.backref(i).first - text.begin())
                        << "pattern " << k << " group " << i << " on " << automation::ToUtf8(text);
                    ASSERT_EQ(results.backref(i).str(), expected.backref(i).str())
                        << "pattern " << k << " group " << i << " on " << automation::ToUtf8(text);
                }
            }
        }
    }

    std::vector<std::unique_ptr<regex::rpattern>> linear_;
    std::vector<std::unique_ptr<regex::rpattern>> stepwise_;
    std::vector<std::unique_ptr<regex::rpattern>> plain_;
};

TEST_F(StatementPatternTest, AgreesWithPlainBacktrackingOnMutatedStatements)
{
    std::mt19937 random(424242);
    for (int round = 0; round < 20000; ++round) {
        std::wstring text = kSeeds[random() % std::size(kSeeds)];
        const int mutations = std::uniform_int_distribution<int>(0, 4)(random);
        for (int i = 0; i < mutations; ++i) {
            const size_t at = random() % (text.size() + 1);
            switch (random() % 4) {
                case 0:
                    text.erase(at, random() % 6);
                    break;
                case 1:
                    text.insert(at, kPieces[random() % std::size(kPieces)]);
                    break;
                case 2:
                    if (at < text.size())
                        text[at] = kPieces[random() % std::size(kPieces)][0];
                    break;
                default:
                    text.insert(at, text.substr(random() % (text.size() + 1), random() % 12));
                    break;
            }
        }
        ExpectSameAnswers(text);
        if (HasFatalFailure())
            return;
    }
}

// The edges one by one: lazy groups take the first end that lets the rest match, greedy ones the
// last, and a line feed ends what "." may cross (the statement splitter never leaves one, but a
// caller may classify any text).
TEST_F(StatementPatternTest, AgreesOnTheEdgesOfEachPattern)
{
    const wchar_t* const cases[] = {
        L"UPDATE t SET a=chr(1) WHERE b WHERE c",
        L"UPDATE t SET SET a=chr(1) WHERE x",
        L"UPDATE t SET a=chr(1)WHERE x",
        L"UPDATE t SET a=chr(1) WHERE ",
        L"UPDATE t SET a=chr(1) WHERE x\n",
        L"UPDATE t SET a=chr(1) WHERE x\n\n",
        L"UPDATE t SET a=\nchr(1) WHERE x",
        L"UPDATE t SET a=chr(1) \x00A0WHERE\x3000x",
        L"UPDATE t SET a=base64(chr(1)) WHERE x",
        L"UPDATE t SET a=chr() WHERE x",
        L"INSERT INTO t (a) VALUES (chr(1))",
        L"INSERT INTO t (a) VALUES (chr(65))) ",
        L"INSERT INTO t (a)) VALUES (b) VALUES (chr(2))",
        L"INSERT INTO t () VALUES (x chr(1) y)",
        L"ALTER TABLE [a]] ADD CONSTRAINT [[b]].ValidationRule] CHECK ((x))",
        L"ALTER TABLE [a] DENY ZERO LENGTH [b]]",
        L"ALTER TABLE [a] ALLOWDENY ZERO LENGTH [b]",
        L"ALTER TABLE a ADD CONSTRAINT b FOREIGN KEY NO INDEX () REFERENCES c ()",
        L"CREATE VIEW v AS ",
        L"CREATE VIEW v AS  AS x",
        L"CREATE PROCEDURE p () AS",
        L"LINK TABLE [a] TO [b] [c] SRC \"x\" SRC \"y\"",
        L"LINK TABLE [a] TO [b] ODBC \"\"",
        L"\x017F"
        L"ELECT",
        L"",
    };
    for (const wchar_t* text : cases) {
        ExpectSameAnswers(text);
        if (HasFatalFailure())
            return;
    }
}

}  // namespace
