// One key of a table.
#include "database/schema_key.h"

#include "database/schema_table.h"

SchemaKey::SchemaKey(SchemaTable* owner, std::wstring name, std::wstring relatedTableName,
                     int keyType, int deleteRule, int updateRule, bool notEnforced)
    : SchemaObject(std::move(name)),
      owner_(owner),
      relatedTableName_(std::move(relatedTableName)),
      notEnforced_(notEnforced),
      keyType_(keyType),
      deleteRule_(deleteRule),
      updateRule_(updateRule)
{
}

SchemaKey::~SchemaKey() = default;

int SchemaKey::Kind() const
{
    return kKey;
}

void SchemaKey::AddColumn(std::wstring column, std::wstring relatedColumn)
{
    columns_.emplace_back(std::move(column), std::move(relatedColumn));
}

std::vector<SchemaField*> SchemaKey::Fields() const
{
    std::vector<SchemaField*> fields;
    if (owner_ == nullptr)
        return fields;
    fields.reserve(columns_.size());
    for (const ColumnPair& pair : columns_) {
        if (SchemaField* field = owner_->FindField(pair.first))
            fields.push_back(field);
    }
    return fields;
}
