// The in-memory picture of one database's catalog.
#include "database/database_schema.h"

#include <utility>

#include "database/schema_name_folding.h"

DatabaseSchema::DatabaseSchema(std::wstring name) : name_(std::move(name)) {}

DatabaseSchema::~DatabaseSchema() = default;

SchemaTable* DatabaseSchema::AddTable(std::unique_ptr<SchemaTable> table)
{
    SchemaTable* added = AppendOwned(tables_, std::move(table));
    tableIndex_.insert_or_assign(FoldSchemaName(added->Name()), added);
    return added;
}

LinkedTable* DatabaseSchema::AddLinkedTable(std::unique_ptr<LinkedTable> table)
{
    return AppendOwned(linkedTables_, std::move(table));
}

SchemaQuery* DatabaseSchema::AddView(std::unique_ptr<SchemaQuery> view)
{
    return AppendOwned(views_, std::move(view));
}

ParameterQuery* DatabaseSchema::AddProcedure(std::unique_ptr<ParameterQuery> procedure)
{
    return AppendOwned(procedures_, std::move(procedure));
}

SchemaTable* DatabaseSchema::FindTable(std::wstring_view name) const
{
    const auto found = tableIndex_.find(FoldSchemaName(name));
    return found != tableIndex_.end() ? found->second : nullptr;
}
