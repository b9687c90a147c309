// A table-level check constraint.
#include "database/check_constraint.h"

#include <utility>

CheckConstraint::CheckConstraint(std::wstring name, std::wstring tableName, std::wstring clause)
    : SchemaObject(std::move(name)), clause_(std::move(clause)), tableName_(std::move(tableName))
{
}

CheckConstraint::~CheckConstraint() = default;

int CheckConstraint::Kind() const
{
    return kCheckConstraint;
}
