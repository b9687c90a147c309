// Conversions between our wide strings and UTF-8 / UTF-16 at the edges.
#pragma once

#include <string>
#include <string_view>

namespace automation {

// UTF-8 from a wide string; characters that are not Unicode scalar values
// (lone surrogates, beyond 0x10FFFF) become U+FFFD.
std::string ToUtf8(std::wstring_view text);

// A wide string from UTF-8; malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);

// The offset of the first sequence FromUtf8 would replace (an overlong form, a surrogate,
// a code point beyond U+10FFFF, a truncated sequence), or npos when there is none.
size_t FirstInvalidUtf8(std::string_view text);
// True when FromUtf8 replaces nothing. Such text sorts bytewise in the code-point order
// of its wide string.
bool IsWellFormedUtf8(std::string_view text);

// UTF-16 code units from a wide string (characters above 0xFFFF as surrogate pairs).
std::u16string ToUtf16(std::wstring_view text);

// A wide string from UTF-16 code units, surrogate pairs combined; a lone
// surrogate becomes U+FFFD.
std::wstring FromUtf16(std::u16string_view text);

}  // namespace automation
