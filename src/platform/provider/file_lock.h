// The lock file beside a database (name.ldb for .mdb, name.laccdb for .accdb,
// as Access names its own): every open holds a shared flock on it, an
// exclusive open holds an exclusive one. flock, not fcntl: fcntl locks on the
// database file itself would be dropped by SQLite closing any descriptor of
// that file, and they do not conflict within one process.
#pragma once

#include <string>

namespace provider {

class FileLock {
public:
    enum class Mode { Shared, Exclusive };

    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock without waiting; false when another open holds a
    // conflicting one (or the lock file cannot be made), with errno kept.
    bool Acquire(const std::string& databasePath, Mode mode);
    // Releases the lock; the lock file goes when nobody else holds it.
    void Release();
    bool Held() const { return fd_ >= 0; }

    static std::string LockPathOf(const std::string& databasePath);

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace provider
