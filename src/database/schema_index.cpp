// One index of a table.
#include "database/schema_index.h"

#include <utility>

SchemaIndex::SchemaIndex(SchemaTable* owner, std::wstring name, bool primaryKey, bool unique,
                         int nulls)
    : SchemaObject(std::move(name)),
      owner_(owner),
      primaryKey_(primaryKey),
      unique_(unique),
      nulls_(nulls)
{
}

SchemaIndex::~SchemaIndex() = default;

int SchemaIndex::Kind() const
{
    return kIndex;
}

void SchemaIndex::AddColumn(SchemaField* field)
{
    columns_.push_back(field);
}
