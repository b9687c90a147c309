#include "platform/automation/wide_text.h"

namespace automation {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalar(char32_t c)
{
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (!IsScalar(c))
        c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

std::string ToUtf8(std::wstring_view text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t ch : text)
        AppendUtf8(out, static_cast<char32_t>(ch));
    return out;
}

std::wstring FromUtf8(std::string_view text)
{
    // Each maximal ill-formed subpart becomes one U+FFFD, as the Unicode
    // standard recommends: a byte that cannot start or continue a sequence is
    // replaced alone, and a truncated sequence is replaced as a whole.
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out += static_cast<wchar_t>(b0);
            ++i;
            continue;
        }
        int length = 0;
        char32_t c = 0;
        unsigned char low = 0x80;  // the second byte's range depends on the lead
        unsigned char high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2, c = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3, c = b0 & 0x0F;
            if (b0 == 0xE0)
                low = 0xA0;  // no overlong forms
            if (b0 == 0xED)
                high = 0x9F;  // no surrogates
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4, c = b0 & 0x07;
            if (b0 == 0xF0)
                low = 0x90;
            if (b0 == 0xF4)
                high = 0x8F;  // nothing beyond U+10FFFF
        } else {
            out += static_cast<wchar_t>(kReplacement);
            ++i;
            continue;
        }
        int k = 1;
        for (; k < length && i + k < n; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80)
                break;
            c = (c << 6) | (b & 0x3F);
        }
        if (k < length) {
            out += static_cast<wchar_t>(kReplacement);
            i += k;  // resynchronise on the first byte that did not continue
            continue;
        }
        out += static_cast<wchar_t>(c);
        i += length;
    }
    return out;
}

size_t FirstInvalidUtf8(std::string_view text)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char b0 = p[i];
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range depends on the lead
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            length = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            length = 3;
            if (b0 == 0xE0)
                low = 0xA0;
            if (b0 == 0xED)
                high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            length = 4;
            if (b0 == 0xF0)
                low = 0x90;
            if (b0 == 0xF4)
                high = 0x8F;
        } else {
            return i;
        }
        if (n - i < length || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (size_t k = 2; k < length; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        i += length;
    }
    return std::string_view::npos;
}

bool IsWellFormedUtf8(std::string_view text)
{
    return FirstInvalidUtf8(text) == std::string_view::npos;
}

std::u16string ToUtf16(std::wstring_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (!IsScalar(c))
            c = kReplacement;
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (c >> 10));
            out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        }
    }
    return out;
}

std::wstring FromUtf16(std::u16string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            out += static_cast<wchar_t>(c);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += static_cast<wchar_t>(kReplacement);
        } else {
            out += static_cast<wchar_t>(u);
        }
    }
    return out;
}

}  // namespace automation
