// Parsing connection strings and checking what they name.
#include "platform/provider/connection_string.h"

#include <unistd.h>

#include <cwctype>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/ado.h"

namespace provider {

namespace {

std::wstring Lower(std::wstring s)
{
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    return s;
}

std::wstring Trim(const std::wstring& s)
{
    size_t b = s.find_first_not_of(L" \t\r\n");
    if (b == std::wstring::npos)
        return {};
    size_t e = s.find_last_not_of(L" \t\r\n");
    return s.substr(b, e - b + 1);
}

}  // namespace

ConnectionString::ConnectionString(const std::wstring& text)
{
    size_t p = 0;
    while (p < text.size()) {
        size_t eq = text.find(L'=', p);
        if (eq == std::wstring::npos)
            break;
        std::wstring key = Lower(Trim(text.substr(p, eq - p)));
        size_t v = eq + 1;
        while (v < text.size() && (text[v] == L' ' || text[v] == L'\t'))
            ++v;
        std::wstring value;
        if (v < text.size() && (text[v] == L'"' || text[v] == L'\'')) {
            wchar_t quote = text[v];
            size_t close = text.find(quote, v + 1);
            if (close == std::wstring::npos)
                close = text.size();
            value = text.substr(v + 1, close - v - 1);
            p = text.find(L';', close);
            p = p == std::wstring::npos ? text.size() : p + 1;
        } else {
            // Values go in unquoted and unescaped; only ';' ends them. Blanks
            // are kept as they are (a path may end in blanks).
            size_t end = text.find(L';', eq + 1);
            if (end == std::wstring::npos)
                end = text.size();
            value = text.substr(eq + 1, end - eq - 1);
            size_t first = value.find_first_not_of(L" \t");
            value = first == std::wstring::npos ? std::wstring() : value.substr(first);
            p = end + 1;
        }
        if (!key.empty())
            values_[key] = value;
    }
}

std::wstring ConnectionString::Get(const std::wstring& key) const
{
    auto it = values_.find(Lower(key));
    return it == values_.end() ? std::wstring() : it->second;
}

bool ConnectionString::Has(const std::wstring& key) const
{
    return values_.count(Lower(key)) != 0;
}

std::wstring CheckedDataSource(const ConnectionString& cs)
{
    std::wstring provider = Lower(Trim(cs.Get(L"Provider")));
    if (provider.rfind(L"microsoft.jet.oledb.", 0) != 0 &&
        provider.rfind(L"microsoft.ace.oledb.", 0) != 0)
        throw automation::ComError(adodb::adErrProviderNotFound,
                                   L"Provider cannot be found. It may not be properly installed.");
    std::wstring system = cs.Get(L"Jet OLEDB:System database");
    if (!system.empty() && access(automation::ToUtf8(system).c_str(), R_OK) != 0)
        throw automation::ComError(automation::E_FAIL,
                                   L"Cannot start your application. The workgroup information "
                                   L"file is missing or opened exclusively by another user ('" +
                                       system + L"').");
    std::wstring path = cs.Get(L"Data Source");
    // A path typed with blanks after it names the file without them.
    std::wstring trimmed = Trim(path);
    if (trimmed != path && access(automation::ToUtf8(path).c_str(), F_OK) != 0)
        path = trimmed;
    if (path.empty())
        throw automation::ComError(automation::E_FAIL,
                                   L"The connection string names no database (Data Source).");
    return path;
}

}  // namespace provider
