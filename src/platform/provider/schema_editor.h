// Data definition on the native store: each statement changes SQLite's
// schema and the catalog tables together (inside the caller's transaction),
// so a failure leaves neither changed.
#pragma once

#include "platform/provider/catalog.h"
#include "platform/provider/sql/ast.h"

struct sqlite3;

namespace provider {

class SchemaEditor {
public:
    SchemaEditor(sqlite3* db, const Catalog& catalog) : db_(db), catalog_(catalog) {}

    void CreateTable(const sql::CreateTable& create);
    void DropTable(const sql::DropTable& drop);
    void CreateIndex(const sql::CreateIndex& create);
    void DropIndex(const sql::DropIndex& drop);

    // Marks the catalog changed, so every connection re-reads it.
    void BumpCatalogVersion();

private:
    void AddIndex(const TableInfo& table, const IndexInfo& index, const wchar_t* kind);
    void AddKey(const std::wstring& table, const IndexInfo& index, int type);
    void RemoveIndex(const std::wstring& table, const std::wstring& index);

    sqlite3* db_;
    const Catalog& catalog_;
};

// The catalog type of a declared column type, checked as Access checks it.
ColumnType ColumnTypeFrom(const sql::DataType& declared, const std::wstring& column);

}  // namespace provider
