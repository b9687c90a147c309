#include "htmlui/markup_text.h"

#include "platform/automation/wide_text.h"
#include "platform/html/element.h"

namespace htmlui {

void AppendName(std::string& out, const std::wstring& text)
{
    std::wstring joined;
    joined.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            joined += wchar_t(0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            joined += c;
        }
    }
    html::AppendEscaped(out, automation::ToUtf8(joined), true);
}

}  // namespace htmlui
