// Copies the catalog and rows of a genuine Access file into an empty native
// store, with the store's own catalog tables: tables with their columns,
// indexes, primary keys, relations as foreign keys, linked tables and saved
// queries (select queries without parameters as views, the others as
// procedures). Engine tables stay out, as Access hides them.
#pragma once

#include <string>

struct sqlite3;

namespace provider {

namespace mdb {
class MdbDatabase;
}

class GenuineImport {
public:
    GenuineImport(const mdb::MdbDatabase& source, sqlite3* target) : source_(source), db_(target)
    {
    }

    // Runs the whole import inside one transaction of `target`.
    void Run();

private:
    void ImportTables();
    void ImportRelations();
    void ImportQueries();

    const mdb::MdbDatabase& source_;
    sqlite3* db_;
};

}  // namespace provider
