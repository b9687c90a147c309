// Text files of the script writer, the reports and the script editor.
#include "sqlexec/text_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include "platform/automation/wide_text.h"

namespace {

std::unique_ptr<ITextEncoder> MakeEncoder(int encoding)
{
    switch (encoding) {
        case TextFileWriter::kAnsi:
            return std::make_unique<TextEncoderASCII>();
        case TextFileWriter::kUtf8:
            return std::make_unique<TextEncoderUTF8>();
        case TextFileWriter::kUtf16:
            return std::make_unique<TextEncoderUTF16>();
        default:
            throw std::invalid_argument("text file encoding must be 1, 2 or 3, not " +
                                        std::to_string(encoding));
    }
}

// Opens a new, unique file beside `target` for writing. Takes the target's permissions
// when it exists, else the usual ones for a new file (0666 less the umask).
std::FILE* CreateSibling(const std::string& target, std::string& tempName)
{
    static std::atomic<unsigned> counter{0};
    mode_t mode = 0666;
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        // A device or a pipe cannot be replaced: write to it directly.
        tempName.clear();
        return std::fopen(target.c_str(), "wb");
    }
    if (exists)
        mode = existing.st_mode & 07777;
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName =
            target + ".~" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
        const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        if (exists)
            ::fchmod(fd, mode);
        std::FILE* file = ::fdopen(fd, "wb");
        if (!file) {
            ::close(fd);
            ::unlink(tempName.c_str());
        }
        return file;
    }
    return nullptr;
}

}  // namespace

TextFileWriter::TextFileWriter(std::wstring fileName) : TextFileWriter(std::move(fileName), kAnsi)
{
}

TextFileWriter::TextFileWriter(std::wstring fileName, int encoding)
    : ownedEncoder_(MakeEncoder(encoding)),
      encoder_(ownedEncoder_.get()),
      fileName_(std::move(fileName))
{
}

TextFileWriter::TextFileWriter(std::wstring fileName, ITextEncoder* encoder)
    : encoder_(encoder), fileName_(std::move(fileName))
{
    if (!encoder_)
        throw std::invalid_argument("a text file needs an encoder");
}

TextFileWriter::~TextFileWriter()
{
    Close();
}

void TextFileWriter::Fail(std::wstring text)
{
    hasError_ = true;
    error_ = std::move(text);
}

bool TextFileWriter::Open()
{
    if (file_)
        Close();
    file_ = CreateSibling(automation::ToUtf8(fileName_), tempName_);
    if (!file_) {
        Fail(L"Can't create file.");
        return false;
    }
    size_t length = 0;
    const std::uint8_t* mark = encoder_->GetPreamble(length);
    if (length > 0 && std::fwrite(mark, 1, length, file_) != length) {
        Fail(L"Can't write file");
        return false;
    }
    return true;
}

bool TextFileWriter::Write(std::wstring_view text)
{
    if (!file_) {
        Fail(L"Can't write file");
        return false;
    }
    if (text.empty())
        return true;
    size_t length = 0;
    const std::uint8_t* bytes = nullptr;
    try {
        bytes = encoder_->Encode(text, length);
    } catch (const TextEncodeError& error) {
        Fail(L"Can't write file: " + automation::FromUtf8(error.what()));
        return false;
    }
    if (std::fwrite(bytes, 1, length, file_) != length) {
        Fail(L"Can't write file");
        return false;
    }
    return true;
}

void TextFileWriter::Discard()
{
    if (!file_)
        return;
    std::fclose(file_);
    file_ = nullptr;
    if (!tempName_.empty())
        ::unlink(tempName_.c_str());
}

bool TextFileWriter::Close()
{
    if (!file_)
        return true;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0)
        Fail(L"Can't write file");
    if (tempName_.empty())
        return !hasError_;
    if (hasError_) {
        ::unlink(tempName_.c_str());
        return false;
    }
    if (std::rename(tempName_.c_str(), automation::ToUtf8(fileName_).c_str()) != 0) {
        ::unlink(tempName_.c_str());
        Fail(L"Can't write file");
        return false;
    }
    return true;
}
