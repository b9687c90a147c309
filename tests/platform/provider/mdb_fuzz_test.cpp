// Damaged and truncated copies of the sample files must open, or fail with a
// ComError; never crash or hang. Each attempt runs in a child process so that
// a crash inside libmdb is seen and reported instead of ending the test run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <sstream>

#include "mdb_test_support.h"
#include "platform/automation/com_error.h"

namespace {

using namespace provider::mdb;

enum class Outcome { Opened, CleanFailure, OtherException, LostRows, Crashed, Hung };

constexpr int kSecondsPerAttempt = 30;
// Exit codes of the child; libmdb itself exits with 1 on some damage.
constexpr int kReadAll = 40, kComError = 41, kOtherException = 42, kLostRows = 43;

using RowCounts = std::map<std::wstring, uint64_t>;

// Opens the file and reads every row of every table. A table that kept its
// name must give as many rows as in the undamaged file, or fail.
Outcome TryRead(const std::filesystem::path& path, const RowCounts& original, int& signal)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);  // libmdb reports what it finds on stderr
        dup2(null, STDOUT_FILENO);
        alarm(kSecondsPerAttempt);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer reserves its shadow memory up front
        // A runaway allocation ends in an abort, seen as a crash, not in swap.
        const rlimit memory{size_t(4) << 30, size_t(4) << 30};
        setrlimit(RLIMIT_AS, &memory);
#endif
        try {
            auto db = MdbDatabase::Open(path);
            for (const auto& t : db->Tables()) {
                if (t.kind == TableKind::LinkedTable || t.kind == TableKind::LinkedOdbc)
                    continue;
                auto reader = db->OpenTable(t.name);
                while (reader->Next()) {
                }
                const auto before = original.find(t.name);
                if (before != original.end() && before->second != reader->RowsRead())
                    _exit(kLostRows);
            }
            _exit(kReadAll);
        } catch (const automation::ComError&) {
            _exit(kComError);
        } catch (...) {
            _exit(kOtherException);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) {
        signal = -WEXITSTATUS(status);
        switch (WEXITSTATUS(status)) {
            case kReadAll:
                return Outcome::Opened;
            case kComError:
                return Outcome::CleanFailure;
            case kLostRows:
                return Outcome::LostRows;
            default:
                return Outcome::OtherException;
        }
    }
    signal = WTERMSIG(status);
    return signal == SIGALRM ? Outcome::Hung : Outcome::Crashed;
}

TEST(MdbFuzz, DamagedCopiesOpenOrFailCleanly)
{
    // MDB_FUZZ_ATTEMPTS and MDB_FUZZ_SEED widen the search by hand.
    const char* attempts = std::getenv("MDB_FUZZ_ATTEMPTS");
    const char* seed = std::getenv("MDB_FUZZ_SEED");
    const int kAttemptsPerFile = attempts ? std::atoi(attempts) : 80;
    std::mt19937 rng(seed ? static_cast<unsigned>(std::atoi(seed)) : 20261209u);
    testsupport::TempDir dir;
    std::vector<std::string> failures;
    int opened = 0, clean = 0;
    for (const auto& file : mdbtest::SampleFiles()) {
        const auto original = mdbtest::FileBytes(testsupport::TestDataDir() / file);
        const size_t pageSize = file == "nwind.mdb" ? 2048 : 4096;
        RowCounts rows;
        {
            mdbtest::OpenedCopy copy(file);
            for (const auto& t : copy.db().Tables()) {
                auto reader = copy.db().OpenTable(t.name);
                while (reader->Next()) {
                }
                rows[t.name] = reader->RowsRead();
            }
        }
        for (int i = 0; i < kAttemptsPerFile; ++i) {
            const mdbtest::Damage d = mdbtest::MakeDamage(original, pageSize, rng);
            const auto path = dir / ("damaged-" + std::to_string(i) + "-" + file);
            std::ofstream(path, std::ios::binary).write(d.bytes.data(), d.bytes.size());
            int sig = 0;
            switch (TryRead(path, rows, sig)) {
                case Outcome::Opened:
                    ++opened;
                    break;
                case Outcome::CleanFailure:
                    ++clean;
                    break;
                case Outcome::OtherException:
                    failures.push_back(file + ": " + d.description +
                                       (sig == -kOtherException
                                            ? ": unexpected exception"
                                            : ": exited with status " + std::to_string(-sig)));
                    break;
                case Outcome::LostRows:
                    failures.push_back(file + ": " + d.description + ": rows lost silently");
                    break;
                case Outcome::Crashed:
                    failures.push_back(file + ": " + d.description + ": crashed with signal " +
                                       std::to_string(sig) + " (" + strsignal(sig) + ")");
                    break;
                case Outcome::Hung:
                    failures.push_back(file + ": " + d.description + ": hung");
                    break;
            }
            std::filesystem::remove(path);
        }
    }
    std::ostringstream report;
    for (const auto& f : failures)
        report << "\n  " << f;
    RecordProperty("opened", opened);
    RecordProperty("failed_cleanly", clean);
    EXPECT_TRUE(failures.empty()) << failures.size() << " of "
                                  << kAttemptsPerFile * mdbtest::SampleFiles().size()
                                  << " damaged copies were not handled:" << report.str();
    std::cout << "damaged copies: " << opened << " opened, " << clean << " failed cleanly, "
              << failures.size() << " not handled\n";
}

TEST(MdbFuzz, NamesTheDamageOfTypicalBrokenFiles)
{
    const auto original = mdbtest::FileBytes(testsupport::TestDataDir() / "nwind.mdb");
    constexpr size_t kPage = 2048;
    struct Case {
        const char* what;
        std::function<void(std::vector<char>&)> damage;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"cut inside a page", [](auto& b) { b.resize(b.size() - 100); },
         L"is damaged or truncated: its size is not a whole number of pages"},
        {"only the header page", [](auto& b) { b.resize(kPage); },
         L"is damaged or truncated: it is too short to hold a catalog"},
        {"catalog page zeroed",
         [](auto& b) { std::fill(b.begin() + 2 * kPage, b.begin() + 3 * kPage, 0); },
         L"is damaged or truncated: the catalog page is missing"},
        {"half the pages", [](auto& b) { b.resize(b.size() / 2 / kPage * kPage); },
         L"is damaged or truncated"},
        {"unknown version", [](auto& b) { b[0x14] = 9; }, L"Unrecognized database format"},
    };
    testsupport::TempDir dir;
    for (const auto& c : cases) {
        std::vector<char> bytes = original;
        c.damage(bytes);
        const auto path = dir / "broken.mdb";
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
        try {
            auto db = MdbDatabase::Open(path);
            for (const auto& t : db->Tables()) {
                auto reader = db->OpenTable(t.name);
                while (reader->Next()) {
                }
            }
            ADD_FAILURE() << c.what << ": read without an error";
        } catch (const automation::ComError& e) {
            EXPECT_NE(e.Description().find(c.message), std::wstring::npos)
                << c.what << ": " << e.what();
            EXPECT_NE(e.Description().find(L"broken.mdb"), std::wstring::npos) << e.what();
        }
    }
}

}  // namespace
