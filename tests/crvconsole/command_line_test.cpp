// The unattended command line: positional arguments, every switch in any case, and the usage
// errors.
#include "crvconsole/command_line.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kUsage =
    L"Usage: CrvConsole <sql file> <mdb file> [key1] [key2] [...]\r\n"
    L"/c - create the empty mdb file\r\n"
    L"/o - delete the old mdb file\r\n"
    L"/e - show the error message in the console\r\n"
    L"/ef - put the error in the crvconsole.log file\r\n"
    L"/p - database password\r\n"
    L"/un - user name\r\n"
    L"/up - user password\r\n"
    L"/s - system database\r\n"
    L"/ie - ignore errors";

struct Parsed {
    bool create = false;
    bool deleteOld = false;
    bool console = false;
    bool logFile = false;
    bool stopOnError = true;
    std::wstring databasePassword{};
    std::wstring userName{};
    std::wstring userPassword{};
    std::wstring systemDatabase{};
};

struct ParseCase {
    const char* name;
    std::vector<std::wstring> switches;
    Parsed expected;
};

TEST(CommandLineTest, EverySwitchIsReadWithoutRegardToCase)
{
    const ParseCase cases[] = {
        {"none", {}, {}},
        {"create", {L"/c"}, {.create = true}},
        {"create upper", {L"/C"}, {.create = true}},
        {"delete old alone", {L"/o"}, {.deleteOld = true}},
        {"delete old upper with create", {L"/c", L"/O"}, {.create = true, .deleteOld = true}},
        {"console", {L"/e"}, {.console = true}},
        {"log file", {L"/ef"}, {.logFile = true}},
        {"log file mixed case", {L"/eF"}, {.logFile = true}},
        {"both reports", {L"/E", L"/EF"}, {.console = true, .logFile = true}},
        {"ignore errors", {L"/ie"}, {.stopOnError = false}},
        {"ignore errors upper", {L"/IE"}, {.stopOnError = false}},
        {"database password", {L"/p", L"secret"}, {.databasePassword = L"secret"}},
        {"user name", {L"/UN", L"admin"}, {.userName = L"admin"}},
        {"user password", {L"/up", L"pw"}, {.userPassword = L"pw"}},
        {"system database", {L"/S", L"/tmp/system.mdw"}, {.systemDatabase = L"/tmp/system.mdw"}},
        {"value that looks like a switch", {L"/p", L"/c"}, {.databasePassword = L"/c"}},
        {"later value replaces earlier",
         {L"/p", L"one", L"/p", L"two"},
         {.databasePassword = L"two"}},
        {"non-ASCII value", {L"/un", L"Jürgen Ωmega"}, {.userName = L"Jürgen Ωmega"}},
        {"everything",
         {L"/c", L"/o", L"/e", L"/ef", L"/p", L"a", L"/un", L"b", L"/up", L"c", L"/s", L"d",
          L"/ie"},
         {true, true, true, true, false, L"a", L"b", L"c", L"d"}},
    };
    for (const ParseCase& test : cases) {
        SCOPED_TRACE(test.name);
        std::vector<std::wstring> arguments = {L"crvconsole", L"script.sql", L"data.mdb"};
        arguments.insert(arguments.end(), test.switches.begin(), test.switches.end());
        CommandLine commandLine(arguments);
        ASSERT_TRUE(commandLine.Parse());
        EXPECT_EQ(commandLine.ScriptFile(), L"script.sql");
        EXPECT_EQ(commandLine.Settings().path, L"data.mdb");
        EXPECT_EQ(commandLine.CreateDatabase(), test.expected.create);
        EXPECT_EQ(commandLine.DeleteOldDatabase(), test.expected.deleteOld);
        EXPECT_EQ(commandLine.ToConsole(), test.expected.console);
        EXPECT_EQ(commandLine.ToLogFile(), test.expected.logFile);
        EXPECT_EQ(commandLine.StopOnError(), test.expected.stopOnError);
        EXPECT_EQ(commandLine.Settings().databasePassword, test.expected.databasePassword);
        EXPECT_EQ(commandLine.Settings().userName, test.expected.userName);
        EXPECT_EQ(commandLine.Settings().userPassword, test.expected.userPassword);
        EXPECT_EQ(commandLine.Settings().systemDatabase, test.expected.systemDatabase);
    }
}

TEST(CommandLineTest, UsageErrorsGiveTheUsageText)
{
    const struct {
        const char* name;
        std::vector<std::wstring> arguments;
    } cases[] = {
        {"program name alone", {L"crvconsole"}},
        {"script without database", {L"crvconsole", L"script.sql"}},
        {"unknown switch", {L"crvconsole", L"s.sql", L"d.mdb", L"/x"}},
        {"unknown switch after valid ones",
         {L"crvconsole", L"s.sql", L"d.mdb", L"/c", L"/e", L"/q"}},
        {"switch without slash", {L"crvconsole", L"s.sql", L"d.mdb", L"c"}},
        {"prefix of a switch", {L"crvconsole", L"s.sql", L"d.mdb", L"/u"}},
        {"switch with extra letters", {L"crvconsole", L"s.sql", L"d.mdb", L"/cc"}},
        {"third positional argument", {L"crvconsole", L"s.sql", L"d.mdb", L"extra.mdb"}},
        {"empty argument", {L"crvconsole", L"s.sql", L"d.mdb", L""}},
        {"password without value", {L"crvconsole", L"s.sql", L"d.mdb", L"/p"}},
        {"user name without value", {L"crvconsole", L"s.sql", L"d.mdb", L"/ie", L"/un"}},
        {"user password without value", {L"crvconsole", L"s.sql", L"d.mdb", L"/UP"}},
        {"system database without value", {L"crvconsole", L"s.sql", L"d.mdb", L"/s"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        CommandLine commandLine(test.arguments);
        EXPECT_FALSE(commandLine.Parse());
        EXPECT_EQ(commandLine.GetMessage(), kUsage);
    }
}

}  // namespace
