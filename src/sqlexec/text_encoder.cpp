// The three file encodings. Code page 1252 is tabled here from its public definition; UTF-8 and
// UTF-16 go through the automation layer's conversions.
#include "sqlexec/text_encoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/automation/wide_text.h"

namespace {

// Code page 1252 bytes 0x80-0x9F. The unassigned bytes map to the C1 control of equal value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// The byte for a character, or -1 when code page 1252 has none.
int Cp1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] == c)
            return 0x80 + i;
    }
    return -1;
}

std::string DescribeUnencodable(char32_t c)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return std::string("the character ") + code +
           " cannot be written in the ANSI encoding (Windows-1252)";
}

constexpr std::uint8_t kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16Mark[] = {0xFF, 0xFE};

}  // namespace

TextEncodeError::TextEncodeError(char32_t character, size_t position)
    : std::runtime_error(DescribeUnencodable(character)), character_(character), position_(position)
{
}

ITextEncoder::~ITextEncoder() = default;

std::uint8_t* ITextEncoder::EnsureBuffer(size_t size)
{
    if (!buffer_ || bufferSize_ < size) {
        buffer_.reset();  // free first: the old and the new buffer are never held together
        buffer_.reset(new std::uint8_t[size]);
        bufferSize_ = size;
    }
    return buffer_.get();
}

const std::uint8_t* TextEncoderASCII::GetPreamble(size_t& length) const
{
    length = 0;
    return nullptr;
}

const std::uint8_t* TextEncoderASCII::Encode(std::wstring_view text, size_t& length)
{
    length = 0;
    std::uint8_t* out = EnsureBuffer(2 * text.size() + 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const int byte = Cp1252Byte(static_cast<char32_t>(text[i]));
        if (byte < 0)
            throw TextEncodeError(static_cast<char32_t>(text[i]), i);
        out[i] = static_cast<std::uint8_t>(byte);
    }
    length = text.size();
    return out;
}

void TextEncoderASCII::Decode(const std::uint8_t* bytes, size_t length, std::wstring& text)
{
    text.resize(length);
    for (size_t i = 0; i < length; ++i) {
        const std::uint8_t b = bytes[i];
        text[i] = (b >= 0x80 && b < 0xA0) ? static_cast<wchar_t>(kCp1252High[b - 0x80])
                                          : static_cast<wchar_t>(b);
    }
}

const std::uint8_t* TextEncoderUTF8::GetPreamble(size_t& length) const
{
    length = sizeof kUtf8Mark;
    return kUtf8Mark;
}

const std::uint8_t* TextEncoderUTF8::Encode(std::wstring_view text, size_t& length)
{
    const std::string utf8 = automation::ToUtf8(text);
    std::uint8_t* out = EnsureBuffer(std::max(2 * text.size() + 2, utf8.size()));
    std::memcpy(out, utf8.data(), utf8.size());
    length = utf8.size();
    return out;
}

void TextEncoderUTF8::Decode(const std::uint8_t* bytes, size_t length, std::wstring& text)
{
    text = automation::FromUtf8(std::string_view(reinterpret_cast<const char*>(bytes), length));
}

const std::uint8_t* TextEncoderUTF16::GetPreamble(size_t& length) const
{
    length = sizeof kUtf16Mark;
    return kUtf16Mark;
}

const std::uint8_t* TextEncoderUTF16::Encode(std::wstring_view text, size_t& length)
{
    const std::u16string units = automation::ToUtf16(text);
    std::uint8_t* out = EnsureBuffer(2 * units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        out[2 * i] = static_cast<std::uint8_t>(units[i] & 0xFF);
        out[2 * i + 1] = static_cast<std::uint8_t>(units[i] >> 8);
    }
    length = 2 * units.size();
    return out;
}

void TextEncoderUTF16::Decode(const std::uint8_t* bytes, size_t length, std::wstring& text)
{
    // An odd last byte is not part of any code unit and is dropped.
    std::u16string units(length / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    text = automation::FromUtf16(units);
}
