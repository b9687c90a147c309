// One table of a database and the objects it owns.
#include "database/schema_table.h"

#include <algorithm>
#include <utility>

#include "database/schema_name_folding.h"

SchemaTable::SchemaTable(std::wstring name) : SchemaObject(std::move(name)) {}

SchemaTable::~SchemaTable() = default;

int SchemaTable::Kind() const
{
    return kTable;
}

SchemaField* SchemaTable::AddField(std::unique_ptr<SchemaField> field)
{
    return AppendOwned(fields_, std::move(field));
}

SchemaIndex* SchemaTable::AddIndex(std::unique_ptr<SchemaIndex> index)
{
    return AppendOwned(indexes_, std::move(index));
}

SchemaKey* SchemaTable::AddKey(std::unique_ptr<SchemaKey> key)
{
    return AppendOwned(keys_, std::move(key));
}

CheckConstraint* SchemaTable::AddCheckConstraint(std::unique_ptr<CheckConstraint> constraint)
{
    return AppendOwned(checkConstraints_, std::move(constraint));
}

SchemaField* SchemaTable::FindFieldByName(const wchar_t* name) const
{
    if (name == nullptr)
        return nullptr;
    return FindField(name);
}

SchemaField* SchemaTable::FindField(std::wstring_view name) const
{
    for (const auto& field : fields_) {
        if (SchemaNamesEqual(field->Name(), name))
            return field.get();
    }
    return nullptr;
}

void SchemaTable::SortFieldsByOrdinal()
{
    // Stable, so that a catalog that numbers two columns alike gives the same order
    // on every load.
    std::stable_sort(fields_.begin(), fields_.end(),
                     [](const auto& a, const auto& b) { return a->Ordinal() < b->Ordinal(); });
}
