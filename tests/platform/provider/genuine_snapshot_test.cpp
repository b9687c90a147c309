// Private snapshots of genuine files left behind by killed processes: they go when the next
// snapshot is made, and those of living processes stay.
#include "platform/provider/genuine_snapshot.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/automation/wide_text.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class ScopedTmpDir {
public:
    explicit ScopedTmpDir(const fs::path& path)
    {
        const char* old = std::getenv("TMPDIR");
        had_ = old != nullptr;
        saved_ = old ? old : "";
        ::setenv("TMPDIR", path.c_str(), 1);
    }
    ~ScopedTmpDir()
    {
        if (had_)
            ::setenv("TMPDIR", saved_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

private:
    bool had_ = false;
    std::string saved_;
};

// A process that locks `owner` as a snapshot's process does and then waits until it is killed.
pid_t LockInChild(const fs::path& owner)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return -1;
    pid_t child = ::fork();
    if (child == 0) {
        int fd = ::open(owner.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        char c = 1;
        (void)!::write(ready[1], &c, 1);
        for (;;)
            ::pause();
    }
    char c = 0;
    (void)!::read(ready[0], &c, 1);
    ::close(ready[0]);
    ::close(ready[1]);
    return child;
}

void Kill(pid_t child)
{
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

std::set<std::string> SnapshotFolders(const fs::path& tmp)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(tmp))
        names.insert(entry.path().filename().string());
    return names;
}

TEST(GenuineSnapshotTest, SnapshotsOfKilledProcessesGoWhenTheNextIsMade)
{
    testsupport::TempDir tmp, data;
    ScopedTmpDir scoped(tmp.path());
    // Folders as other processes leave them: one whose process was killed, one whose process
    // lives, and one without an owner file, which cannot tell whose it is.
    for (const char* name : {"crv-genuine-killed", "crv-genuine-living", "crv-genuine-unknown"}) {
        fs::create_directory(tmp / name);
        std::ofstream(tmp / name / "snapshot.crv") << "rows";
        if (std::string(name) != "crv-genuine-unknown")
            std::ofstream(tmp / name / "owner") << "";
    }
    Kill(LockInChild(tmp / "crv-genuine-killed" / "owner"));
    const pid_t living = LockInChild(tmp / "crv-genuine-living" / "owner");
    ASSERT_GT(living, 0);

    const fs::path first = testsupport::CopyTestData("indexTestV2003.mdb", data);
    auto held = provider::GenuineSnapshot::Acquire(automation::FromUtf8(first.string()), L"");
    std::set<std::string> folders = SnapshotFolders(tmp.path());
    EXPECT_EQ(folders.count("crv-genuine-killed"), 0u);
    EXPECT_EQ(folders.count("crv-genuine-living"), 1u);
    EXPECT_EQ(folders.count("crv-genuine-unknown"), 1u);
    EXPECT_EQ(folders.size(), 3u);

    // This process's own snapshot, still in use, stays when the next one is made.
    fs::create_directory(data / "second");
    fs::copy_file(first, data / "second" / "copy.mdb");
    auto next = provider::GenuineSnapshot::Acquire(
        automation::FromUtf8((data / "second" / "copy.mdb").string()), L"");
    EXPECT_TRUE(fs::exists(held->StorePath()));
    EXPECT_EQ(SnapshotFolders(tmp.path()).size(), 4u);
    Kill(living);
    held.reset();
    next.reset();
    EXPECT_EQ(SnapshotFolders(tmp.path()),
              (std::set<std::string>{"crv-genuine-living", "crv-genuine-unknown"}));
}

}  // namespace
