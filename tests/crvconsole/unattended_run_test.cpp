// The unattended road, run as the built program in a subprocess: exit codes, the usage text, the
// console and log-file reports, and runs without any display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "database/db_connection.h"
#include "encoded_script.h"
#include "platform/automation/variant.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"
#include "platform/provider/provider_classes.h"
#include "support/read_only.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kUsage =
    "Usage: CrvConsole <sql file> <mdb file> [key1] [key2] [...]\r\n"
    "/c - create the empty mdb file\r\n"
    "/o - delete the old mdb file\r\n"
    "/e - show the error message in the console\r\n"
    "/ef - put the error in the crvconsole.log file\r\n"
    "/p - database password\r\n"
    "/un - user name\r\n"
    "/up - user password\r\n"
    "/s - system database\r\n"
    "/ie - ignore errors";

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the program in `dir` with no display at all: no X11 or Wayland display and no Qt platform
// chosen, as on a build server.
void StartProgram(QProcess& process, const fs::path& dir, const std::vector<std::string>& arguments)
{
    QStringList list;
    for (const std::string& argument : arguments)
        list << QString::fromStdString(argument);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QString::fromStdString(dir.string()));
    process.start(QString::fromStdString((testsupport::BinaryDir() / "crvconsole").string()), list);
}

Outcome RunProgram(const fs::path& dir, const std::vector<std::string>& arguments)
{
    QProcess process;
    StartProgram(process, dir, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    Outcome outcome;
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput().toStdString();
    outcome.err = process.readAllStandardError().toStdString();
    return outcome;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    file << bytes;
}

TEST(UnattendedRunTest, UsageErrorsShowTheHelpBoxAndEndWithZero)
{
    testsupport::TempDir dir;
    const std::vector<std::vector<std::string>> cases = {
        {"only.sql"},
        {"s.sql", "d.mdb", "/x"},
        {"s.sql", "d.mdb", "/c", "/e", "/bogus"},
        {"s.sql", "d.mdb", "/p"},
        {"s.sql", "d.mdb", "/e", "/ef", "/s"},
    };
    for (const auto& arguments : cases) {
        SCOPED_TRACE(arguments.back());
        const Outcome outcome = RunProgram(dir.path(), arguments);
        EXPECT_EQ(outcome.exitCode, 0);
        // Without a display the box is written to standard error; the report switches are not
        // consulted for a usage error.
        // Standard error gets this platform's line ends.
        std::string usage = kUsage;
        for (size_t at; (at = usage.find("\r\n")) != std::string::npos;)
            usage.erase(at, 1);
        EXPECT_EQ(outcome.err, "Help: " + usage + "\n");
        EXPECT_EQ(outcome.out, "");
        EXPECT_FALSE(fs::exists(dir / "crvconsole.log"));
        EXPECT_FALSE(fs::exists(dir / "d.mdb"));
    }
}

// A database path that is a folder exists but cannot be deleted: the failure that needs neither a
// script nor a database to happen.
TEST(UnattendedRunTest, FailureIsReportedWhereTheSwitchesSay)
{
    testsupport::TempDir dir;
    fs::create_directory(dir / "Datenbank ü.mdb");
    const std::string message = "Can't delete file Datenbank ü.mdb";
    const struct {
        const char* name;
        std::vector<std::string> switches;
        std::string out;
        std::string err;
        bool logged;
    } cases[] = {
        {"box", {}, "", "Error: " + message + "\n", false},
        {"console", {"/e"}, message, "", false},
        {"log file", {"/ef"}, "", "", true},
        {"console and log file", {"/E", "/EF"}, message, "", true},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        fs::remove(dir / "crvconsole.log");
        std::vector<std::string> arguments = {"s.sql", "Datenbank ü.mdb", "/c", "/o"};
        arguments.insert(arguments.end(), test.switches.begin(), test.switches.end());
        const Outcome outcome = RunProgram(dir.path(), arguments);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out, test.out);  // exactly the message, no line end added
        EXPECT_EQ(outcome.err, test.err);
        EXPECT_EQ(fs::exists(dir / "crvconsole.log"), test.logged);
        if (test.logged) {
            EXPECT_EQ(ReadFile(dir / "crvconsole.log"), message + "\n");
        }
    }
}

