// A stored view.
#include "database/schema_query.h"

#include <utility>

SchemaQuery::SchemaQuery(std::wstring name, std::wstring sqlText)
    : SchemaObject(std::move(name)), sqlText_(std::move(sqlText))
{
}

SchemaQuery::~SchemaQuery() = default;
