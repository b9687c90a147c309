// Loads a whole script file and decodes it with the encoding its byte-order mark names
// (UTF-8, UTF-16 LE, or ANSI when there is no mark).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sqlexec/text_encoder.h"

class ScriptFileReader {
public:
    explicit ScriptFileReader(std::wstring fileName);
    ScriptFileReader(const ScriptFileReader&) = delete;
    ScriptFileReader& operator=(const ScriptFileReader&) = delete;
    ~ScriptFileReader();

    // Opens the file for reading; false with "Can't open file <name>".
    bool Open();

    // Reads the whole file, closes it, picks the encoder from the byte-order mark and decodes
    // the rest into `text`. False with "Can't read file <name>" when the file is empty, is not a
    // regular file, does not fit in memory or cannot be read, and with "Can't read SQL script
    // file <name>: invalid ... at line L, byte offset B." when a file marked as UTF-8 or UTF-16
    // holds a sequence that is not valid in that encoding; `text` is then left as it was.
    bool Read(std::wstring& text);

    // Closes the file when still open; false with "Can't close file <name>".
    bool Close();

    // The detected encoder, handed over to the caller; null before a successful read or once
    // taken.
    std::unique_ptr<ITextEncoder> TakeEncoder();

    // The text of the last failure; empty when nothing failed.
    const std::wstring& GetError() const { return error_; }

private:
    // False when the file cannot be read; `reason` then says why, when more is known.
    bool ReadAllBytes(std::wstring& reason);
    size_t DetectEncoding();

    std::vector<std::uint8_t> bytes_;
    std::wstring fileName_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<ITextEncoder> encoder_;
    std::wstring error_;
};
