// A table-level check constraint: its name, its table and its clause.
#pragma once

#include <string>

#include "database/schema_object.h"

class CheckConstraint : public SchemaObject {
public:
    CheckConstraint(std::wstring name, std::wstring tableName, std::wstring clause);
    ~CheckConstraint() override;

    int Kind() const override;

    const std::wstring& Clause() const { return clause_; }
    const std::wstring& TableName() const { return tableName_; }

private:
    std::wstring clause_;
    std::wstring tableName_;
};
