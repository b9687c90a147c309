// One database that a component works on, opened one way at a time: as an
// ADO connection (reading rows, running statements), as an ADOX catalog
// (schema changes) or as a DAO database (relations). Asking for another way
// closes the current one first; asking for the current one returns the open
// object.
#pragma once

#include <string>

#include "database/connection_settings.h"
#include "database/db_open_exception.h"
#include "platform/automation/com_error.h"
#include "platform/automation/object.h"

namespace provider::adodb {
class Connection;
}
namespace provider::adox {
class Catalog;
}
namespace provider::dao {
class DBEngine;
class Database;
}  // namespace provider::dao

// The layer's text for a COM failure: "\r\nError: " and the description, or
// nothing when the error has no description.
std::wstring FormatComError(const automation::ComError& error);

class DbConnection {
public:
    // The two programs open databases differently: the comparison holds its
    // databases exclusively, the script runner shares them.
    enum class Program { Comparison, ScriptRunner };
    static void SetProgram(Program program);
    static Program CurrentProgram();

    explicit DbConnection(const ConnectionSettings* settings);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Opens (or keeps open) the ADO connection. Throws DbOpenException.
    const automation::Ptr<provider::adodb::Connection>& Open();
    // Binds a new ADOX catalog to the database; COM errors pass unchanged.
    const automation::Ptr<provider::adox::Catalog>& OpenCatalog();
    // Opens (or keeps open) the database through DAO, trying the engine
    // versions newest first. Throws DbOpenException.
    const automation::Ptr<provider::dao::Database>& OpenDatabaseDao();
    // Closes whatever is open; the state is closed even when closing fails.
    void Close();

    int State() const { return state_; }
    const std::wstring& ConnectionStringText() const { return connectionString_; }

    // The connection string of a settings object: provider prefix, then each
    // non-empty password, workgroup file and user, in that order.
    static std::wstring BuildConnectionString(const ConnectionSettings& settings);

private:
    const ConnectionSettings* settings_;
    std::wstring connectionString_;
    int state_ = 0;  // 0 closed, 1 ADO connection, 2 DAO database, 3 ADOX catalog
    bool adoCreated_ = false;
    bool daoCreated_ = false;
    automation::Ptr<provider::adodb::Connection> connection_;
    automation::Ptr<provider::dao::DBEngine> daoEngine_;
    automation::Ptr<provider::dao::Database> daoDatabase_;
    automation::Ptr<provider::adox::Catalog> catalog_;
};
