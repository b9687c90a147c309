// The common base of every element of the schema model.
#include "database/schema_object.h"

#include <utility>

SchemaObject::SchemaObject(std::wstring name) : name_(std::move(name)) {}

SchemaObject::~SchemaObject() = default;

int SchemaObject::Kind() const
{
    return kBase;
}