TEST(UnattendedRunTest, LogFileGrowsByOneLinePerFailedRun)
{
    testsupport::TempDir dir;
    fs::create_directory(dir / "locked.mdb");
    WriteFile(dir / "crvconsole.log", "earlier\n");
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(RunProgram(dir.path(), {"s.sql", "locked.mdb", "/c", "/o", "/ef"}).exitCode, 0);
    EXPECT_EQ(ReadFile(dir / "crvconsole.log"),
              "earlier\nCan't delete file locked.mdb\nCan't delete file locked.mdb\n");
}

TEST(UnattendedRunTest, UnwritableLogFileIsReportedInABox)
{
    testsupport::TempDir dir;
    fs::create_directory(dir / "locked.mdb");
    fs::create_directory(dir / "crvconsole.log");  // cannot be opened for appending
    const Outcome outcome = RunProgram(dir.path(), {"s.sql", "locked.mdb", "/c", "/o", "/ef"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.err, "Error: Can't write to the log file\n");
}

TEST(UnattendedRunTest, ScriptThatCannotBeReadIsReported)
{
    testsupport::TempDir dir;
    WriteFile(dir / "empty.sql", "");
    fs::create_directory(dir / "folder");
    WriteFile(dir / "broken.sql",
              "\xEF\xBB\xBF"
              "DELETE FROM t;\r\nSELECT '\xC3';\r\n");
    WriteFile(dir / "s.sql", "DELETE FROM t;\r\n");
    WriteFile(dir / "b64.sql", "INSERT INTO t (a) VALUES (base64(\"!!!not base64!!!\"));\r\n");
    const struct {
        std::vector<std::string> arguments;
        std::string message;
    } cases[] = {
        {{"missing.sql", "db.mdb"}, "Can't open file missing.sql"},
        {{"empty.sql", "db.mdb"}, "Can't read file empty.sql"},
        // A folder or a device is no script: no endless read, no abort.
        {{"folder", "db.mdb"}, "Can't read file folder: it is a folder."},
        {{"/dev/zero", "db.mdb"}, "Can't read file /dev/zero: it is not a regular file."},
        // Text that claims UTF-8 and is not is refused where it breaks, before anything runs.
        {{"broken.sql", "db.mdb", "/ie"},
         "Can't read SQL script file broken.sql: invalid UTF-8 text at line 2, byte offset 27."},
        // Ignoring errors does not ignore a database that is not there.
        {{"s.sql", "no-such-folder/x.mdb", "/ie"}, "Can't open database 'no-such-folder/x.mdb'"},
        // A literal that is not base64 fails its statement instead of storing stray bytes.
        {{"b64.sql", "new.mdb", "/c"},
         "\r\nError: The value base64(\"!!!not base64!!!\") is not valid base64."},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.arguments[0]);
        std::vector<std::string> arguments = test.arguments;
        arguments.push_back("/e");
        const Outcome outcome = RunProgram(dir.path(), arguments);
        EXPECT_EQ(outcome.exitCode, 0);
        EXPECT_EQ(outcome.out.substr(0, test.message.size()), test.message);
        EXPECT_EQ(outcome.err, "");
    }
    EXPECT_FALSE(fs::exists(dir / "db.mdb"));
}

// A script larger than the memory the process may use fails with a message, not an abort.
TEST(UnattendedRunTest, ScriptLargerThanMemoryFailsCleanly)
{
    testsupport::TempDir dir;
    WriteFile(dir / "huge.sql", "");
    fs::resize_file(dir / "huge.sql", 8ull << 30);  // sparse: no disk space is used
    QProcess process;
    process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    process.start(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"), QStringLiteral("ulimit -v 2000000; exec \"$0\" huge.sql db.mdb /e"),
         QString::fromStdString((testsupport::BinaryDir() / "crvconsole").string())});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(),
              "Can't read file huge.sql: it is too large to load into memory.");
}

// ---- Runs of real scripts ----

