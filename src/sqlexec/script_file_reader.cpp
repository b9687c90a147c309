// A file without a byte-order mark is always ANSI, whatever its bytes look like: scripts carry
// their encoding in their mark, never in guesses.
#include "sqlexec/script_file_reader.h"

#include <cstring>

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
    const bool readOk = ReadAllBytes();
    Close();  // a failed close is recorded but does not undo a good read
    if (!readOk || bytes_.empty()) {
        error_ = L"Can't read file " + fileName_;
        return false;
    }
    const size_t markLength = DetectEncoding();
    encoder_->Decode(bytes_.data() + markLength, bytes_.size() - markLength, text);
    return true;
}

bool ScriptFileReader::ReadAllBytes()
{
    bytes_.clear();
    if (!file_)
        return false;
    // The size found by seeking sizes the buffer; reading on to the end also copes with files
    // whose size cannot be found that way or changes while we read.
    long size = -1;
    if (std::fseek(file_, 0, SEEK_END) == 0)
        size = std::ftell(file_);
    std::rewind(file_);
    bytes_.resize(size > 0 ? static_cast<size_t>(size) : 0);
    size_t count = std::fread(bytes_.data(), 1, bytes_.size(), file_);
    while (!std::ferror(file_) && !std::feof(file_)) {
        bytes_.resize(count + 64 * 1024);
        const size_t got = std::fread(bytes_.data() + count, 1, bytes_.size() - count, file_);
        count += got;
        if (got == 0)
            break;
    }
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
