// Saving files through the replacement routine: links, several names of one file, failures.
#include "platform/files/replacement_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// Saves `bytes` to `path` as every writer does: open, write, close, commit.
bool Save(const fs::path& path, const std::string& bytes, std::string* error = nullptr)
{
    files::ReplacementFile file(path.string());
    std::FILE* stream = file.Open();
    if (!stream) {
        if (error)
            *error = file.ErrorText();
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    if (std::fclose(stream) != 0 || !written) {
        file.Discard();
        if (error)
            *error = "write failed";
        return false;
    }
    const bool committed = file.Commit();
    if (error)
        *error = file.ErrorText();
    return committed;
}

std::set<std::string> Entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

struct stat StatOf(const fs::path& path)
{
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return status;
}

TEST(ReplacementFileTest, SymbolicLinkStaysALinkAndItsFileGetsTheContent)
{
    testsupport::TempDir dir;
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // link, what it points to
        std::string file;                                        // the file that is saved
        bool fileExists;
    } cases[] = {
        {"absolute", {{"links/a.sql", (dir / "real/a.sql").string()}}, "real/a.sql", true},
        {"relative", {{"links/b.sql", "../real/b.sql"}}, "real/b.sql", true},
        {"chain",
         {{"links/c1.sql", "c2.sql"}, {"links/c2.sql", "../real/c.sql"}},
         "real/c.sql",
         true},
        {"dangling", {{"links/d.sql", "../real/d-new.sql"}}, "real/d-new.sql", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        if (test.fileExists)
            WriteBytes(dir / test.file, "old content");
        for (const auto& [link, pointsTo] : test.links)
            fs::create_symlink(pointsTo, dir / link);
        const std::set<std::string> realBefore = Entries(dir / "real");
        const std::set<std::string> linksBefore = Entries(dir / "links");

        ASSERT_TRUE(Save(dir / test.links.front().first, "new"));
        EXPECT_EQ(ReadBytes(dir / test.file), "new");
        for (const auto& [link, pointsTo] : test.links) {
            EXPECT_TRUE(fs::is_symlink(dir / link)) << link;
            EXPECT_EQ(fs::read_symlink(dir / link).string(), pointsTo);
        }
        std::set<std::string> realAfter = realBefore;
        realAfter.insert(fs::path(test.file).filename().string());
        EXPECT_EQ(Entries(dir / "real"), realAfter);  // no temporary file left anywhere
        EXPECT_EQ(Entries(dir / "links"), linksBefore);
    }
}

TEST(ReplacementFileTest, LinksThatNameNoFileAreRefusedWithoutWriting)
{
    testsupport::TempDir dir;
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    std::string error;
    EXPECT_FALSE(Save(dir / "loop1", "new", &error));
    EXPECT_EQ(error, "Too many levels of symbolic links");
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"loop1", "loop2"}));
}

TEST(ReplacementFileTest, FileWithSeveralNamesChangesForEveryName)
{
    testsupport::TempDir dir;
    fs::create_directories(dir / "other");
    const struct {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"grows", "short", std::string(200000, 'x') + "end"},
        {"shrinks", std::string(100000, 'y'), "small"},
        {"empties", "something", ""},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const fs::path first = dir / (std::string(test.name) + ".sql");
        const fs::path second = dir / "other" / (std::string(test.name) + "-link.sql");
        WriteBytes(first, test.before);
        ASSERT_EQ(::chmod(first.c_str(), 0640), 0);
        fs::create_hard_link(first, second);
        const struct stat before = StatOf(first);

        ASSERT_TRUE(Save(second, test.after));
        EXPECT_EQ(ReadBytes(first), test.after);
        EXPECT_EQ(ReadBytes(second), test.after);
        const struct stat after = StatOf(first);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_nlink, 2u);
        EXPECT_EQ(after.st_mode & 07777, 0640u);
        for (const std::string& entry : Entries(dir / "other"))
            EXPECT_NE(entry.front(), '.') << entry;  // no temporary file left
    }
}

TEST(ReplacementFileTest, OrdinaryFileIsReplacedWholeWithItsPermissions)
{
    testsupport::TempDir dir;
    const fs::path path = dir / "report.html";
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0604), 0);
    // A reader that has the old file open keeps reading the old content: the new one arrives
    // whole, by a rename, never written over it.
    std::ifstream reader(path, std::ios::binary);
    ASSERT_TRUE(Save(path, "new content"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), "old");
    EXPECT_EQ(ReadBytes(path), "new content");
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0604u);
    EXPECT_EQ(Entries(dir.path()), (std::set<std::string>{"report.html"}));
}

// A file-size limit makes the writes of a save fail part of the way through.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);  // the failing write then reports EFBIG
        ::getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

TEST(ReplacementFileTest, SaveThatFailsOnTheWayLeavesEveryFileAsItWas)
{
    testsupport::TempDir dir;
    WriteBytes(dir / "plain.sql", "plain old");
    WriteBytes(dir / "target.sql", "linked old");
    fs::create_symlink("target.sql", dir / "symbolic.sql");
    WriteBytes(dir / "hard.sql", "hard old");
    fs::create_hard_link(dir / "hard.sql", dir / "hard2.sql");
    const std::set<std::string> before = Entries(dir.path());
    {
        FileSizeLimit limit(64 * 1024);
        for (const char* name : {"plain.sql", "symbolic.sql", "hard2.sql"})
            EXPECT_FALSE(Save(dir / name, std::string(256 * 1024, 'z'))) << name;
    }
    EXPECT_EQ(ReadBytes(dir / "plain.sql"), "plain old");
    EXPECT_EQ(ReadBytes(dir / "target.sql"), "linked old");
    EXPECT_EQ(ReadBytes(dir / "hard.sql"), "hard old");
    EXPECT_EQ(Entries(dir.path()), before);
}

TEST(ReplacementFileTest, DeviceIsWrittenDirectly)
{
    ASSERT_TRUE(Save("/dev/null", "anything"));
    std::string error;
    EXPECT_FALSE(Save("/dev/full", "anything", &error));
}

}  // namespace