// The rows of `query` read back through the provider, each row's values as text joined by "|".
std::vector<std::wstring> ReadRows(const fs::path& database, const std::wstring& query)
{
    provider::RegisterProviderClasses();
    ConnectionSettings settings;
    settings.path = database.wstring();
    DbConnection connection(&settings);
    const auto recordset = connection.Open()->Execute(query);
    std::vector<std::wstring> rows;
    for (; !recordset->IsEOF(); recordset->MoveNext()) {
        std::wstring row;
        const auto fields = recordset->Fields();
        for (long i = 0; i < fields->Count(); ++i) {
            const automation::Variant& value = fields->Item(i)->Value();
            row += (i ? L"|" : L"") +
                   (value.vt() == automation::VT_NULL
                        ? std::wstring(L"NULL")
                        : automation::ChangeType(value, automation::VT_BSTR).bstrVal());
        }
        rows.push_back(row);
    }
    connection.Close();
    return rows;
}

class ScriptRunTest : public testing::Test {
protected:
    testsupport::TempDir dir;
};

TEST_F(ScriptRunTest, CreateComesBeforeTheScriptIsRead)
{
    const Outcome outcome = RunProgram(dir.path(), {"missing.sql", "new.mdb", "/c", "/e"});
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_EQ(outcome.out, "Can't open file missing.sql");
    EXPECT_TRUE(fs::exists(dir / "new.mdb"));
}

TEST_F(ScriptRunTest, CreateRunsTheScriptAndSucceedsSilently)
{
    WriteFile(dir / "s.sql",
              "CREATE TABLE t (id LONG, name TEXT(50));\r\n"
              "INSERT INTO t VALUES (1, 'one');\r\n");
    const Outcome outcome = RunProgram(dir.path(), {"s.sql", "new.mdb", "/c", "/e", "/ef"});
    EXPECT_EQ(outcome.exitCode, 1);
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    EXPECT_FALSE(fs::exists(dir / "crvconsole.log"));
    EXPECT_EQ(ReadRows(dir / "new.mdb", L"SELECT id, name FROM t"),
              (std::vector<std::wstring>{L"1|one"}));
}

