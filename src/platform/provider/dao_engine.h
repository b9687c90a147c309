// DAO's DBEngine: opens databases of the native store. The workgroup
// settings are kept as DAO keeps them; the store has no user-level security,
// so only a missing workgroup file is an error.
#pragma once

#include <string>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"

namespace provider::dao {

class Database;

class DBEngine : public automation::Object {
public:
    const std::wstring& SystemDB() const { return systemDb_; }
    void SetSystemDB(const std::wstring& path) { systemDb_ = path; }
    const std::wstring& DefaultUser() const { return defaultUser_; }
    void SetDefaultUser(const std::wstring& user) { defaultUser_ = user; }
    const std::wstring& DefaultPassword() const { return defaultPassword_; }
    void SetDefaultPassword(const std::wstring& password) { defaultPassword_ = password; }

    // OpenDatabase(path, options, read-only, connect): options true opens
    // the file exclusively; connect may carry ";PWD=password". Arguments
    // left out are VT_EMPTY. Read-only opens refuse every change.
    automation::Ptr<Database> OpenDatabase(const std::wstring& path,
                                           const automation::Variant& options = {},
                                           const automation::Variant& readOnly = {},
                                           const automation::Variant& connect = {});

private:
    std::wstring systemDb_;
    std::wstring defaultUser_ = L"admin";
    std::wstring defaultPassword_;
};

}  // namespace provider::dao
