// Shared and exclusive opens of a database through flock on its lock files.
#include "platform/provider/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace provider {

namespace {

// The folder of the identity locks: one for every user of the machine.
constexpr const char* kIdentityFolder = "/tmp/.crv-locks";

// Opens (making it if need be) the lock file at `path` and flocks it with `operation` without
// waiting; -1 with errno set when that fails. The file may be unlinked by its last user between
// our open and our flock; then the lock we got is on a dead file, so try again.
// `shared`: in the folder every user shares, where a name may have been put there by anyone: a
// symbolic link is never followed, and only a plain file serves.
int OpenLocked(const std::string& path, int operation, bool shared = false)
{
    const int follow = shared ? O_NOFOLLOW : 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | follow, 0666);
        // A lock file that this user may not write (in a read-only folder, or
        // left there by another user) still takes a lock when it can be read.
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            int saved = errno;
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | follow);
            if (fd < 0)
                errno = saved;
        }
        if (fd < 0)
            return -1;
        struct stat kind;
        if (shared && (::fstat(fd, &kind) != 0 || !S_ISREG(kind.st_mode))) {
            ::close(fd);
            errno = EPERM;
            return -1;
        }
        if (::flock(fd, operation | LOCK_NB) != 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        struct stat held, named;
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev)
            return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// Lets go of a lock file; whoever can turn its lock exclusive is the last user and removes it.
void CloseLocked(int fd, const std::string& path)
{
    if (fd < 0)
        return;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::unlink(path.c_str());
    ::close(fd);
}

bool SameFile(const std::string& path, const struct stat& file)
{
    struct stat named;
    return ::stat(path.c_str(), &named) == 0 && named.st_dev == file.st_dev &&
           named.st_ino == file.st_ino;
}

std::string ReadName(int fd)
{
    std::string name;
    char buffer[4096];
    off_t at = 0;
    for (;;) {
        ssize_t got = ::pread(fd, buffer, sizeof buffer, at);
        if (got <= 0)
            break;
        name.append(buffer, static_cast<size_t>(got));
        at += got;
    }
    return name;
}

}  // namespace

FileLock::~FileLock()
{
    Release();
}

std::string FileLock::LockPathOf(const std::string& databasePath)
{
    size_t slash = databasePath.rfind('/');
    size_t dot = databasePath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return databasePath + ".ldb";
    std::string ext = databasePath.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return databasePath.substr(0, dot) + (ext == ".accdb" ? ".laccdb" : ".ldb");
}

std::string FileLock::ResolvedPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    std::string resolved = real ? real : path;
    std::free(real);
    return resolved;
}

std::string FileLock::IdentityLockPathOf(const std::string& databasePath)
{
    struct stat file;
    if (::stat(databasePath.c_str(), &file) != 0)
        return {};
    return std::string(kIdentityFolder) + "/" + std::to_string(file.st_dev) + "-" +
           std::to_string(file.st_ino);
}

bool FileLock::AcquireIdentity(const std::string& resolved, Mode mode)
{
    struct stat file;
    if (::stat(resolved.c_str(), &file) != 0)
        return true;  // nothing to lock: the open fails on its own
    // A machine whose shared folder takes no lock of ours is left with the lock file beside
    // the database alone.
    if (::mkdir(kIdentityFolder, 01777) == 0)
        ::chmod(kIdentityFolder, 01777);
    struct stat folder;
    if (::lstat(kIdentityFolder, &folder) != 0 || !S_ISDIR(folder.st_mode))
        return true;
    const std::string path = IdentityLockPathOf(resolved);
    // Exclusive first: the open that is alone with the file may (re)write the name.
    int fd = OpenLocked(path, LOCK_EX, true);
    if (fd < 0 && errno != EWOULDBLOCK)
        return true;
    bool alone = fd >= 0;
    if (!alone) {
        if (mode == Mode::Exclusive) {
            errno = EWOULDBLOCK;
            return false;
        }
        // Another open may hold it exclusively only for the moment it writes the name in.
        for (int attempt = 0; fd < 0 && attempt < 25; ++attempt) {
            fd = OpenLocked(path, LOCK_SH, true);
            if (fd < 0 && errno != EWOULDBLOCK)
                return true;
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (fd < 0) {
            errno = EWOULDBLOCK;
            return false;
        }
    }
    std::string name = ReadName(fd);
    if (name.empty() || name[0] != '/' || !SameFile(name, file)) {
        name = resolved;
        if (alone && ::ftruncate(fd, 0) == 0) {
            ssize_t written = ::pwrite(fd, name.data(), name.size(), 0);
            if (written == static_cast<ssize_t>(name.size()))
                ::fsync(fd);
        }
    }
    if (alone && mode == Mode::Shared && ::flock(fd, LOCK_SH) != 0) {
        int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    identityFd_ = fd;
    identityPath_ = path;
    openPath_ = name;
    return true;
}

bool FileLock::Acquire(const std::string& databasePath, Mode mode)
{
    Release();
    const std::string resolved = ResolvedPath(databasePath);
    openPath_ = resolved;
    if (!AcquireIdentity(resolved, mode))
        return false;
    // The lock file beside the name the file is opened by.
    std::string path = LockPathOf(openPath_);
    int fd = OpenLocked(path, mode == Mode::Exclusive ? LOCK_EX : LOCK_SH);
    if (fd < 0) {
        int saved = errno;
        CloseLocked(identityFd_, identityPath_);
        identityFd_ = -1;
        errno = saved;
        return false;
    }
    fd_ = fd;
    path_ = path;
    return true;
}

void FileLock::Release()
{
    if (fd_ >= 0)
        CloseLocked(fd_, path_);
    fd_ = -1;
    CloseLocked(identityFd_, identityPath_);
    identityFd_ = -1;
}

}  // namespace provider
