// OLE DB connection strings: "key=value;key=value", keys without regard to
// case. A value that holds a ';' or a quote, or starts or ends with a blank, is
// enclosed in " or ', a quote like the enclosing one doubled inside.
#pragma once

#include <map>
#include <string>

namespace provider {

class ConnectionString {
public:
    // Raises ComError when a quoted value is not closed or is followed by more
    // than blanks before its ';'.
    explicit ConnectionString(const std::wstring& text);

    // The value of a key; empty when absent.
    std::wstring Get(const std::wstring& key) const;
    bool Has(const std::wstring& key) const;

private:
    std::map<std::wstring, std::wstring> values_;  // by lower-case key
};

// `value` as it is written into a connection string so that it reads back
// exactly: unchanged when it can be, else quoted.
std::wstring QuoteConnectionValue(const std::wstring& value);

// Checks the provider name and the workgroup file of a connection string and
// returns the database path. Raises ComError with ADO's or the provider's
// description when the provider is unknown or the workgroup file missing.
// A path of an existing database given with blanks after it that name no file
// names the file without them; a file to be made (`existing` false) is made
// under the path exactly as given.
std::wstring CheckedDataSource(const ConnectionString& cs, bool existing = true);

}  // namespace provider
