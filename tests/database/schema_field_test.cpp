// The column definition text of a field, for every type of the data-type table,
// and the default value read from a column's "Default" property.
#include "database/schema_field.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "database/data_type_table.h"
#include "database/schema_table.h"
#include "platform/automation/variant.h"

namespace {

struct FieldShape {
    int adoType;
    int definedSize = 0;
    bool autoincrement = false;
    std::optional<std::wstring> defaultValue;
    int numericScale = 0;
    int precision = 0;
    bool nullable = true;
    bool compressed = false;
};

std::wstring DefinitionOf(const FieldShape& shape)
{
    SchemaTable table(L"T");
    SchemaField field(&table, L"F", DataTypeTable::FindByAdoType(shape.adoType), shape.definedSize,
                      shape.autoincrement, shape.defaultValue, shape.numericScale, shape.precision,
                      shape.nullable, shape.compressed, L"");
    return field.ColumnDefinition();
}

// Every row of the data-type table as a nullable column of size 50, precision 18
// and scale 2 without default: only the two Unicode character types carry the size
// and only numeric carries precision and scale.
struct TypeCase {
    int adoType;
    const wchar_t* definition;
};

const TypeCase kEveryType[] = {
    {2, L" SMALLINT"},
    {3, L" LONG"},
    {4, L" SINGLE"},
    {5, L" DOUBLE"},
    {6, L" CURRENCY"},
    {7, L" DATETIME"},
    {17, L" TINYINT"},
    {131, L" DECIMAL(18, 2)"},
    {11, L" BIT"},
    {72, L" UNIQUEIDENTIFIER"},
    {129, L" CHAR"},
    {130, L" CHARACTER(50)"},
    {202, L" TEXT(50)"},
    {203, L" MEMO"},
    {204, L" BINARY"},
    {205, L" IMAGE"},
    {8, L" BSTR"},
    {0, L" empty"},
    {16, L" tiny int"},
    {20, L" big int"},
    {18, L" unsigned small int"},
    {19, L" unsigned int"},
    {21, L" unsigned big int"},
    {14, L" decimal"},
    {10, L" error"},
    {132, L" user defined"},
    {12, L" variant"},
    {9, L" IDispatch"},
    {13, L" IUnknown"},
    {133, L" db date"},
    {134, L" db time"},
    {135, L" db timestamp"},
    {200, L" varchar"},
    {201, L" long varchar"},
    {128, L" binary"},
    {136, L" chapter"},
    {64, L" filetime"},
    {138, L" prop variant"},
    {139, L" varnumeric"},
    {999, L" UNKNOWN"},  // a code the table does not know
};

TEST(SchemaFieldTest, ColumnDefinitionOfEveryDataType)
{
    for (const TypeCase& c : kEveryType) {
        SCOPED_TRACE(c.adoType);
        FieldShape shape;
        shape.adoType = c.adoType;
        shape.definedSize = 50;
        shape.precision = 18;
        shape.numericScale = 2;
        EXPECT_EQ(DefinitionOf(shape), c.definition);
    }
}

struct DefinitionCase {
    const char* what;
    FieldShape shape;
    const wchar_t* definition;
};

const DefinitionCase kDefinitions[] = {
    {"required compressed text",
     {202, 50, false, std::nullopt, 0, 0, false, true},
     L" TEXT(50) WITH COMPRESSION NOT NULL"},
    {"nullable decimal", {131, 0, false, std::nullopt, 2, 18, true, false}, L" DECIMAL(18, 2)"},
    {"decimal writes precision before scale",
     {131, 0, false, std::nullopt, 4, 10},
     L" DECIMAL(10, 4)"},
    {"compressed memo", {203, 0, false, std::nullopt, 0, 0, true, true}, L" MEMO WITH COMPRESSION"},
    {"required long", {3, 4, false, std::nullopt, 0, 10, false}, L" LONG NOT NULL"},
    {"fixed Unicode text with default",
     {130, 3, false, std::wstring(L"'abc'"), 0, 0, false, false},
     L" CHARACTER(3) NOT NULL DEFAULT 'abc'"},
    {"default text unchanged",
     {202, 255, false, std::wstring(L"\"x y\""), 0, 0, true, true},
     L" TEXT(255) WITH COMPRESSION DEFAULT \"x y\""},
    {"date with expression default",
     {7, 8, false, std::wstring(L"Now()"), 0, 0, true},
     L" DATETIME DEFAULT Now()"},
    {"empty default still written", {3, 4, false, std::wstring(), 0, 0, true}, L" LONG DEFAULT "},
    {"NULL default",
     {202, 20, false, std::wstring(L"NULL"), 0, 0, true},
     L" TEXT(20) DEFAULT NULL"},
    {"autoincrement", {3, 4, true, std::nullopt, 0, 10, false}, L" AUTOINCREMENT"},
    {"autoincrement ignores type, compression and nullability",
     {202, 50, true, std::nullopt, 0, 0, false, true},
     L" AUTOINCREMENT"},
    {"autoincrement with default",
     {3, 4, true, std::wstring(L"5"), 0, 10, false},
     L" AUTOINCREMENT DEFAULT 5"},
};

TEST(SchemaFieldTest, ColumnDefinitionCombinesSizeCompressionNullabilityAndDefault)
{
    for (const DefinitionCase& c : kDefinitions) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DefinitionOf(c.shape), c.definition);
    }
}

TEST(SchemaFieldTest, FieldWithoutDataTypeIsOfUnknownType)
{
    SchemaTable table(L"T");
    SchemaField field(&table, L"F", nullptr, 0, false, std::nullopt, 0, 0, true, false, L"");
    EXPECT_EQ(field.Type(), DataTypeTable::Unknown());
    EXPECT_EQ(field.ColumnDefinition(), L" UNKNOWN");
}

TEST(SchemaFieldTest, DefaultFromPropertyValue)
{
    struct Case {
        const char* what;
        automation::Variant value;
        std::optional<std::wstring> expected;
    };
    const Case cases[] = {
        {"empty value: no default", automation::Variant(), std::nullopt},
        {"NULL value: the SQL word", automation::Variant::Null(), std::wstring(L"NULL")},
        {"text", automation::Variant(L"'Unknown'"), std::wstring(L"'Unknown'")},
        {"empty text is a default", automation::Variant(L""), std::wstring()},
        {"non-ASCII text", automation::Variant(L"\"Äpfel\""), std::wstring(L"\"Äpfel\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(SchemaField::DefaultFromProperty(c.value), c.expected);
    }
}

}  // namespace
