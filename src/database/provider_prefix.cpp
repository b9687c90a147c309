// Provider selection by the database path.
#include "database/provider_prefix.h"

#include <cwctype>

#include "platform/provider/connection_string.h"

std::wstring build_connection_string(const std::wstring& path, bool* aceOut)
{
    std::wstring copy = path;
    while (!copy.empty() && (copy.back() == L' ' || copy.back() == L'\t' || copy.back() == L'\r' ||
                             copy.back() == L'\n'))
        copy.pop_back();
    for (wchar_t& c : copy)
        c = static_cast<wchar_t>(std::towlower(c));
    size_t at = copy.rfind(L".accdb");
    bool ace = at != std::wstring::npos && at + 6 == copy.size();
    if (aceOut)
        *aceOut = ace;
    return (ace ? L"Provider=Microsoft.ACE.OLEDB.12.0;Data Source="
                : L"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") +
           provider::QuoteConnectionValue(path);
}

ProviderPrefix::ProviderPrefix(const std::wstring& path)
    : text_(build_connection_string(path, &ace_))
{
}

std::wstring CreationString(const std::wstring& path)
{
    return ProviderPrefix(path).Text();
}
