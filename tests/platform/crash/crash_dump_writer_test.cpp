// A child process that really crashes leaves its dump in the application-data folder, tells the
// user on standard error, and still dies by its signal.
#include "platform/crash/crash_dump_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace {

struct ChildResult {
    int status = 0;
    std::string standardError;
};

std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the crashing helper with its application-data folder at `dataHome`.
ChildResult RunChild(const std::filesystem::path& dataHome, const std::string& dumpName,
                     const std::string& how, const testsupport::TempDir& dir)
{
    const std::string program = (testsupport::BinaryDir() / "crash_child").string();
    const std::string errPath = (dir / ("stderr-" + how)).string();
    const std::string dataEnv = "XDG_DATA_HOME=" + dataHome.string();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        struct rlimit noCore = {0, 0};
        setrlimit(RLIMIT_CORE, &noCore);  // the crashes are intended: no core files
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, STDERR_FILENO);
        char* const args[] = {const_cast<char*>(program.c_str()),
                              const_cast<char*>(dumpName.c_str()), const_cast<char*>(how.c_str()),
                              nullptr};
        char* const env[] = {const_cast<char*>(dataEnv.c_str()),
                             const_cast<char*>("HOME=/nonexistent"), nullptr};
        execve(program.c_str(), args, env);
        _exit(127);
    }
    ChildResult result;
    EXPECT_GT(pid, 0);
    EXPECT_EQ(waitpid(pid, &result.status, 0), pid);
    result.standardError = ReadText(errPath);
    return result;
}

std::string ExpectedMessage(const std::filesystem::path& dump)
{
    return std::string("Exception: The mini dump file has been saved.\n") + dump.string() +
           "\nPlease send the dump file to " + crash::kSupportAddress +
           "\nThe problem will be fixed as soon as possible.\n";
}

TEST(CrashDump, EachFatalSignalLeavesADumpAndEndsTheProcessBySignal)
{
    struct Case {
        const char* how;
        int signal;
        const char* signalLine;
        const char* inBacktrace;  // a function of the crash path, or null
    };
    const Case cases[] = {
        {"null-write", SIGSEGV, "signal: 11 (SIGSEGV)\n", "CrashByNullWrite"},
        {"worker-null-write", SIGSEGV, "signal: 11 (SIGSEGV)\n", "CrashByNullWrite"},
        {"stack-overflow", SIGSEGV, "signal: 11 (SIGSEGV)\n", nullptr},
        {"divide-by-zero", SIGFPE, "signal: 8 (SIGFPE)\n", "CrashByDivisionByZero"},
        {"illegal", SIGILL, "signal: 4 (SIGILL)\n", nullptr},
        {"bus", SIGBUS, "signal: 7 (SIGBUS)\n", nullptr},
        {"abort", SIGABRT, "signal: 6 (SIGABRT)\n", "abort"},
    };
    testsupport::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        // A data folder that does not exist yet is created.
        const auto dataHome = dir / (std::string("data-") + c.how);
        const auto dump = dataHome / "corvina.dmp";
        const ChildResult child = RunChild(dataHome, "corvina.dmp", c.how, dir);
        ASSERT_TRUE(WIFSIGNALED(child.status)) << "status " << child.status;
        EXPECT_EQ(WTERMSIG(child.status), c.signal);
        EXPECT_EQ(child.standardError, ExpectedMessage(dump));

        const std::string text = ReadText(dump);
        EXPECT_NE(text.find(c.signalLine), std::string::npos) << text.substr(0, 300);
        // A write through a null pointer faults at address 0; a raised signal has no fault
        // address but a sender (the process itself).
        if (std::string(c.how).find("null-write") != std::string::npos) {
            EXPECT_NE(text.find("fault address: 0x0\n"), std::string::npos);
        }
        if (c.signal == SIGBUS || c.signal == SIGABRT) {
            EXPECT_EQ(text.find("fault address"), std::string::npos);
            EXPECT_NE(text.find("sent by process: "), std::string::npos);
        }
        const size_t backtrace = text.find("\nbacktrace:\n");
        const size_t map = text.find("\nmemory map:\n");
        ASSERT_NE(backtrace, std::string::npos);
        ASSERT_NE(map, std::string::npos);
        ASSERT_LT(backtrace, map);
        const std::string frames = text.substr(backtrace, map - backtrace);
        EXPECT_NE(frames.find("crash_child"), std::string::npos) << frames;
        if (c.inBacktrace) {
            EXPECT_NE(frames.find(c.inBacktrace), std::string::npos) << frames;
        }
        // The memory map lists the crashed program and the stack, as /proc/<pid>/maps does.
        const std::string maps = text.substr(map);
        EXPECT_NE(maps.find("/crash_child\n"), std::string::npos);
        EXPECT_NE(maps.find("[stack]"), std::string::npos);
    }
}

TEST(CrashDump, ASecondCrashOverwritesTheFirstDump)
{
    testsupport::TempDir dir;
    const auto dataHome = dir / "data";
    RunChild(dataHome, "crvconsole.dmp", "null-write", dir);
    const ChildResult second = RunChild(dataHome, "crvconsole.dmp", "abort", dir);
    EXPECT_TRUE(WIFSIGNALED(second.status) && WTERMSIG(second.status) == SIGABRT);
    const std::string text = ReadText(dataHome / "crvconsole.dmp");
    EXPECT_EQ(text.rfind("crvconsole.dmp crash dump\nsignal: 6 (SIGABRT)\n", 0), 0u)
        << text.substr(0, 200);
    EXPECT_EQ(text.find("SIGSEGV"), std::string::npos);
}

TEST(CrashDump, ADumpThatCannotBeCreatedIsReportedAndTheSignalStillEndsTheProcess)
{
    testsupport::TempDir dir;
    const auto dataHome = dir / "data";
    // A folder where the dump file should go: opening it for writing fails, even for root.
    std::filesystem::create_directories(dataHome / "corvina.dmp");
    const ChildResult child = RunChild(dataHome, "corvina.dmp", "null-write", dir);
    ASSERT_TRUE(WIFSIGNALED(child.status));
    EXPECT_EQ(WTERMSIG(child.status), SIGSEGV);
    EXPECT_EQ(child.standardError, "Exception: Can't create the dump file\n");
}

TEST(CrashDump, InstallationFixesThePathInTheApplicationDataFolder)
{
    // The test program's own data folder (XDG_DATA_HOME points at a private folder).
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    ASSERT_NE(dataHome, nullptr);
    // Installing in this process is harmless: nothing here crashes.
    ASSERT_TRUE(crash::InstallCrashDumpFilter("corvina.dmp"));
    EXPECT_EQ(crash::CrashDumpPath(), std::string(dataHome) + "/corvina.dmp");
    EXPECT_TRUE(std::filesystem::is_directory(dataHome));
}

}  // namespace
