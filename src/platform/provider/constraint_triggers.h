// The rules SQLite's schema cannot hold for an Access table, kept as
// triggers: foreign keys (with their cascades), CHECK constraints, column
// validation rules and "allow zero length". Each trigger raises the text
// Access gives, and a raise aborts the whole statement, so a refused change
// leaves every row as it was. Trigger names are "table.name.purpose.event";
// the triggers on a table travel with it through a rebuild.
#pragma once

#include <string>

#include "platform/provider/catalog.h"

struct sqlite3;

namespace provider {

class ConstraintTriggers {
public:
    ConstraintTriggers(sqlite3* db, const Catalog& catalog) : db_(db), catalog_(catalog) {}

    // An enforced foreign key of `child` referencing `parent` (its members'
    // related columns filled in); fails when present rows break it.
    void AddForeignKey(const TableInfo& child, const TableInfo& parent, const KeyInfo& key);
    void DropForeignKey(const std::wstring& child, const std::wstring& key);

    // A condition every row must meet (a CHECK clause, or a column's
    // validation rule when `column` is given); fails when present rows break it.
    void AddCondition(const TableInfo& table, const std::wstring& name,
                      const std::wstring& condition, const std::wstring& column,
                      const std::wstring& message);
    void DropCondition(const std::wstring& table, const std::wstring& name);

    // Refuses empty texts in `column` (fails when present rows hold one).
    void DenyZeroLength(const TableInfo& table, const std::wstring& column);
    void AllowZeroLength(const std::wstring& table, const std::wstring& column);

private:
    void Drop(const std::wstring& table, const std::wstring& name, const char* purpose);

    sqlite3* db_;
    const Catalog& catalog_;
};

// The texts Access gives for a value that breaks a column's validation rule
// or a table's CHECK constraint.
std::wstring RuleViolationText(const std::wstring& table, const ColumnInfo& column);
std::wstring CheckViolationText(const TableInfo& table, const KeyInfo& check);

}  // namespace provider
