// Connection settings.
#include "database/connection_settings.h"

void ConnectionSettings::Assign(const std::wstring& newPath, const std::wstring& newSystemDatabase,
                                const std::wstring& newDatabasePassword,
                                const std::wstring& newUserName,
                                const std::wstring& newUserPassword)
{
    path = newPath;
    systemDatabase = newSystemDatabase;
    databasePassword = newDatabasePassword;
    userName = newUserName;
    userPassword = newUserPassword;
}
