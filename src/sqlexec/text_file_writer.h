// Creates a text file, puts its encoder's byte-order mark first and writes encoded text.
// The text goes to a temporary file beside the target, which replaces the target only when
// everything was written: a failed save never leaves the old file emptied or half-written. A
// symbolic link is saved through to its file; a file with several hard links keeps them.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/files/replacement_file.h"
#include "sqlexec/text_encoder.h"

class TextFileWriter {
public:
    // The encoding numbers of the second constructor.
    enum Encoding { kAnsi = 1, kUtf8 = 2, kUtf16 = 3 };

    // ANSI text.
    explicit TextFileWriter(std::wstring fileName);
    // 1 ANSI, 2 UTF-8, 3 UTF-16; any other number throws std::invalid_argument.
    TextFileWriter(std::wstring fileName, int encoding);
    // Writes through the caller's encoder, which the caller keeps owning and keeps alive; a null
    // encoder throws std::invalid_argument.
    TextFileWriter(std::wstring fileName, ITextEncoder* encoder);

    TextFileWriter(const TextFileWriter&) = delete;
    TextFileWriter& operator=(const TextFileWriter&) = delete;
    ~TextFileWriter();

    // Starts the file and writes the byte-order mark. False with "Can't create file." or
    // "Can't write file". An existing file stays untouched until a successful Close.
    bool Open();

    // Encodes `text` and writes all its bytes in one block. False, with the error flag set, when
    // the file is not open, the write fails ("Can't write file"), or the encoding cannot hold a
    // character ("Can't write file: the character U+.... cannot be written ..."); nothing of
    // that text is written then. An empty text writes nothing and succeeds.
    bool Write(std::wstring_view text);

    // Closes the file and, when nothing failed, puts it in place of the target. False when
    // anything failed: the target then keeps its old content (or stays absent).
    bool Close();

    // Drops what was written: the target keeps its old content (or stays absent).
    void Discard();

    // The error flag is never cleared once set.
    bool HasError() const { return hasError_; }
    const std::wstring& GetError() const { return error_; }
    // The system's words for a file that could not be created or put in place ("Permission
    // denied"); empty when the failure was another one.
    const std::wstring& GetReason() const { return reason_; }

private:
    void Fail(std::wstring text);

    std::unique_ptr<ITextEncoder> ownedEncoder_;
    ITextEncoder* encoder_;
    std::wstring fileName_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<files::ReplacementFile> replacement_;
    bool hasError_ = false;
    std::wstring error_;
    std::wstring reason_;
};
