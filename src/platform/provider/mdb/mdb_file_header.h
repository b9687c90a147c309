// The first page of a genuine Access file: format recognition, the sanity
// checks made before the file is handed to libmdb, and the database password.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace provider::mdb {

// Numbered as the version byte of the header.
enum class FileFormat { Jet3 = 0, Jet4 = 1, Ace12 = 2, Ace14 = 3, Ace15 = 4, Ace16 = 5, Ace17 = 6 };

// "Jet 3", "Jet 4", "ACE 12", ...
std::wstring FormatName(FileFormat format);

class MdbFileHeader {
public:
    // Reads and checks the header of `path`. Throws automation::ComError with a
    // description naming the file when it is missing, unreadable, not an Access
    // database, or visibly truncated or damaged.
    static MdbFileHeader Read(const std::filesystem::path& path);

    // True when the first bytes are those of a Jet or ACE database, whatever
    // the extension; never throws.
    static bool LooksLikeAccessFile(const std::filesystem::path& path);

    FileFormat Format() const { return format_; }
    uint32_t PageSize() const { return pageSize_; }
    uint64_t PageCount() const { return pageCount_; }
    uint16_t CodePage() const { return codePage_; }
    // Non-zero when the pages are RC4-encoded ("encrypted" Jet 4 databases).
    uint32_t DatabaseKey() const { return dbKey_; }

    // Jet 3 and Jet 4 keep the database password, obfuscated, in the header;
    // ACE files keep only a hash inside their encryption header, so there it
    // cannot be checked here.
    bool PasswordReadable() const
    {
        return format_ == FileFormat::Jet3 || format_ == FileFormat::Jet4;
    }
    bool HasPassword() const { return !password_.empty(); }
    bool CheckPassword(const std::wstring& password) const;

private:
    FileFormat format_ = FileFormat::Jet4;
    uint32_t pageSize_ = 4096;
    uint64_t pageCount_ = 0;
    uint16_t codePage_ = 0;
    uint32_t dbKey_ = 0;
    std::wstring password_;
};

}  // namespace provider::mdb
