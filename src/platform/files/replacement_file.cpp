// The ordinary file is replaced by a rename, which is atomic: a reader sees the old content or
// the new, never a mixture. A file with several names cannot be replaced that way without
// splitting it from its other names, so its content is copied in place, after its room has been
// reserved, and the temporary file is kept when the copy breaks off anyway.
#include "platform/files/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <utility>

namespace files {
namespace {

constexpr int kMaxLinks = 40;  // as the kernel allows in one path

std::string Reason(int error)
{
    return std::strerror(error);
}

std::string Directory(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes all of `size` bytes at `offset`, going on after short writes and interruptions.
bool WriteAllAt(int fd, const char* bytes, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, bytes, size, offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

bool SyncPath(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// Closes `fd` keeping the errno of an earlier failure.
void CloseQuietly(int fd)
{
    const int error = errno;
    ::close(fd);
    errno = error;
}

}  // namespace

bool ResolveSymbolicLinks(const std::string& path, std::string& resolved, std::string& error)
{
    std::string current = path;
    for (int depth = 0; depth <= kMaxLinks; ++depth) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            // Not there (yet) or not a link: this is the file to save.
            resolved = current;
            return true;
        }
        std::string target(static_cast<size_t>(status.st_size > 0 ? status.st_size : 255) + 1,
                           '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0 || static_cast<size_t>(length) >= target.size()) {
            error = length < 0 ? Reason(errno) : "The symbolic link changed while it was read";
            return false;
        }
        target.resize(static_cast<size_t>(length));
        if (target.empty() || target.front() != '/')
            target = Directory(current) + "/" + target;
        current = std::move(target);
    }
    error = Reason(ELOOP);
    return false;
}

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {}

ReplacementFile::~ReplacementFile()
{
    Discard();
}

bool ReplacementFile::Fail(const std::string& text)
{
    error_ = text;
    return false;
}

std::FILE* ReplacementFile::Open()
{
    static std::atomic<unsigned> counter{0};
    Discard();
    error_.clear();
    if (!ResolveSymbolicLinks(target_, saved_, error_))
        return nullptr;

    struct stat existing {};
    const bool exists = ::stat(saved_.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe cannot be replaced: it is written directly.
        std::FILE* file = std::fopen(saved_.c_str(), "wb");
        if (!file) {
            Fail(Reason(errno));
            return nullptr;
        }
        open_ = true;
        return file;
    }
    const std::string stem = Directory(saved_) + "/." + BaseName(saved_) + ".~";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = stem + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            Fail(Reason(errno));
            temporary_.clear();
            return nullptr;
        }
        if (exists)
            ::fchmod(fd, existing.st_mode & 07777);
        std::FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            Fail(Reason(errno));
            ::close(fd);
            ::unlink(temporary_.c_str());
            temporary_.clear();
            return nullptr;
        }
        open_ = true;
        return file;
    }
    temporary_.clear();
    Fail("No free name for a temporary file beside the file");
    return nullptr;
}

bool ReplacementFile::Commit()
{
    if (!open_)
        return Fail("The file was not opened");
    open_ = false;
    if (temporary_.empty())
        return true;  // written directly
    const std::string temporary = std::exchange(temporary_, {});

    // The new content is on the disk before it takes the old one's place.
    if (!SyncPath(temporary, O_RDONLY)) {
        Fail(Reason(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    struct stat existing {};
    if (::lstat(saved_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        existing.st_nlink > 1) {
        temporary_ = temporary;
        return CopyIntoLinkedFile();
    }
    if (::rename(temporary.c_str(), saved_.c_str()) != 0) {
        Fail(Reason(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    SyncPath(Directory(saved_), O_RDONLY | O_DIRECTORY);  // the new name survives a crash too
    return true;
}

// Until the first byte is written the file keeps its old content, so every failure up to then
// drops the temporary file. A failure after it leaves the temporary file as the one complete
// copy of the new content, and the error says where it is.
bool ReplacementFile::CopyIntoLinkedFile()
{
    const auto dropTemporary = [this](const std::string& reason) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        return Fail(reason);
    };
    const int source = ::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return dropTemporary(Reason(errno));
    struct stat status {};
    const int target = ::open(saved_.c_str(), O_WRONLY | O_CLOEXEC);
    if (target < 0 || ::fstat(source, &status) != 0) {
        const std::string reason = Reason(errno);
        if (target >= 0)
            ::close(target);
        ::close(source);
        return dropTemporary(reason);
    }
    const off_t size = status.st_size;
    // Room for the whole new content first, where the file system can reserve it: a full disk
    // or quota then fails here, before anything has changed.
    if (size > 0 && ::fallocate(target, FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
        const std::string reason = Reason(errno);
        ::close(target);
        ::close(source);
        return dropTemporary(reason);
    }

    bool copied = true;
    char buffer[64 * 1024];
    for (off_t offset = 0; copied && offset < size;) {
        const ssize_t count = ::pread(source, buffer, sizeof buffer, offset);
        if (count < 0 && errno == EINTR)
            continue;
        copied = count > 0 && WriteAllAt(target, buffer, static_cast<size_t>(count), offset);
        if (count == 0)
            errno = EIO;  // the temporary file is shorter than it was
        offset += count > 0 ? count : 0;
    }
    copied = copied && ::ftruncate(target, size) == 0 && ::fsync(target) == 0;
    if (!copied)
        CloseQuietly(target);
    else
        copied = ::close(target) == 0;
    const std::string reason = copied ? std::string() : Reason(errno);
    ::close(source);
    if (!copied) {
        const std::string kept = std::exchange(temporary_, {});
        return Fail(reason + "; the new content is kept in " + kept);
    }
    ::unlink(temporary_.c_str());
    temporary_.clear();
    return true;
}

void ReplacementFile::Discard()
{
    open_ = false;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace files
