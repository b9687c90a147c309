// The in-memory picture of one database's catalog. The schema owns every table,
// linked table and stored query; tables own what lies below them, so destroying
// the schema frees the whole picture.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/linked_table.h"
#include "database/parameter_query.h"
#include "database/schema_query.h"
#include "database/schema_table.h"

class DatabaseSchema {
public:
    // name: the path of the database the schema is read from.
    explicit DatabaseSchema(std::wstring name);
    ~DatabaseSchema();

    DatabaseSchema(const DatabaseSchema&) = delete;
    DatabaseSchema& operator=(const DatabaseSchema&) = delete;

    // Appends a table and indexes it under its folded name. Of two tables whose
    // names differ only in case, the later one is the one FindTable answers; both
    // stay in Tables().
    SchemaTable* AddTable(std::unique_ptr<SchemaTable> table);
    LinkedTable* AddLinkedTable(std::unique_ptr<LinkedTable> table);
    SchemaQuery* AddView(std::unique_ptr<SchemaQuery> view);
    ParameterQuery* AddProcedure(std::unique_ptr<ParameterQuery> procedure);

    // The table of that name, ignoring case; null when there is none.
    SchemaTable* FindTable(std::wstring_view name) const;

    const std::vector<std::unique_ptr<SchemaTable>>& Tables() const { return tables_; }
    const std::vector<std::unique_ptr<LinkedTable>>& LinkedTables() const { return linkedTables_; }
    const std::vector<std::unique_ptr<SchemaQuery>>& Views() const { return views_; }
    const std::vector<std::unique_ptr<ParameterQuery>>& Procedures() const { return procedures_; }
    const std::wstring& GetName() const { return name_; }

private:
    std::vector<std::unique_ptr<SchemaTable>> tables_;
    std::vector<std::unique_ptr<LinkedTable>> linkedTables_;
    std::map<std::wstring, SchemaTable*, std::less<>> tableIndex_;  // folded name -> table
    std::vector<std::unique_ptr<SchemaQuery>> views_;
    std::vector<std::unique_ptr<ParameterQuery>> procedures_;
    std::wstring name_;
};
