// Shared and exclusive opens of a database through flock on its lock file.
#include "platform/provider/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace provider {

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

bool FileLock::Acquire(const std::string& databasePath, Mode mode)
{
    Release();
    std::string path = LockPathOf(databasePath);
    // The lock file may be unlinked by its last user between our open and our
    // flock; then the lock we got is on a dead file, so try again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        // A lock file that this user may not write (in a read-only folder, or
        // left there by another user) still takes a lock when it can be read.
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            int saved = errno;
            fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                errno = saved;
        }
        if (fd < 0)
            return false;
        if (::flock(fd, (mode == Mode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        struct stat held, named;
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
            held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
            fd_ = fd;
            path_ = path;
            return true;
        }
        ::close(fd);
    }
    errno = EAGAIN;
    return false;
}

void FileLock::Release()
{
    if (fd_ < 0)
        return;
    // Whoever can turn its lock exclusive is the last user and removes the file.
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
        ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

}  // namespace provider
