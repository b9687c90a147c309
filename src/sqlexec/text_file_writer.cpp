// Text files of the script writer, the reports and the script editor.
#include "sqlexec/text_file_writer.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/automation/wide_text.h"
#include "platform/files/replacement_file.h"

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
    replacement_ = std::make_unique<files::ReplacementFile>(automation::ToUtf8(fileName_));
    file_ = replacement_->Open();
    if (!file_) {
        reason_ = automation::FromUtf8(replacement_->ErrorText());
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
    replacement_->Discard();
}

bool TextFileWriter::Close()
{
    if (!file_)
        return true;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0) {
        reason_ = automation::FromUtf8(std::strerror(errno));
        Fail(L"Can't write file");
    }
    if (hasError_) {
        replacement_->Discard();
        return false;
    }
    if (!replacement_->Commit()) {
        reason_ = automation::FromUtf8(replacement_->ErrorText());
        Fail(L"Can't write file: " + reason_);
        return false;
    }
    return true;
}
