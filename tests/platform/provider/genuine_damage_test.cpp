// Damaged and truncated copies of the sample files opened through ADO: each
// opens and reads (catalog and every row through a static Recordset) or fails
// with a ComError; never a crash, a hang or another exception. Each attempt
// runs in a child process so that a crash is seen and reported.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "genuine_test_support.h"
#include "platform/provider/adox_table.h"

namespace genuinetest {
namespace {

using namespace provider;

constexpr int kSecondsPerAttempt = 30;
constexpr int kReadAll = 40, kComError = 41, kOtherException = 42;

// The child's exit status, or the negated signal that ended it.
int TryThroughAdo(const std::filesystem::path& path)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        dup2(null, STDOUT_FILENO);
        alarm(kSecondsPerAttempt);
        try {
            auto c = automation::CreateObjectAs<adodb::Connection>(L"ADODB.Connection");
            c->Open(JetString(Wide(path)));
            auto catalog = std::make_shared<adox::Catalog>();
            catalog->SetActiveConnection(c);
            auto tables = catalog->Tables();
            for (long i = 0; i < tables->Count(); ++i) {
                if (tables->Item(i)->Type() != L"TABLE")
                    continue;
                auto rs = Query(c, L"SELECT * FROM [" + tables->Item(i)->Name() + L"]");
                for (; !rs->IsEOF(); rs->MoveNext())
                    for (long f = 0; f < rs->Fields()->Count(); ++f)
                        rs->Fields()->Item(f)->Value();
            }
            c->Close();
            _exit(kReadAll);
        } catch (const automation::ComError& e) {
            _exit(e.Description().empty() ? kOtherException : kComError);
        } catch (...) {
            _exit(kOtherException);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST(GenuineDamage, DamagedCopiesOpenThroughAdoOrFailWithAClearError)
{
    const char* attempts = std::getenv("GENUINE_FUZZ_ATTEMPTS");
    const int kAttemptsPerFile = attempts ? std::atoi(attempts) : 60;
    std::mt19937 rng(20261209u);
    RegisterProviderClasses();
    testsupport::TempDir dir;
    std::vector<std::string> failures;
    int opened = 0, clean = 0;
    for (const auto& file : mdbtest::SampleFiles()) {
        const auto original = mdbtest::FileBytes(testsupport::TestDataDir() / file);
        const size_t pageSize = file == "nwind.mdb" ? 2048 : 4096;
        for (int i = 0; i < kAttemptsPerFile; ++i) {
            const mdbtest::Damage d = mdbtest::MakeDamage(original, pageSize, rng);
            const auto path = dir.path() / ("damaged-" + std::to_string(i) + "-" + file);
            std::ofstream(path, std::ios::binary).write(d.bytes.data(), d.bytes.size());
            const int outcome = TryThroughAdo(path);
            if (outcome == kReadAll)
                ++opened;
            else if (outcome == kComError)
                ++clean;
            else
                failures.push_back(
                    file + ": " + d.description +
                    (outcome == kOtherException ? std::string(": unexpected exception")
                     : outcome == -SIGALRM      ? std::string(": hung")
                     : outcome < 0 ? ": crashed with signal " + std::string(strsignal(-outcome))
                                   : ": exited with status " + std::to_string(outcome)));
            std::filesystem::remove(path);
        }
    }
    for (const auto& f : failures)
        ADD_FAILURE() << f;
    // Both outcomes occur: the damage is neither always fatal nor always harmless.
    EXPECT_GT(opened, 0);
    EXPECT_GT(clean, 0);
}

}  // namespace
}  // namespace genuinetest
