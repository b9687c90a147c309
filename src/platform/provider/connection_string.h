// OLE DB connection strings: "key=value;key=value", keys without regard to
// case, a value may be quoted with " or ' when it holds a ';'.
#pragma once

#include <map>
#include <string>

namespace provider {

class ConnectionString {
public:
    explicit ConnectionString(const std::wstring& text);

    // The value of a key; empty when absent.
    std::wstring Get(const std::wstring& key) const;
    bool Has(const std::wstring& key) const;

private:
    std::map<std::wstring, std::wstring> values_;  // by lower-case key
};

// Checks the provider name and the workgroup file of a connection string and
// returns the database path. Raises ComError with ADO's or the provider's
// description when the provider is unknown or the workgroup file missing.
std::wstring CheckedDataSource(const ConnectionString& cs);

}  // namespace provider
