// Private native-store snapshots of genuine Access files, shared within the
// process while the file stays unchanged.
#include "platform/provider/genuine_snapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/genuine_import.h"
#include "platform/provider/mdb/mdb_database.h"
#include "platform/provider/mdb/mdb_session.h"
#include "platform/provider/native_store.h"
#include "platform/provider/sqlite_util.h"

namespace provider {

using automation::ComError;
using automation::E_FAIL;

namespace {

// What tells one state of a file from another.
struct FileState {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime = {};

    bool operator==(const FileState& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

bool StateOf(const std::string& path, FileState& out)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    out = {st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    return true;
}

struct Shared {
    FileState state;
    std::weak_ptr<GenuineSnapshot> snapshot;
};

// Guards the table and every import, so one file is imported once.
std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, Shared>& Registry()
{
    static std::map<std::string, Shared> shared;
    return shared;
}

constexpr char kFolderPrefix[] = "crv-genuine-";
// Each snapshot's folder holds this file, locked by the process that made the snapshot for as
// long as that process lives: a lock that can be taken is one that nobody holds any more.
constexpr char kOwnerFile[] = "owner";

std::string TemporaryFolder()
{
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Removes the files of a snapshot's folder (it holds no folders) and the folder.
void RemoveFolder(const std::string& folder)
{
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                ::unlink((folder + "/" + entry->d_name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(folder.c_str());
}

// Snapshots left behind by processes that were killed before they could remove their own; one
// whose owner lives keeps its lock and is left alone, and so is a folder with no owner file.
void RemoveAbandonedSnapshots()
{
    const std::string tmp = TemporaryFolder();
    DIR* dir = ::opendir(tmp.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strncmp(entry->d_name, kFolderPrefix, sizeof kFolderPrefix - 1) != 0)
            continue;
        const std::string folder = tmp + "/" + entry->d_name;
        struct stat st;
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        int fd = ::open((folder + "/" + kOwnerFile).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            RemoveFolder(folder);
        ::close(fd);
    }
    ::closedir(dir);
}

// The owner file of a new folder, locked before it takes its name so that no other process
// can find it unlocked; -1 when it cannot be made (the snapshot then goes only with this process).
int LockOwnerFile(const std::string& folder)
{
    const std::string fresh = folder + "/" + kOwnerFile + ".new";
    int fd = ::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX) != 0 ||
        ::rename(fresh.c_str(), (folder + "/" + kOwnerFile).c_str()) != 0) {
        ::close(fd);
        ::unlink(fresh.c_str());
        return -1;
    }
    return fd;
}

std::string NewPrivateFolder()
{
    std::string pattern = TemporaryFolder() + "/" + kFolderPrefix + "XXXXXX";
    // mkdtemp makes the folder readable by its owner only.
    if (!::mkdtemp(pattern.data()))
        throw ComError(E_FAIL,
                       L"Could not make a temporary folder for reading the Access "
                       L"database: " +
                           automation::FromUtf8(std::strerror(errno)) + L".");
    return pattern;
}

}  // namespace

GenuineSnapshot::~GenuineSnapshot()
{
    if (!storePath_.empty()) {
        ::unlink(storePath_.c_str());
        ::unlink((storePath_ + "-journal").c_str());
        ::unlink((storePath_ + "-wal").c_str());
        ::unlink((storePath_ + "-shm").c_str());
    }
    if (!folder_.empty()) {
        ::unlink((folder_ + "/" + kOwnerFile).c_str());
        ::rmdir(folder_.c_str());
    }
    if (ownerLock_ >= 0)
        ::close(ownerLock_);
}

std::shared_ptr<GenuineSnapshot> GenuineSnapshot::Acquire(const std::wstring& path,
                                                          const std::wstring& password)
{
    std::string narrow = automation::ToUtf8(path);
    // The header is read for every open: the password is each connection's own.
    mdb::MdbFileHeader header = mdb::MdbFileHeader::Read(narrow);
    if (header.PasswordReadable() && header.HasPassword() && !header.CheckPassword(password))
        throw ComError(E_FAIL, L"Not a valid password.");

    std::lock_guard<std::mutex> hold(RegistryMutex());
    char* real = ::realpath(narrow.c_str(), nullptr);
    std::string key = real ? real : narrow;
    std::free(real);
    FileState before;
    if (!StateOf(narrow, before))
        throw ComError(E_FAIL, L"Could not find file '" + path + L"'.");
    auto found = Registry().find(key);
    if (found != Registry().end()) {
        if (auto live = found->second.snapshot.lock(); live && found->second.state == before)
            return live;
    }

    RemoveAbandonedSnapshots();
    std::shared_ptr<GenuineSnapshot> snapshot(new GenuineSnapshot);
    snapshot->folder_ = NewPrivateFolder();
    snapshot->ownerLock_ = LockOwnerFile(snapshot->folder_);
    snapshot->storePath_ = snapshot->folder_ + "/snapshot.crv";
    const mdb::LibmdbMessages quiet;
    std::unique_ptr<mdb::MdbDatabase> source = mdb::MdbDatabase::Open(narrow);
    NativeStore::Create(automation::FromUtf8(snapshot->storePath_), L"");
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(snapshot->storePath_.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    try {
        if (rc != SQLITE_OK)
            ThrowSqliteError(db, rc);
        // A rollback journal keeps the finished snapshot one plain file, which
        // read-only connections open without making anything beside it.
        ExecSql(db, "PRAGMA journal_mode = DELETE; PRAGMA synchronous = OFF;");
        try {
            GenuineImport(*source, db).Run();
        } catch (const ComError& e) {
            throw ComError(E_FAIL, L"The Access database '" + path + L"' could not be read: " +
                                       e.Description());
        } catch (const std::exception& e) {
            throw ComError(E_FAIL, L"The Access database '" + path + L"' could not be read: " +
                                       automation::FromUtf8(e.what()) + L".");
        }
        sqlite3_close(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    Registry()[key] = {before, snapshot};
    return snapshot;
}

}  // namespace provider
