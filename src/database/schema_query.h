// A stored view: a named SELECT kept in the database.
#pragma once

#include <string>

#include "database/schema_object.h"

class SchemaQuery : public SchemaObject {
public:
    SchemaQuery(std::wstring name, std::wstring sqlText);
    ~SchemaQuery() override;

    const std::wstring& SqlText() const { return sqlText_; }

private:
    std::wstring sqlText_;
};
