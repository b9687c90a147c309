// A file without a byte-order mark is always ANSI, whatever its bytes look like: scripts carry
// their encoding in their mark, never in guesses. A file that claims UTF-8 or UTF-16 by its mark
// must hold exactly that: a damaged sequence would otherwise be stored as a replacement
// character in the database, unnoticed.
#include "sqlexec/script_file_reader.h"

#include <sys/stat.h>

#include <cstring>
#include <new>

#include "platform/automation/wide_text.h"

namespace {

// True when `bytes` start with the encoder's byte-order mark; `markLength` then holds its length.
bool StartsWithMark(const ITextEncoder& encoder, const std::vector<std::uint8_t>& bytes,
                    size_t& markLength)
{
    size_t length = 0;
    const std::uint8_t* mark = encoder.GetPreamble(length);
    if (length == 0 || bytes.size() < length || std::memcmp(bytes.data(), mark, length) != 0)
        return false;
    markLength = length;
    return true;
}

constexpr size_t kValid = static_cast<size_t>(-1);

// The offset of the first ill-formed sequence, or kValid.
size_t FirstInvalidUtf8(const std::uint8_t* bytes, size_t length)
{
    const size_t at = automation::FirstInvalidUtf8(
        std::string_view(reinterpret_cast<const char*>(bytes), length));
    return at == std::string_view::npos ? kValid : at;
}

std::uint16_t Unit(const std::uint8_t* bytes, size_t i)
{
    return static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
}

// The offset of the first unpaired surrogate or of an odd last byte, or kValid.
size_t FirstInvalidUtf16(const std::uint8_t* bytes, size_t length)
{
    size_t i = 0;
    for (; i + 1 < length; i += 2) {
        const std::uint16_t unit = Unit(bytes, i);
        if (unit >= 0xDC00 && unit <= 0xDFFF)
            return i;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 3 >= length || Unit(bytes, i + 2) < 0xDC00 || Unit(bytes, i + 2) > 0xDFFF)
                return i;
            i += 2;
        }
    }
    return i < length ? i : kValid;
}

// The line (from 1) of the byte at `offset`: the line feeds before it, in units of `unit` bytes.
size_t LineAt(const std::uint8_t* bytes, size_t offset, size_t unit)
{
    size_t line = 1;
    for (size_t i = 0; i + unit <= offset; i += unit) {
        if (bytes[i] == '\n' && (unit == 1 || bytes[i + 1] == 0))
            ++line;
    }
    return line;
}

}  // namespace

ScriptFileReader::ScriptFileReader(std::wstring fileName) : fileName_(std::move(fileName)) {}

ScriptFileReader::~ScriptFileReader()
{
    if (file_)
        std::fclose(file_);
}

bool ScriptFileReader::Open()
{
    if (file_)
        Close();
    file_ = std::fopen(automation::ToUtf8(fileName_).c_str(), "rb");
    if (!file_) {
        error_ = L"Can't open file " + fileName_;
        return false;
    }
    return true;
}

bool ScriptFileReader::Read(std::wstring& text)
{
    std::wstring reason;
    const bool readOk = ReadAllBytes(reason);
    Close();  // a failed close is recorded but does not undo a good read
    if (!readOk || bytes_.empty()) {
        error_ = L"Can't read file " + fileName_ + reason;
        return false;
    }
    const size_t markLength = DetectEncoding();
    const std::uint8_t* body = bytes_.data() + markLength;
    const size_t length = bytes_.size() - markLength;
    size_t invalid = kValid;
    const wchar_t* encoding = L"UTF-8";
    size_t unit = 1;
    if (dynamic_cast<const TextEncoderUTF8*>(encoder_.get())) {
        invalid = FirstInvalidUtf8(body, length);
    } else if (dynamic_cast<const TextEncoderUTF16*>(encoder_.get())) {
        invalid = FirstInvalidUtf16(body, length);
        encoding = L"UTF-16";
        unit = 2;
    }
    if (invalid != kValid) {
        error_ = L"Can't read SQL script file " + fileName_ + L": invalid " + encoding +
                 L" text at line " + std::to_wstring(LineAt(body, invalid, unit)) +
                 L", byte offset " + std::to_wstring(markLength + invalid) + L".";
        encoder_.reset();
        return false;
    }
    try {
        std::wstring decoded;
        encoder_->Decode(body, length, decoded);
        text.swap(decoded);
    } catch (const std::bad_alloc&) {
        error_ = L"Can't read file " + fileName_ + L": it is too large to load into memory.";
        encoder_.reset();
        return false;
    }
    return true;
}

// Only a regular file has a size to read: a folder, a device or a pipe would be read as an
// endless or a nonsensical stream.
bool ScriptFileReader::ReadAllBytes(std::wstring& reason)
{
    bytes_.clear();
    if (!file_)
        return false;
    struct stat info {};
    if (::fstat(fileno(file_), &info) != 0)
        return false;
    if (S_ISDIR(info.st_mode)) {
        reason = L": it is a folder.";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = L": it is not a regular file.";
        return false;
    }
    try {
        bytes_.resize(static_cast<size_t>(info.st_size));
    } catch (const std::bad_alloc&) {
        reason = L": it is too large to load into memory.";
        return false;
    } catch (const std::length_error&) {
        reason = L": it is too large to load into memory.";
        return false;
    }
    // A file that shrank while we read ends where its bytes end.
    const size_t count = std::fread(bytes_.data(), 1, bytes_.size(), file_);
    bytes_.resize(count);
    // A read error part-way would hand back a truncated script as if it were whole.
    return !std::ferror(file_);
}

size_t ScriptFileReader::DetectEncoding()
{
    size_t markLength = 0;
    encoder_ = std::make_unique<TextEncoderUTF8>();
    if (StartsWithMark(*encoder_, bytes_, markLength))
        return markLength;
    encoder_ = std::make_unique<TextEncoderUTF16>();
    if (StartsWithMark(*encoder_, bytes_, markLength))
        return markLength;
    encoder_ = std::make_unique<TextEncoderASCII>();
    return 0;
}

bool ScriptFileReader::Close()
{
    if (!file_)
        return true;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0) {
        error_ = L"Can't close file " + fileName_;
        return false;
    }
    return true;
}

std::unique_ptr<ITextEncoder> ScriptFileReader::TakeEncoder()
{
    return std::move(encoder_);
}
