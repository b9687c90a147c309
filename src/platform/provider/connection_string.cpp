// Parsing connection strings and checking what they name.
#include "platform/provider/connection_string.h"

#include <sys/stat.h>
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
    auto malformed = [] {
        return automation::ComError(automation::E_FAIL,
                                    L"Format of the initialization string is not valid: a "
                                    L"quoted value must end with its quote, followed by ';' "
                                    L"or nothing.");
    };
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
            const wchar_t quote = text[v];
            size_t at = v + 1;
            while (true) {
                size_t close = text.find(quote, at);
                if (close == std::wstring::npos)
                    throw malformed();
                value.append(text, at, close - at);
                if (close + 1 < text.size() && text[close + 1] == quote) {
                    value += quote;  // a doubled quote stands for itself
                    at = close + 2;
                    continue;
                }
                at = close + 1;
                break;
            }
            while (at < text.size() && (text[at] == L' ' || text[at] == L'\t'))
                ++at;
            if (at < text.size() && text[at] != L';')
                throw malformed();
            p = at + 1;
        } else {
            // An unquoted value runs to the next ';'. Blanks after it are kept
            // as they are (a path may end in blanks).
            size_t end = text.find(L';', v);
            if (end == std::wstring::npos)
                end = text.size();
            value = text.substr(v, end - v);
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

std::wstring QuoteConnectionValue(const std::wstring& value)
{
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    const bool doubleQuote = value.find(L'"') != std::wstring::npos;
    const bool singleQuote = value.find(L'\'') != std::wstring::npos;
    if (!doubleQuote && !singleQuote && value.find(L';') == std::wstring::npos &&
        (value.empty() || (!blank(value.front()) && !blank(value.back()))))
        return value;
    if (doubleQuote && !singleQuote)
        return L"'" + value + L"'";
    std::wstring quoted = L"\"";
    for (wchar_t c : value) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    return quoted + L"\"";
}

std::wstring CheckedDataSource(const ConnectionString& cs, bool existing)
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
    struct stat st;
    if (!system.empty() && ::stat(automation::ToUtf8(system).c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        throw automation::ComError(automation::E_FAIL,
                                   L"Cannot start your application. The workgroup information "
                                   L"file '" +
                                       system + L"' is a folder, not a file.");
    std::wstring path = cs.Get(L"Data Source");
    // A path typed with blanks after it names the file without them.
    size_t last = path.find_last_not_of(L" \t\r\n");
    std::wstring trimmed = last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
    if (existing && trimmed != path && access(automation::ToUtf8(path).c_str(), F_OK) != 0)
        path = trimmed;
    if (path.empty())
        throw automation::ComError(automation::E_FAIL,
                                   L"The connection string names no database (Data Source).");
    return path;
}

}  // namespace provider
