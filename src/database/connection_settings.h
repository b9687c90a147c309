// The five settings that open one Access database. A plain value: pages and
// command lines fill it, connections and the schema reader only read it.
#pragma once

#include <string>

class ConnectionSettings {
public:
    ConnectionSettings() = default;

    // Overwrites all five, in this order.
    void Assign(const std::wstring& path, const std::wstring& systemDatabase,
                const std::wstring& databasePassword, const std::wstring& userName,
                const std::wstring& userPassword);

    std::wstring path;            // the .mdb or .accdb file
    std::wstring systemDatabase;  // the workgroup information file (.mdw)
    std::wstring databasePassword;
    std::wstring userName;
    std::wstring userPassword;
};
