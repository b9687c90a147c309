// Reads the header page of a genuine Access file without libmdb, so that a
// file that is not one, or is cut short, never reaches the library.
#include "platform/provider/mdb/mdb_file_header.h"

#include <array>
#include <cstring>
#include <fstream>
#include <system_error>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/mdb/mdb_bytes.h"

namespace provider::mdb {
namespace {

using automation::ComError;

constexpr std::array<uint8_t, 4> kMagic = {0x00, 0x01, 0x00, 0x00};
constexpr char kJetId[] = "Standard Jet DB";
constexpr char kAceId[] = "Standard ACE DB";
constexpr size_t kIdOffset = 4;
constexpr size_t kVersionOffset = 0x14;
constexpr size_t kEncodedStart = 0x18;
constexpr size_t kCodePageOffset = 0x3C;
constexpr size_t kDbKeyOffset = 0x3E;
constexpr size_t kPasswordOffset = 0x42;
constexpr size_t kCreationDateOffset = 0x72;
// The fixed key that scrambles the header from offset 0x18 on.
constexpr std::array<uint8_t, 4> kHeaderKey = {0xC7, 0xDA, 0x39, 0x6B};

void Rc4(const uint8_t* key, size_t keyLen, uint8_t* data, size_t len)
{
    std::array<uint8_t, 256> s;
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<uint8_t>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

std::wstring PathText(const std::filesystem::path& path)
{
    return automation::FromUtf8(path.string());
}

[[noreturn]] void Damaged(const std::filesystem::path& path, const std::wstring& why)
{
    throw ComError(automation::E_FAIL, L"The database file '" + PathText(path) +
                                           L"' is damaged or truncated: " + why + L".");
}

}  // namespace

std::wstring FormatName(FileFormat format)
{
    static const wchar_t* const names[] = {L"Jet 3",  L"Jet 4",  L"ACE 12", L"ACE 14",
                                           L"ACE 15", L"ACE 16", L"ACE 17"};
    const auto i = static_cast<size_t>(format);
    return i < std::size(names) ? names[i] : L"unknown";
}

bool MdbFileHeader::LooksLikeAccessFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<uint8_t, 20> head{};
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size()))
        return false;
    if (!std::equal(kMagic.begin(), kMagic.end(), head.begin()))
        return false;
    const char* id = reinterpret_cast<const char*>(head.data() + kIdOffset);
    return std::memcmp(id, kJetId, sizeof kJetId) == 0 ||
           std::memcmp(id, kAceId, sizeof kAceId) == 0;
}

MdbFileHeader MdbFileHeader::Read(const std::filesystem::path& path)
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status))
        throw ComError(automation::E_FAIL, L"Could not find file '" + PathText(path) + L"'.");
    if (!std::filesystem::is_regular_file(status))
        throw ComError(automation::E_FAIL, L"'" + PathText(path) + L"' is not a file.");
    const uint64_t size = std::filesystem::file_size(path, ec);
    std::ifstream in(path, std::ios::binary);
    if (ec || !in)
        throw ComError(automation::E_FAIL,
                       L"Could not open file '" + PathText(path) + L"' for reading.");

    std::array<uint8_t, 2048> page{};
    in.read(reinterpret_cast<char*>(page.data()), page.size());
    const size_t got = static_cast<size_t>(in.gcount());
    if (got < 0x100 || !LooksLikeAccessFile(path))
        throw ComError(automation::E_FAIL,
                       L"Unrecognized database format '" + PathText(path) + L"'.");

    MdbFileHeader h;
    const uint32_t version = page[kVersionOffset];
    const bool ace = std::memcmp(page.data() + kIdOffset, kAceId, sizeof kAceId) == 0;
    if (version > static_cast<uint32_t>(FileFormat::Ace17))
        throw ComError(automation::E_FAIL, L"Unrecognized database format '" + PathText(path) +
                                               L"' (version " + std::to_wstring(version) + L").");
    h.format_ = static_cast<FileFormat>(version);
    if (ace != (version >= 2))
        Damaged(path, L"the header names a different engine than its version number");
    h.pageSize_ = h.format_ == FileFormat::Jet3 ? 2048 : 4096;
    // A genuine file is always a whole number of pages; the catalog starts on
    // page 2, so anything shorter cannot hold a database.
    if (size % h.pageSize_ != 0)
        Damaged(path, L"its size is not a whole number of pages");
    h.pageCount_ = size / h.pageSize_;
    if (h.pageCount_ < 3)
        Damaged(path, L"it is too short to hold a catalog");

    const size_t encodedLen = h.format_ == FileFormat::Jet3 ? 126 : 128;
    Rc4(kHeaderKey.data(), kHeaderKey.size(), page.data() + kEncodedStart, encodedLen);
    h.codePage_ = Le16(page.data() + kCodePageOffset);
    h.dbKey_ = Le32(page.data() + kDbKeyOffset);

    if (h.format_ == FileFormat::Jet3) {
        for (size_t i = 0; i < 20 && page[kPasswordOffset + i]; ++i)
            h.password_ += static_cast<wchar_t>(page[kPasswordOffset + i]);
    } else if (h.format_ == FileFormat::Jet4) {
        // Jet 4 also masks the password with the whole-day part of the
        // creation date.
        double created;
        std::memcpy(&created, page.data() + kCreationDateOffset, sizeof created);
        const int32_t day =
            created > -2147483648.0 && created < 2147483647.0 ? static_cast<int32_t>(created) : 0;
        uint8_t mask[4];
        std::memcpy(mask, &day, 4);
        for (size_t i = 0; i < 40; i += 2) {
            const uint8_t lo = page[kPasswordOffset + i] ^ mask[i % 4];
            const uint8_t hi = page[kPasswordOffset + i + 1] ^ mask[(i + 1) % 4];
            const wchar_t c = static_cast<wchar_t>(lo | hi << 8);
            if (!c)
                break;
            h.password_ += c;
        }
    }
    return h;
}

bool MdbFileHeader::CheckPassword(const std::wstring& password) const
{
    // Jet compares passwords exactly, case included.
    return !PasswordReadable() || password == password_;
}

}  // namespace provider::mdb
