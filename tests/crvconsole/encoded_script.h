// Script files in the three file encodings, made from Latin-1 text (each ANSI byte is then also
// its character's code point), for the tests of both roads.
#pragma once

#include <string>

namespace testsupport {

enum class ScriptEncoding { Ansi, Utf8, Utf16 };

// The bytes of a script file holding `latin1` in `encoding`, with its byte-order mark.
inline std::string EncodeScript(const std::string& latin1, ScriptEncoding encoding)
{
    if (encoding == ScriptEncoding::Ansi)
        return latin1;
    std::string bytes = encoding == ScriptEncoding::Utf8 ? "\xEF\xBB\xBF" : "\xFF\xFE";
    for (const char c : latin1) {
        const auto code = static_cast<unsigned char>(c);
        if (encoding == ScriptEncoding::Utf16) {
            bytes += c;
            bytes += '\0';
        } else if (code < 0x80) {
            bytes += c;
        } else {
            bytes += static_cast<char>(0xC0 | (code >> 6));
            bytes += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

}  // namespace testsupport