TEST_F(ScriptRunTest, CreateOverAnExistingFileNeedsDeleteOld)
{
    WriteFile(dir / "s.sql", "CREATE TABLE t (id LONG);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"s.sql", "db.mdb", "/c"}).exitCode, 1);

    const Outcome again = RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/e"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.out.rfind("\r\nError: ", 0), 0u) << again.out;

    EXPECT_EQ(RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/O"}).exitCode, 1);
}

// A run killed at any moment while it creates its database leaves either no file or a whole
// store: never an empty or half-written file that a plain run calls "Unrecognized database
// format" and a create calls taken. The delays only spread the kills over the run; whatever
// moment each one meets, the outcome must be one of the two.
TEST(UnattendedRunTest, CreateKilledAtAnyMomentLeavesNothingOrAWholeStore)
{
    const int delaysMs[] = {0, 2, 5, 10, 15, 20, 25, 30, 40, 60, 90, 150};
    for (const int delay : delaysMs) {
        SCOPED_TRACE("killed after " + std::to_string(delay) + " ms");
        testsupport::TempDir dir;
        WriteFile(dir / "s.sql", "CREATE TABLE t (id LONG);\r\nINSERT INTO t VALUES (1);\r\n");
        QProcess process;
        StartProgram(process, dir.path(), {"s.sql", "db.mdb", "/c", "/e"});
        ASSERT_TRUE(process.waitForStarted(60000));
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        process.kill();
        ASSERT_TRUE(process.waitForFinished(60000));

        if (fs::exists(dir / "db.mdb")) {
            // Whole: a plain run uses it, and a create over it with /o starts afresh.
            WriteFile(dir / "probe.sql", "CREATE TABLE probe (id LONG);\r\n");
            const Outcome plain = RunProgram(dir.path(), {"probe.sql", "db.mdb", "/e"});
            EXPECT_EQ(plain.exitCode, 1) << plain.out;
            const Outcome again = RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/o", "/e"});
            EXPECT_EQ(again.exitCode, 1) << again.out;
        } else {
            const Outcome again = RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/e"});
            EXPECT_EQ(again.exitCode, 1) << again.out;
        }
        EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id FROM t"), (std::vector<std::wstring>{L"1"}));
    }
}

TEST_F(ScriptRunTest, DeleteOldWithoutCreateKeepsTheDatabase)
{
    WriteFile(dir / "create.sql", "CREATE TABLE t (id LONG);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"create.sql", "db.mdb", "/c"}).exitCode, 1);
    WriteFile(dir / "insert.sql", "INSERT INTO t VALUES (1);\r\n");
    EXPECT_EQ(RunProgram(dir.path(), {"insert.sql", "db.mdb", "/o"}).exitCode, 1);
    // The table is still there: a second insert succeeds, a second create would fail.
    EXPECT_EQ(RunProgram(dir.path(), {"insert.sql", "db.mdb"}).exitCode, 1);
    EXPECT_EQ(RunProgram(dir.path(), {"create.sql", "db.mdb", "/e"}).exitCode, 0);
}

TEST_F(ScriptRunTest, FailingStatementStopsUnlessErrorsAreIgnored)
{
    WriteFile(dir / "create.sql", "CREATE TABLE t (id LONG PRIMARY KEY);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"create.sql", "db.mdb", "/c"}).exitCode, 1);
    WriteFile(dir / "s.sql",
              "INSERT INTO t VALUES (1);\r\n"
              "INSERT INTO missing VALUES (2);\r\n"
              "INSERT INTO t VALUES (3);\r\n");
    const Outcome stopped = RunProgram(dir.path(), {"s.sql", "db.mdb", "/e"});
    EXPECT_EQ(stopped.exitCode, 0);
    EXPECT_EQ(stopped.out.rfind("\r\nError: ", 0), 0u) << stopped.out;

    EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id FROM t ORDER BY id"),
              (std::vector<std::wstring>{L"1"}));

    // Row 1 is there now, so the first statement fails too; "/ie" goes on regardless.
    const Outcome ignoring = RunProgram(dir.path(), {"s.sql", "db.mdb", "/ie", "/e"});
    EXPECT_EQ(ignoring.exitCode, 1);
    EXPECT_EQ(ignoring.out, "");
    EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id FROM t ORDER BY id"),
              (std::vector<std::wstring>{L"1", L"3"}));
}

TEST_F(ScriptRunTest, CredentialsReachTheDatabase)
{
    WriteFile(dir / "s.sql", "CREATE TABLE t (id LONG);\r\n");
    // The workgroup file named by "/s" must exist; user name and password go along with it.
    const Outcome missing =
        RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/s", "missing.mdw", "/e"});
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_EQ(missing.out.rfind("Can't open database 'db.mdb'", 0), 0u) << missing.out;

    WriteFile(dir / "system.mdw", "");
    EXPECT_EQ(RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/o", "/S", "system.mdw", "/un",
                                      "admin", "/up", "secret", "/e"})
                  .exitCode,
              1);
}

TEST_F(ScriptRunTest, ScriptsRunInEveryEncoding)
{
    const std::string latin1 =
        "CREATE TABLE t (id LONG PRIMARY KEY, name TEXT(50));\r\n"
        "INSERT INTO t VALUES (1, 'K\xF6ln \xE9t\xE9');\r\n";
    using testsupport::ScriptEncoding;
    const struct {
        const char* name;
        ScriptEncoding encoding;
    } cases[] = {{"ansi", ScriptEncoding::Ansi},
                 {"utf8", ScriptEncoding::Utf8},
                 {"utf16", ScriptEncoding::Utf16}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        WriteFile(dir / "s.sql", testsupport::EncodeScript(latin1, test.encoding));
        fs::remove(dir / "db.mdb");
        const Outcome outcome = RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/e"});
        EXPECT_EQ(outcome.exitCode, 1) << outcome.out;
        EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT name FROM t"),
                  (std::vector<std::wstring>{L"K\u00F6ln \u00E9t\u00E9"}));
    }
}

