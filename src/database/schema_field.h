// One column of a table as the catalog describes it, and the Access SQL text that
// defines it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "database/schema_object.h"

class DataType;
class SchemaTable;

namespace automation {
class Variant;
}

class SchemaField : public SchemaObject {
public:
    // dataType points into the data-type table and is never owned; null stands for
    // the table's "unknown data type". defaultValue is absent when the column has
    // no default.
    SchemaField(SchemaTable* owner, std::wstring name, const DataType* dataType, int definedSize,
                bool autoincrement, std::optional<std::wstring> defaultValue, int numericScale,
                int precision, bool nullable, bool compressed, std::wstring validationRule);
    ~SchemaField() override;

    int Kind() const override;

    SchemaTable* Owner() const { return owner_; }

    // Position of the column in its table, as the catalog's column rowset numbers it.
    void SetOrdinal(double ordinal) { ordinal_ = ordinal; }
    double Ordinal() const { return ordinal_; }

    const DataType* Type() const { return dataType_; }
    int DefinedSize() const { return definedSize_; }
    bool IsAutoincrement() const { return autoincrement_; }
    const std::optional<std::wstring>& DefaultValue() const { return defaultValue_; }
    int NumericScale() const { return numericScale_; }
    int Precision() const { return precision_; }
    bool IsNullable() const { return nullable_; }
    bool IsCompressed() const { return compressed_; }
    const std::wstring& ValidationRule() const { return validationRule_; }

    // The Access SQL text that follows the column name in a column definition,
    // starting with a blank: " TEXT(50) WITH COMPRESSION NOT NULL DEFAULT 'x'".
    std::wstring ColumnDefinition() const;

    // The default text of a column from the value of its "Default" property:
    // absent for an empty value; the SQL word NULL for a NULL value (a column
    // declared DEFAULT NULL), which has no text of its own; otherwise the value
    // as text. Raises automation::ComError when the value has no text form.
    static std::optional<std::wstring> DefaultFromProperty(const automation::Variant& value);

private:
    SchemaTable* owner_;
    std::wstring validationRule_;
    double ordinal_ = 0;
    const DataType* dataType_;
    int definedSize_;
    bool autoincrement_;
    std::optional<std::wstring> defaultValue_;
    int numericScale_;
    int precision_;
    bool nullable_;
    bool compressed_;
};
