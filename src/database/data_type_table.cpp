// The rows are constant-initialised (no constructor runs at start-up), so the table is complete
// before any static initialiser of another file can ask for it, and every thread reads it freely.
#include "database/data_type_table.h"

namespace {

// Rows 0-15 are the types an Access column can have; the rest cover ADO's remaining codes and
// use their description as SQL name. Order matters: lookups take the first hit.
constexpr DataType kRows[DataTypeTable::kRowCount] = {
    {2, 3, L"small int", L"SMALLINT"},
    {3, 4, L"integer", L"LONG"},
    {4, 6, L"single", L"SINGLE"},
    {5, 7, L"double", L"DOUBLE"},
    {6, 5, L"currency", L"CURRENCY"},
    {7, 8, L"date", L"DATETIME"},
    {17, 2, L"unsigned tiny int", L"TINYINT"},
    {131, 20, L"numeric", L"DECIMAL"},
    {11, 1, L"boolean", L"BIT"},
    {72, 15, L"GUID", L"UNIQUEIDENTIFIER"},
    {129, 0, L"char", L"CHAR"},
    {130, 0, L"wchar", L"CHARACTER"},
    {202, 10, L"varwchar", L"TEXT"},
    {203, 12, L"long varwchar", L"MEMO"},
    {204, 9, L"varbinary", L"BINARY"},
    {205, 11, L"long varbinary", L"IMAGE"},
    {8, 0, L"BSTR", L"BSTR"},
    {0, 0, L"empty", L"empty"},
    {16, 0, L"tiny int", L"tiny int"},
    {20, 0, L"big int", L"big int"},
    {18, 0, L"unsigned small int", L"unsigned small int"},
    {19, 0, L"unsigned int", L"unsigned int"},
    {21, 0, L"unsigned big int", L"unsigned big int"},
    {14, 0, L"decimal", L"decimal"},
    {10, 0, L"error", L"error"},
    {132, 0, L"user defined", L"user defined"},
    {12, 0, L"variant", L"variant"},
    {9, 0, L"IDispatch", L"IDispatch"},
    {13, 0, L"IUnknown", L"IUnknown"},
    {133, 0, L"db date", L"db date"},
    {134, 0, L"db time", L"db time"},
    {135, 0, L"db timestamp", L"db timestamp"},
    {200, 0, L"varchar", L"varchar"},
    {201, 0, L"long varchar", L"long varchar"},
    {128, 0, L"binary", L"binary"},
    {136, 0, L"chapter", L"chapter"},
    {64, 0, L"filetime", L"filetime"},
    {138, 0, L"prop variant", L"prop variant"},
    {139, 0, L"varnumeric", L"varnumeric"},
};

constexpr DataType kUnknown{0, 0, L"unknown data type", L"UNKNOWN"};

}  // namespace

const DataType* DataTypeTable::FindByAdoType(std::int32_t adoType)
{
    for (const DataType& row : kRows) {
        if (row.AdoType() == adoType)
            return &row;
    }
    return &kUnknown;
}

const DataType* DataTypeTable::Unknown()
{
    return &kUnknown;
}
