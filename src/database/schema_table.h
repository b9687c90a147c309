// One table of a database with its fields, indexes, keys and check constraints,
// all owned by the table.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/check_constraint.h"
#include "database/schema_field.h"
#include "database/schema_index.h"
#include "database/schema_key.h"
#include "database/schema_object.h"

class SchemaTable : public SchemaObject {
public:
    explicit SchemaTable(std::wstring name);
    ~SchemaTable() override;

    int Kind() const override;

    // Each Add takes ownership and returns the added object. Fields, indexes and
    // keys are expected to name this table as their owner.
    SchemaField* AddField(std::unique_ptr<SchemaField> field);
    SchemaIndex* AddIndex(std::unique_ptr<SchemaIndex> index);
    SchemaKey* AddKey(std::unique_ptr<SchemaKey> key);
    CheckConstraint* AddCheckConstraint(std::unique_ptr<CheckConstraint> constraint);

    const std::vector<std::unique_ptr<SchemaField>>& Fields() const { return fields_; }
    const std::vector<std::unique_ptr<SchemaIndex>>& Indexes() const { return indexes_; }
    const std::vector<std::unique_ptr<SchemaKey>>& Keys() const { return keys_; }
    const std::vector<std::unique_ptr<CheckConstraint>>& CheckConstraints() const
    {
        return checkConstraints_;
    }

    bool HasFields() const { return !fields_.empty(); }

    // The first field whose name equals the given one ignoring case (folded as
    // table names are); null when there is none. A null text finds nothing.
    SchemaField* FindFieldByName(const wchar_t* name) const;
    SchemaField* FindField(std::wstring_view name) const;

    // Puts the fields in ascending ordinal order. Fields with equal ordinals keep
    // their relative order.
    void SortFieldsByOrdinal();

private:
    std::vector<std::unique_ptr<SchemaField>> fields_;
    std::vector<std::unique_ptr<SchemaIndex>> indexes_;
    std::vector<std::unique_ptr<SchemaKey>> keys_;
    std::vector<std::unique_ptr<CheckConstraint>> checkConstraints_;
};