// Paths, passwords, user names and workgroup paths holding ';', quotes or outer blanks reach the
// provider whole: a value that reads as "Data Source=victim.mdb" never empties victim.mdb, "/c"
// makes exactly the file it is given, and a genuine file under such a name reads as itself.
TEST_F(ScriptRunTest, HostileValuesReachTheirOwnDatabaseOnly)
{
    WriteFile(dir / "create.sql", "CREATE TABLE t (id LONG);\r\nINSERT INTO t VALUES (1);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"create.sql", "victim.mdb", "/c"}).exitCode, 1);
    ASSERT_EQ(RunProgram(dir.path(), {"create.sql", "own.mdb", "/c"}).exitCode, 1);
    WriteFile(dir / "del.sql", "DELETE FROM t;\r\n");
    const std::string inject = "x;Data Source=victim.mdb";
    WriteFile(dir / inject, "");  // a workgroup file of that name exists
    const std::vector<std::vector<std::string>> runs = {
        {"del.sql", "other.mdb;Data Source=victim.mdb", "/e"},
        {"del.sql", "own.mdb", "/p", inject, "/e"},
        {"del.sql", "own.mdb", "/un", inject, "/e"},
        {"del.sql", "own.mdb", "/up", inject, "/e"},
        {"del.sql", "own.mdb", "/s", inject, "/e"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run[1] + " " + run[2]);
        RunProgram(dir.path(), run);
        EXPECT_EQ(ReadRows(dir / "victim.mdb", L"SELECT id FROM t"),
                  (std::vector<std::wstring>{L"1"}));
    }
    EXPECT_FALSE(fs::exists(dir / "other.mdb"));

    for (const std::string name :
         {"a;b.mdb", "\"q\".mdb", "'q'.mdb", " lead.mdb", "trail.mdb ", "x=y;'\";.mdb"}) {
        SCOPED_TRACE(name);
        testsupport::TempDir own;
        WriteFile(own / "create.sql", "CREATE TABLE t (id LONG);\r\n");
        const Outcome created = RunProgram(own.path(), {"create.sql", name, "/c", "/e"});
        EXPECT_EQ(created.exitCode, 1) << created.out;
        std::vector<std::string> files;
        for (const auto& entry : fs::directory_iterator(own.path()))
            files.push_back(entry.path().filename().string());
        std::vector<std::string> expected = {name, "create.sql"};
        std::sort(files.begin(), files.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(files, expected);
    }

    const fs::path genuine = dir / "n;w'i\"nd.mdb ";
    fs::rename(testsupport::CopyTestData("nwind.mdb", dir), genuine);
    WriteFile(dir / "read.sql", "SELECT * FROM Shippers;\r\n");
    const Outcome read = RunProgram(dir.path(), {"read.sql", genuine.filename().string(), "/e"});
    EXPECT_EQ(read.exitCode, 1) << read.out;
}

// A synchronisation script writes a text key with many tabs or line breaks as a long chain of
// "&" terms; its UPDATE and DELETE apply, as do long lists of conditions.
TEST_F(ScriptRunTest, LongChainsOfTermsRun)
{
    std::string key = "\"a\"";
    for (int i = 0; i < 16; ++i)
        key += i % 2 ? " & chr(13) & chr(10) & \"b\"" : " & chr(9) & \"b\"";
    std::string conditions = "id = 0";
    for (int i = 1; i < 300; ++i)
        conditions += " OR id = " + std::to_string(i);
    std::string sum = "1";
    for (int i = 1; i < 86; ++i)
        sum += " + 1";
    WriteFile(dir / "s.sql",
              "CREATE TABLE t (k TEXT(255) PRIMARY KEY, id LONG, n LONG);\r\n"
              "INSERT INTO t VALUES (" +
                  key +
                  ", 1, 0);\r\n"
                  "INSERT INTO t VALUES (\"other\", 2, 0);\r\n"
                  "UPDATE t SET n = " +
                  sum + " WHERE k = " + key +
                  ";\r\n"
                  "DELETE FROM t WHERE (" +
                  conditions + ") AND k <> " + key + ";\r\n");
    const Outcome outcome = RunProgram(dir.path(), {"s.sql", "db.mdb", "/c", "/e"});
    EXPECT_EQ(outcome.exitCode, 1) << outcome.out;
    EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id, n FROM t"),
              (std::vector<std::wstring>{L"1|86"}));
}

// A run killed while it read a genuine file leaves its private snapshot behind, with an owner
// file that nobody locks any more; the next run that reads a genuine file removes it.
TEST_F(ScriptRunTest, SnapshotsOfKilledRunsGoWithTheNextRun)
{
    testsupport::TempDir tmp;
    const fs::path left = tmp / "crv-genuine-Ab12Cd";
    fs::create_directory(left);
    WriteFile(left / "snapshot.crv", std::string(4096, 'x'));
    WriteFile(left / "owner", "");
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", tmp.path().c_str(), 1);
    testsupport::CopyTestData("indexTestV2003.mdb", dir);
    WriteFile(dir / "read.sql", "SELECT * FROM Table1;\r\n");
    const Outcome outcome = RunProgram(dir.path(), {"read.sql", "indexTestV2003.mdb", "/e"});
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
    EXPECT_EQ(outcome.exitCode, 1) << outcome.out;
    EXPECT_FALSE(fs::exists(left));
    EXPECT_TRUE(fs::is_empty(tmp.path()));
}

// Databases that cannot be used say why: a folder or an unreadable file is not "an unrecognized
// format", a folder is no workgroup file, and a store this user may only read is read.
TEST_F(ScriptRunTest, DatabasesThatCannotBeUsedSayWhy)
{
    WriteFile(dir / "create.sql", "CREATE TABLE t (id LONG);\r\nINSERT INTO t VALUES (1);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"create.sql", "db.mdb", "/c"}).exitCode, 1);
    WriteFile(dir / "read.sql", "SELECT * FROM t;\r\n");
    fs::create_directory(dir / "folder");
    const Outcome workgroup = RunProgram(dir.path(), {"read.sql", "db.mdb", "/s", "folder", "/e"});
    EXPECT_EQ(workgroup.exitCode, 0);
    EXPECT_NE(workgroup.out.find("The workgroup information file 'folder' is a folder"),
              std::string::npos)
        << workgroup.out;
    const Outcome folder = RunProgram(dir.path(), {"read.sql", "folder", "/e"});
    EXPECT_EQ(folder.exitCode, 0);
    EXPECT_NE(folder.out.find("Could not read file 'folder'"), std::string::npos) << folder.out;

    fs::create_directory(dir / "ro");
    fs::copy_file(dir / "db.mdb", dir / "ro" / "db.mdb");
    {
        testsupport::ReadOnlyMark readOnly(dir / "ro");
        if (!readOnly.Held())
            GTEST_SKIP() << "no folder can be made read-only for this user here";
        EXPECT_EQ(RunProgram(dir.path(), {"read.sql", "ro/db.mdb", "/e"}).exitCode, 1);
        WriteFile(dir / "insert.sql", "INSERT INTO t VALUES (2);\r\n");
        EXPECT_EQ(RunProgram(dir.path(), {"insert.sql", "ro/db.mdb", "/e"}).exitCode, 0);
    }
    EXPECT_EQ(ReadRows(dir / "ro" / "db.mdb", L"SELECT id FROM t"),
              (std::vector<std::wstring>{L"1"}));
    // Permissions do not keep the superuser from reading a file.
    if (::geteuid() == 0)
        return;
    fs::copy_file(dir / "db.mdb", dir / "locked.mdb");
    fs::permissions(dir / "locked.mdb", fs::perms::none);
    const Outcome unreadable = RunProgram(dir.path(), {"read.sql", "locked.mdb", "/e"});
    EXPECT_EQ(unreadable.exitCode, 0);
    EXPECT_NE(unreadable.out.find("Could not read file 'locked.mdb': Permission denied."),
              std::string::npos)
        << unreadable.out;
}

}  // namespace

namespace {

std::string FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// "/o" deletes only a database nobody has open, whatever program has it: another run of ours,
// or a program that knows nothing of our lock files. Refused, the file stays as it was.
TEST_F(ScriptRunTest, DeleteOldLeavesADatabaseInUseUntouched)
{
    WriteFile(dir / "old.sql", "CREATE TABLE old (id LONG);\r\nINSERT INTO old VALUES (1);\r\n");
    WriteFile(dir / "new.sql", "CREATE TABLE fresh (id LONG);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"old.sql", "db.mdb", "/c"}).exitCode, 1);
    const std::string before = FileBytes(dir / "db.mdb");
    fs::create_symlink(dir / "db.mdb", dir / "link.mdb");
    {
        provider::RegisterProviderClasses();
        ConnectionSettings settings;
        settings.path = (dir / "db.mdb").wstring();
        DbConnection::SetProgram(DbConnection::Program::ScriptRunner);
        DbConnection other(&settings);
        other.Open();
        for (const char* name : {"db.mdb", "link.mdb"}) {
            const Outcome refused = RunProgram(dir.path(), {"new.sql", name, "/c", "/o", "/e"});
            EXPECT_EQ(refused.exitCode, 0);
            EXPECT_EQ(refused.out, std::string("Can't delete file ") + name);
        }
        other.Close();
        DbConnection::SetProgram(DbConnection::Program::Comparison);
    }
    {
        sqlite3* foreign = nullptr;
        ASSERT_EQ(sqlite3_open((dir / "db.mdb").c_str(), &foreign), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(foreign, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
        const Outcome refused = RunProgram(dir.path(), {"new.sql", "db.mdb", "/c", "/o", "/e"});
        EXPECT_EQ(refused.exitCode, 0);
        EXPECT_EQ(refused.out, "Can't delete file db.mdb");
        sqlite3_close(foreign);
    }
    EXPECT_EQ(FileBytes(dir / "db.mdb"), before);
    EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id FROM old"), (std::vector<std::wstring>{L"1"}));
}

// The log of a run killed with the file open goes with the file: the new database holds its own
// tables alone, whole, and no lock file of the old one is left.
TEST_F(ScriptRunTest, DeleteOldTakesTheLogOfAKilledRunWithIt)
{
    WriteFile(dir / "old.sql", "CREATE TABLE old (id LONG);\r\n");
    WriteFile(dir / "new.sql", "CREATE TABLE fresh (id LONG);\r\nINSERT INTO fresh VALUES (2);\r\n");
    ASSERT_EQ(RunProgram(dir.path(), {"old.sql", "db.mdb", "/c"}).exitCode, 1);
    pid_t pid = fork();
    if (pid == 0) {
        provider::RegisterProviderClasses();
        ConnectionSettings settings;
        settings.path = (dir / "db.mdb").wstring();
        DbConnection connection(&settings);
        for (int i = 0; i < 50; ++i)
            connection.Open()->Execute(L"INSERT INTO old VALUES (" + std::to_wstring(i) + L")");
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(fs::exists(dir / "db.mdb-wal"));

    const Outcome fresh = RunProgram(dir.path(), {"new.sql", "db.mdb", "/c", "/o", "/e"});
    EXPECT_EQ(fresh.exitCode, 1) << fresh.out;
    EXPECT_EQ(ReadRows(dir / "db.mdb", L"SELECT id FROM fresh"), (std::vector<std::wstring>{L"2"}));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "db.mdb").c_str(), &db), SQLITE_OK);
    std::string check, tables;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &check, nullptr);
    sqlite3_exec(
        db, "SELECT name FROM sqlite_master WHERE name = 'old'",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &tables, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(check, "ok");
    EXPECT_EQ(tables, "");
    EXPECT_FALSE(fs::exists(dir / "db.ldb"));
}

// A damaged file that nobody can have open goes like any other.
TEST_F(ScriptRunTest, DeleteOldReplacesADamagedDatabase)
{
    WriteFile(dir / "damaged.mdb", std::string("SQLite format 3\0", 16) + std::string(4080, 'x'));
    WriteFile(dir / "new.sql", "CREATE TABLE fresh (id LONG);\r\n");
    const Outcome fresh = RunProgram(dir.path(), {"new.sql", "damaged.mdb", "/c", "/o", "/e"});
    EXPECT_EQ(fresh.exitCode, 1) << fresh.out;
    EXPECT_TRUE(ReadRows(dir / "damaged.mdb", L"SELECT id FROM fresh").empty());
}

}  // namespace
