// The script executor against a real native store: output texts with echo and stop-on-error,
// open failures, error formatting, progress, and statements rebuilt with parameters.
#include <gtest/gtest.h>

#include "executor_fixture.h"

namespace sqlexectest {
namespace {

using automation::ComError;
using automation::SafeArray;
using automation::Variant;
using SQLExecutor::ScriptExecutor;

const std::wstring kSuccess = L"Command(s) completed successfully.";

TEST_F(ExecutorTest, OutputShowsEchoErrorsAndStopAsOptionsSay)
{
    const std::wstring failing = L"INSERT INTO [Missing] ([n]) VALUES (1)";
    const std::wstring error = L"\r\nError: " + ProviderError(failing);
    // The statements start on lines 2, 3 and 5; line 1 is a comment, line 4 spans two lines.
    const std::wstring script = L"-- test\nCREATE TABLE [T] ([n] LONG);\n" + failing +
                                L";\nINSERT INTO [T] ([n])\n  VALUES (3);\n";
    const std::wstring echo1 = L"2\tCREATE TABLE [T] ([n] LONG)\r\n";
    const std::wstring echo2 = L"3\t" + failing + L"\r\n";
    const std::wstring echo3 = L"4\tINSERT INTO [T] ([n]) VALUES (3)\r\n";
    struct Case {
        const char* name;
        bool echo;
        bool stopOnError;
        std::wstring output;
        bool stopped;
        size_t rowsOfT;  // the third statement ran
    };
    const Case cases[] = {
        {"echo, stop", true, true, echo1 + echo2 + error, true, 0},
        // Going on past a failure runs the rest, but the run has not completed successfully.
        {"echo, go on", true, false, echo1 + echo2 + error + L"\r\n\r\n" + echo3, false, 1},
        {"quiet, stop", false, true, error, true, 0},
        {"quiet, go on", false, false, error + L"\r\n\r\n", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Run(L"DROP TABLE [T]");  // a fresh table for each case (fails harmlessly the first time)
        EXPECT_EQ(Run(script, c.echo, c.stopOnError), c.output);
        EXPECT_EQ(executor->IsStopped(), c.stopped);
        EXPECT_EQ(executor->GetErrorText(), error);
        EXPECT_EQ(Rows(L"SELECT [n] FROM [T]").size(), c.rowsOfT);
    }
}

TEST_F(ExecutorTest, RunWithoutFailuresEndsWithTheSuccessLine)
{
    EXPECT_EQ(Run(L"CREATE TABLE [T] ([n] LONG);\nINSERT INTO [T] ([n]) VALUES (1)"), kSuccess);
    EXPECT_FALSE(executor->IsStopped());
    EXPECT_EQ(Run(L"DELETE FROM [T]", true), L"1\tDELETE FROM [T]\r\n" + kSuccess);
}

TEST_F(ExecutorTest, ScriptWithoutStatementsRunsNothing)
{
    settings.path = automation::FromUtf8((dir / "absent.mdb").string());
    for (const wchar_t* script : {L"", L"-- only a comment\r\n\r\n"}) {
        EXPECT_EQ(Run(script, true), L"");
        EXPECT_FALSE(executor->IsStopped());
    }
}

// Ignoring errors goes on past failing statements, not past a database that is not there: the
// run stops at the first statement either way, so that nobody takes it for a success.
TEST_F(ExecutorTest, DatabaseThatCannotBeOpenedFailsTheFirstStatement)
{
    settings.path = automation::FromUtf8((dir / "absent.mdb").string());
    for (const bool stopOnError : {true, false}) {
        SCOPED_TRACE(stopOnError);
        const std::wstring output = Run(L"DELETE FROM [T];\nDELETE FROM [U];", true, stopOnError);
        const std::wstring opening = L"Can't open database '" + settings.path + L"'\n";
        EXPECT_EQ(output, L"1\tDELETE FROM [T]\r\n" + executor->GetErrorText());
        EXPECT_EQ(executor->GetErrorText().substr(0, opening.size()), opening);
        EXPECT_TRUE(executor->IsStopped());
    }
}

TEST(ScriptExecutorErrors, ErrorsAreFormattedByDescriptionOrCode)
{
    struct Case {
        ComError error;
        std::wstring text;
    };
    const Case cases[] = {
        {ComError(automation::E_FAIL, L"Syntax error in INSERT statement."),
         L"\r\nError: Syntax error in INSERT statement."},
        {ComError(automation::E_FAIL),
         L"\r\nError: 80004005\r\nCheck syntax. If a reserved word is used as a table or a field "
         L"name. Enclose that table and field names within square brackets."},
        {ComError(automation::E_INVALIDARG), L"\r\nUnknown Error: 80070057 \r\nCheck permissions."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ScriptExecutor::FormatError(c.error), c.text);
}

// Records what a run reports.
class RecordingProgress : public IProgress {
public:
    void SetTotal(int total) override { calls.push_back(L"total " + std::to_wstring(total)); }
    void Advance(int delta) override { calls.push_back(L"advance " + std::to_wstring(delta)); }
    void Step() override { calls.push_back(L"step"); }
    void Done() override { calls.push_back(L"done"); }
    std::vector<std::wstring> calls;
};

TEST_F(ExecutorTest, ProgressAdvancesByTheLinesOfEachStatement)
{
    const std::wstring script =
        L"CREATE TABLE [T] ([n] LONG);\n\n-- x\nINSERT INTO [T] ([n])\nVALUES (1);\n"
        L"DELETE FROM [T]";
    Options options;
    ScriptExecutor run(settings, script, false, options);
    RecordingProgress progress;
    run.Run(progress);
    const std::vector<std::wstring> expected = {L"total 5", L"advance 1", L"advance 3",
                                                L"advance 2", L"done"};
    EXPECT_EQ(progress.calls, expected);
}

TEST_F(ExecutorTest, EncodedValuesAreStoredDecoded)
{
    const std::wstring script =
        L"CREATE TABLE [T] ([id] LONG, [s] MEMO, [b] LONGBINARY);\n"
        L"INSERT INTO [T] ([id], [s], [b]) VALUES (1, \"a\" & chr(13) & chr(10) & \"b\", "
        L"base64(\"AAEC\"));\n"
        // A list that starts with an encoded value.
        L"INSERT INTO [T] ([b], [s], [id]) VALUES (base64(\"/w==\"), chr(9), 2);\n"
        L"UPDATE [T] SET [s]=\"x\" & chr(0) & \"\"\"y\"\"\", [b]=base64(\"\") WHERE [id]=2;\n";
    ASSERT_EQ(Run(script), kSuccess);
    const std::vector<Row> expected = {
        {Variant(int32_t{1}), Variant(L"a\r\nb"), Variant(SafeArray({0, 1, 2}))},
        {Variant(int32_t{2}), Variant(std::wstring(L"x\0\"y\"", 5)), Variant(SafeArray())},
    };
    EXPECT_EQ(Rows(L"SELECT [id], [s], [b] FROM [T] ORDER BY [id]"), expected);
}

}  // namespace
}  // namespace sqlexectest
