// A file or folder made read-only for the test that needs one, for every user: by its
// permissions, and for the superuser (whom permissions do not bind) by the file system's
// immutable flag. Undone when the mark goes, so that the temporary folder can be removed.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>

namespace testsupport {

class ReadOnlyMark {
public:
    explicit ReadOnlyMark(std::filesystem::path path) : path_(std::move(path))
    {
        namespace fs = std::filesystem;
        const fs::perms write = fs::perms::owner_write | fs::perms::group_write |
                                fs::perms::others_write;
        fs::permissions(path_, write, fs::perm_options::remove);
        if (::geteuid() == 0)
            immutable_ = SetImmutable(true);
        else
            held_ = true;
    }
    ~ReadOnlyMark()
    {
        if (immutable_)
            SetImmutable(false);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }
    ReadOnlyMark(const ReadOnlyMark&) = delete;
    ReadOnlyMark& operator=(const ReadOnlyMark&) = delete;

    // False where the superuser's file system takes no immutable flag: the test cannot be made.
    bool Held() const { return held_ || immutable_; }

private:
    bool SetImmutable(bool on)
    {
        int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return false;
        int flags = 0;
        bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (done) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return done;
    }

    std::filesystem::path path_;
    bool held_ = false;
    bool immutable_ = false;
};

}  // namespace testsupport
