// Reads the catalog of one database into the schema model: tables with their columns, indexes
// and keys through ADOX, linked and pass-through tables, check constraints and the column order
// through schema rowsets, stored views and procedures, and the relations through DAO.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "database/connection_settings.h"
#include "database/database_schema.h"
#include "database/db_connection.h"

class IProgress;

namespace automation {
class ComError;
}
namespace provider::adodb {
class Connection;
}
namespace provider::adox {
class Catalog;
class Table;
}  // namespace provider::adox

// Constraint name -> check clause, names matched exactly (case-sensitive).
using CheckClauseMap = std::map<std::wstring, std::wstring>;

class SchemaReader {
public:
    // The settings are read at Read time and never changed; they must outlive the reader.
    explicit SchemaReader(const ConnectionSettings* settings);
    ~SchemaReader();

    SchemaReader(const SchemaReader&) = delete;
    SchemaReader& operator=(const SchemaReader&) = delete;

    // The whole catalog, or null with the error flag set. Throws nothing.
    std::unique_ptr<DatabaseSchema> Read(IProgress& progress);

    bool HasError() const { return error_; }
    const std::wstring& ErrorText() const { return errorText_; }

    void SetComError(const automation::ComError& error);
    void SetError(const std::wstring& text);
    void AppendError(const std::wstring& text);

private:
    using ConnectionPtr = std::shared_ptr<provider::adodb::Connection>;
    using CatalogPtr = std::shared_ptr<provider::adox::Catalog>;

    void ReadTables(const CatalogPtr& catalog, DatabaseSchema& schema, IProgress& progress);
    void ReadTable(const provider::adox::Table& table, DatabaseSchema& schema);
    void ReadCheckConstraints(const ConnectionPtr& connection, DatabaseSchema& schema);
    void ReadColumnOrder(const ConnectionPtr& connection, DatabaseSchema& schema);
    void ReadQueries(const CatalogPtr& catalog, DatabaseSchema& schema, IProgress& progress);
    void ReadRelations(DatabaseSchema& schema);
    static void ResolveRelatedTables(DatabaseSchema& schema);

    const ConnectionSettings* settings_;
    bool error_ = false;
    std::wstring errorText_;
    DbConnection daoConnection_;  // only for the relations, through DAO
};
