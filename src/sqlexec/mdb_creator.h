// Creates an empty database file for the script runner's "Create MDB" command and its "/c"
// switch.
#pragma once

#include <string>

#include "database/connection_settings.h"

namespace SQLExecutor {

class MdbCreator {
public:
    // The settings stay the caller's; only their database path is used.
    explicit MdbCreator(const ConnectionSettings& settings) : settings_(settings) {}
    virtual ~MdbCreator() = default;

    // Creates the file named by the settings' path; fails when it exists.
    bool Create();

    // "\r\nError: " and the provider's description after a failed creation.
    const std::wstring& GetError() const { return error_; }
    bool HasError() const { return hasError_; }

private:
    const ConnectionSettings& settings_;
    bool hasError_ = false;
    std::wstring error_;
};

}  // namespace SQLExecutor
