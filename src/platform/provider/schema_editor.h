// Data definition on the native store: each statement changes SQLite's
// schema and the catalog tables together (inside the caller's transaction),
// so a failure leaves neither changed.
#pragma once

#include <memory>
#include <vector>

#include "platform/provider/catalog.h"
#include "platform/provider/sql/ast.h"

struct sqlite3;

namespace provider {

class SchemaEditor {
public:
    SchemaEditor(sqlite3* db, const Catalog& catalog) : db_(db), catalog_(catalog) {}

    // Returns the column kept as the rowid, or -1.
    int CreateTable(const sql::CreateTable& create);
    void DropTable(const sql::DropTable& drop);
    void CreateIndex(const sql::CreateIndex& create);
    void DropIndex(const sql::DropIndex& drop);
    void AlterTable(const sql::AlterTable& alter);
    void CreateView(const sql::CreateView& create);
    // `prefix` is the statement's "PARAMETERS ...;" part, if any.
    void CreateProcedure(const sql::CreateProcedure& create,
                         const std::vector<sql::ParameterDecl>& prefix);
    // DROP VIEW / DROP PROCEDURE; `kind` is VIEW or PROCEDURE.
    void DropQuery(const std::wstring& name, const wchar_t* kind);
    // A stored query as ADOX appends one: its text kept as given.
    void AddQuery(const std::wstring& name, const wchar_t* kind, const std::wstring& text);
    // A named constraint (any kind) added to an existing table.
    void AddConstraint(const std::wstring& table, const sql::Constraint& constraint);
    // A foreign key as DAO appends a relation (it may be "not enforced").
    void AddRelation(const std::wstring& table, const KeyInfo& key);
    void DropConstraint(const std::wstring& table, const std::wstring& name);
    // Column rules that ADOX sets through column properties.
    void SetValidationRule(const std::wstring& table, const std::wstring& column,
                           const std::wstring& rule);
    void SetValidationText(const std::wstring& table, const std::wstring& column,
                           const std::wstring& text);
    void SetAllowZeroLength(const std::wstring& table, const std::wstring& column, bool allow);
    void SetDescription(const std::wstring& table, const std::wstring& column,
                        const std::wstring& text);
    // A linked table (LINK or PASS-THROUGH) as ADOX appends one.
    void AddLink(const TableInfo& link);

    // Marks the catalog changed, so every connection re-reads it.
    void BumpCatalogVersion();

private:
    void AddIndex(const TableInfo& table, const IndexInfo& index, const wchar_t* kind);
    // SQLite's side of an index: the index itself and the triggers that refuse Nulls.
    void StoreIndex(const TableInfo& table, const IndexInfo& index);
    void AddIndexRows(const TableInfo& table, const IndexInfo& index);
    void AddKey(const std::wstring& table, const IndexInfo& index, int type);
    void RemoveIndex(const TableInfo& table, const IndexInfo& index);
    void CheckName(const std::wstring& name, const wchar_t* what) const;
    void AddTableRow(const TableInfo& table);
    void AddColumnRow(const std::wstring& table, const ColumnInfo& column, int64_t ordinal);
    void AddKeyRows(const std::wstring& table, const KeyInfo& key);
    void AddConstraintTo(const TableInfo& table, const sql::Constraint& constraint);
    void AddColumn(const TableInfo& table, const sql::ColumnDef& def);
    void DropColumn(const TableInfo& table, const std::wstring& column);
    void AlterColumn(const TableInfo& table, const sql::ColumnDef& def);
    // Makes the table anew with `columns`, each filled from the SQL in
    // `sources` (over the old table), keeping rowids, indexes and triggers.
    // A key kept as the rowid stays so while its field is still a Long; when
    // `dropRowidKey`, or when it is not, the table is made without it (and a
    // primary key that stands gets an index of its own).
    void Rebuild(const TableInfo& table, const std::vector<ColumnInfo>& columns,
                 const std::vector<std::string>& sources, bool dropRowidKey = false);
    const TableInfo& RequireTable(const std::wstring& name) const;
    const ColumnInfo& RequireColumn(const TableInfo& table, const std::wstring& column) const;
    // The catalog as this statement has changed it so far.
    const Catalog& Fresh();
    const Catalog& Current() const;

    std::vector<std::unique_ptr<Catalog>> fresh_;

    sqlite3* db_;
    const Catalog& catalog_;
};

// The catalog type of a declared column type, checked as Access checks it.
ColumnType ColumnTypeFrom(const sql::DataType& declared, const std::wstring& column);

}  // namespace provider
