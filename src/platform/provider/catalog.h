// The native store's own catalog: what Access keeps about tables beyond
// SQLite's schema (types, sizes, counters, defaults, index names per table),
// read into memory once per schema version. Tables of the file:
//   "crv.properties"    database-wide settings (format, password hash)
//   "crv.tables"        one row per table with its kind, flags and link source
//   "crv.columns"       columns in ordinal order with their Access types
//   "crv.indexes"       indexes by their per-table Access names
//   "crv.index_columns" index members in order
//   "crv.keys", "crv.key_columns"   primary, unique and foreign keys
//   "crv.queries"       stored views and procedures
// Access names cannot contain '.', so these never clash with user tables.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/provider/access_type.h"

struct sqlite3;

namespace provider {

struct ColumnInfo {
    std::wstring name;
    ColumnType type;
    bool notNull = false;
    std::wstring defaultText;  // the DEFAULT expression as written; empty when none
    int64_t seed = 1;          // counters
    int64_t increment = 1;
    bool allowZeroLength = true;
    bool compressed = false;  // WITH COMPRESSION (kept for the catalog; storage is UTF-8)
};

struct IndexColumnInfo {
    std::wstring name;
    bool descending = false;
};

struct IndexInfo {
    std::wstring name;
    bool primary = false;
    bool unique = false;
    bool ignoreNulls = false;
    bool disallowNull = false;
    std::vector<IndexColumnInfo> columns;
};

struct TableInfo {
    std::wstring name;
    std::vector<ColumnInfo> columns;
    std::vector<IndexInfo> indexes;

    // Case-insensitive lookups, as Access matches names; -1 / null when absent.
    int FindColumn(const std::wstring& column) const;
    const IndexInfo* FindIndex(const std::wstring& index) const;
    int CounterColumn() const;
};

class Catalog {
public:
    // Creates the catalog tables in an empty store.
    static void CreateSchema(sqlite3* db);

    // Reads the whole catalog (tables, columns, indexes).
    void Load(sqlite3* db);
    const TableInfo* FindTable(const std::wstring& name) const;
    std::vector<const TableInfo*> Tables() const;

    static std::wstring Fold(const std::wstring& name);

private:
    std::map<std::wstring, std::unique_ptr<TableInfo>> tables_;  // by folded name
    std::vector<const TableInfo*> order_;                        // creation order
};

// The SQLite name of an index: "table.index" (Access index names are per table).
std::wstring SqliteIndexName(const std::wstring& table, const std::wstring& index);

}  // namespace provider
