// Conversion between our wide strings and the bytes of script and report files, in the three
// file encodings: ANSI (Windows code page 1252, no mark), UTF-8 (EF BB BF) and UTF-16 LE (FF FE).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised by an encoder for a character its encoding cannot hold. The ANSI code page holds only
// 256 characters; writing anything else would silently change the user's data.
class TextEncodeError : public std::runtime_error {
public:
    TextEncodeError(char32_t character, size_t position);

    char32_t Character() const { return character_; }
    size_t Position() const { return position_; }

private:
    char32_t character_;
    size_t position_;
};

// An encoder owns one output buffer that every Encode call reuses: the bytes it returns stay
// valid until the next Encode on the same encoder or its destruction.
class ITextEncoder {
public:
    ITextEncoder() = default;
    ITextEncoder(const ITextEncoder&) = delete;
    ITextEncoder& operator=(const ITextEncoder&) = delete;
    virtual ~ITextEncoder();

    // The byte-order mark and its length; null and 0 when the encoding has none.
    virtual const std::uint8_t* GetPreamble(size_t& length) const = 0;

    // The encoded bytes of `text` (no terminator) and their count. Throws TextEncodeError for a
    // character the encoding cannot hold.
    virtual const std::uint8_t* Encode(std::wstring_view text, size_t& length) = 0;

    // Replaces `text` with the decoded bytes (without a byte-order mark). Never fails: bytes that
    // are not valid in the encoding decode to U+FFFD.
    virtual void Decode(const std::uint8_t* bytes, size_t length, std::wstring& text) = 0;

protected:
    // Keeps the buffer when it already holds `size` bytes, else replaces it by one of exactly
    // that size.
    std::uint8_t* EnsureBuffer(size_t size);
    size_t BufferSize() const { return bufferSize_; }

private:
    std::unique_ptr<std::uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
};

// ANSI text: Windows code page 1252 both ways. Its five unassigned bytes (81 8D 8F 90 9D) map to
// the C1 controls of the same value, as Windows does, so any byte file reads and writes back
// unchanged.
class TextEncoderASCII : public ITextEncoder {
public:
    const std::uint8_t* GetPreamble(size_t& length) const override;
    const std::uint8_t* Encode(std::wstring_view text, size_t& length) override;
    void Decode(const std::uint8_t* bytes, size_t length, std::wstring& text) override;
};

// UTF-8 with the mark EF BB BF.
class TextEncoderUTF8 : public ITextEncoder {
public:
    const std::uint8_t* GetPreamble(size_t& length) const override;
    const std::uint8_t* Encode(std::wstring_view text, size_t& length) override;
    void Decode(const std::uint8_t* bytes, size_t length, std::wstring& text) override;
};

// UTF-16 little-endian with the mark FF FE. Our wide characters are 32 bits: characters above
// U+FFFF become surrogate pairs in the file, and pairs in the file become one character.
class TextEncoderUTF16 : public ITextEncoder {
public:
    const std::uint8_t* GetPreamble(size_t& length) const override;
    const std::uint8_t* Encode(std::wstring_view text, size_t& length) override;
    void Decode(const std::uint8_t* bytes, size_t length, std::wstring& text) override;
};
