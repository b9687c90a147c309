// The locks of an open database. Two of them, both flock (fcntl locks on the
// database file itself would be dropped by SQLite closing any descriptor of
// that file, and they do not conflict within one process):
//  - the lock file beside the database (name.ldb for .mdb, name.laccdb for
//    .accdb, as Access names its own), found from the file's resolved path, so
//    that a symbolic link, `./`, `../` or `//` reach the same one; it also
//    serves other machines that reach the folder;
//  - the lock of the file's identity (device and inode) in a folder every user
//    of this machine shares, which every name of the file reaches, hard links
//    included.
// Every open holds both shared, an exclusive open both exclusive.
//
// The identity lock also keeps the name by which the file is opened: every
// open of a file with several names goes through the name the first one used,
// so that SQLite keeps one log (-wal) and one shared-memory file for it, never
// one per name. The name stays recorded after a process was killed with the
// file open, so its log is found again whichever name the file is opened by.
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

    // Takes the locks without waiting; false when another open holds a
    // conflicting one (errno EWOULDBLOCK), or the lock file cannot be made,
    // with errno kept.
    bool Acquire(const std::string& databasePath, Mode mode);
    // Releases the locks; a lock file goes when nobody else holds it.
    void Release();
    bool Held() const { return fd_ >= 0; }
    // The name to open the database by (see above); valid while held.
    const std::string& OpenPath() const { return openPath_; }

    static std::string LockPathOf(const std::string& databasePath);
    // The file's resolved path (the path itself when it cannot be resolved).
    static std::string ResolvedPath(const std::string& path);
    // The lock file of the file's identity; empty when the file is not there.
    static std::string IdentityLockPathOf(const std::string& databasePath);

private:
    bool AcquireIdentity(const std::string& resolved, Mode mode);

    int fd_ = -1;
    std::string path_;
    int identityFd_ = -1;
    std::string identityPath_;
    std::string openPath_;
};

}  // namespace provider
