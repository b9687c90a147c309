#include "corvina/message_text.h"

namespace {

constexpr const wchar_t* kBlanks = L" \t\r\n";

std::wstring Trimmed(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::wstring::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

std::wstring MessageBoxText(const std::wstring& text, const std::wstring& caption)
{
    std::wstring shown = Trimmed(text);
    const std::wstring repeated = caption + L": ";
    // A text that layers add to on its way up can carry the caption more than once.
    while (!caption.empty() && shown.size() > repeated.size() && shown.rfind(repeated, 0) == 0)
        shown = Trimmed(shown.substr(repeated.size()));
    return shown;
}
