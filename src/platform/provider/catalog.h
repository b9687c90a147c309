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
//   "crv.checks"        CHECK constraints with their clauses (made on first use)
// Access names cannot contain '.', so these never clash with user tables.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/provider/access_type.h"

struct sqlite3;

namespace provider {

// The "crv.columns" auto_increment value of a replication-ID AutoNumber.
constexpr int kAutoGenerateGuid = 2;

struct ColumnInfo {
    std::wstring name;
    ColumnType type;
    bool notNull = false;
    std::wstring defaultText;  // the DEFAULT expression as written; empty when none
    int64_t seed = 1;          // counters
    int64_t increment = 1;
    bool allowZeroLength = true;
    bool compressed = false;  // WITH COMPRESSION (kept for the catalog; storage is UTF-8)
    // A replication-ID AutoNumber of a genuine file (auto_increment 2 in the
    // catalog table): a new GUID for each row, not a counter.
    bool autoGenerate = false;
    std::wstring validationRule;
    std::wstring validationText;
    std::wstring description;
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

// Key types as ADOX numbers them; checks are the store's own kind.
enum KeyType { kPrimaryKey = 1, kForeignKey = 2, kUniqueKey = 3, kCheckKey = 4 };
// Referential rules as ADOX numbers them.
enum RuleType { kRuleNone = 0, kRuleCascade = 1, kRuleSetNull = 2 };

struct KeyColumnInfo {
    std::wstring name;
    std::wstring related;  // foreign keys: the referenced table's column
};

struct KeyInfo {
    std::wstring name;
    int type = kPrimaryKey;
    std::wstring relatedTable;
    int updateRule = kRuleNone;
    int deleteRule = kRuleNone;
    bool notEnforced = false;
    std::wstring checkClause;  // checks: the condition as written
    std::vector<KeyColumnInfo> columns;
};

struct TableInfo {
    std::wstring name;
    std::wstring kind = L"TABLE";  // TABLE, LINK or PASS-THROUGH
    bool hidden = false;
    std::wstring linkSource;    // links: the Access file
    std::wstring linkProvider;  // pass-through links: the ODBC connect text
    std::wstring remoteName;
    std::vector<ColumnInfo> columns;
    std::vector<IndexInfo> indexes;
    std::vector<KeyInfo> keys;
    // The column SQLite keeps as the table's rowid (a primary key of one ascending Long field
    // made with its table), or -1: such a key needs no index of its own beside the rows. It takes
    // no Null of itself, so every value stored into it passes `acc_key`.
    int rowidKey = -1;

    // Case-insensitive lookups, as Access matches names; -1 / null when absent.
    int FindColumn(const std::wstring& column) const;
    const IndexInfo* FindIndex(const std::wstring& index) const;
    int CounterColumn() const;
    const KeyInfo* FindKey(const std::wstring& key) const;
};

struct QueryInfo {
    std::wstring name;
    std::wstring kind;  // VIEW or PROCEDURE
    std::wstring text;  // procedures: with their "PARAMETERS ...;" prefix
};

class Catalog {
public:
    // Creates the catalog tables in an empty store.
    static void CreateSchema(sqlite3* db);

    // Reads the whole catalog (tables, columns, indexes).
    void Load(sqlite3* db);
    // Local tables only (the ones statements can read and change).
    const TableInfo* FindTable(const std::wstring& name) const;
    std::vector<const TableInfo*> Tables() const;
    // Linked tables, in creation order.
    const std::vector<std::unique_ptr<TableInfo>>& Links() const { return links_; }
    const TableInfo* FindLink(const std::wstring& name) const;
    // Stored views and procedures, in creation order.
    const std::vector<QueryInfo>& Queries() const { return queries_; }
    const QueryInfo* FindQuery(const std::wstring& name) const;
    // Foreign keys of other tables that reference `table`.
    std::vector<std::pair<const TableInfo*, const KeyInfo*>> ReferencesTo(
        const std::wstring& table) const;

    static std::wstring Fold(const std::wstring& name);

private:
    std::map<std::wstring, std::unique_ptr<TableInfo>> tables_;  // by folded name
    std::vector<const TableInfo*> order_;                        // creation order
    std::vector<std::unique_ptr<TableInfo>> links_;
    std::vector<QueryInfo> queries_;
};

// The text of the error raised when a Null reaches a field of a key that disallows it.
std::wstring NullKeyText(const std::wstring& table, const std::wstring& index);

// The SQLite name of an index: "table.index" (Access index names are per table).
std::wstring SqliteIndexName(const std::wstring& table, const std::wstring& index);

}  // namespace provider
