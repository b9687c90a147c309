// Column types resolve through the fixed ADO-code table, with a fallback for unknown codes.
#include "database/data_type_table.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct Row {
    int ado;
    int dao;
    const wchar_t* description;
    const wchar_t* sqlName;
};

// The documented table, row for row.
const Row kExpected[] = {
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

TEST(DataTypeTable, EveryAdoCodeResolvesToItsDocumentedDescriptor)
{
    static_assert(std::size(kExpected) == DataTypeTable::kRowCount);
    std::set<const DataType*> distinct;
    for (const Row& row : kExpected) {
        SCOPED_TRACE(row.ado);
        const DataType* type = DataTypeTable::FindByAdoType(row.ado);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->AdoType(), row.ado);
        EXPECT_EQ(type->DaoType(), row.dao);
        EXPECT_EQ(type->Description(), row.description);
        EXPECT_EQ(type->SqlName(), row.sqlName);
        // Schema objects keep these pointers: the same code must give the same descriptor.
        EXPECT_EQ(DataTypeTable::FindByAdoType(row.ado), type);
        distinct.insert(type);
    }
    EXPECT_EQ(distinct.size(), std::size(kExpected));
    EXPECT_EQ(distinct.count(DataTypeTable::Unknown()), 0u);
}

TEST(DataTypeTable, UnknownCodesGiveTheFallbackButZeroIsEmpty)
{
    for (int code : {999, -1, 1, 15, 137, 140, 206, 0x2000}) {
        SCOPED_TRACE(code);
        const DataType* type = DataTypeTable::FindByAdoType(code);
        ASSERT_EQ(type, DataTypeTable::Unknown());
        EXPECT_EQ(type->AdoType(), 0);
        EXPECT_EQ(type->DaoType(), 0);
        EXPECT_EQ(type->Description(), L"unknown data type");
        EXPECT_EQ(type->SqlName(), L"UNKNOWN");
    }
    // Code 0 is a real row ("empty"), found before the fallback is ever considered.
    const DataType* empty = DataTypeTable::FindByAdoType(0);
    EXPECT_NE(empty, DataTypeTable::Unknown());
    EXPECT_EQ(empty->Description(), L"empty");
}

TEST(DataTypeTable, NamesAreNullTerminatedForCApis)
{
    const DataType* text = DataTypeTable::FindByAdoType(202);
    EXPECT_EQ(text->SqlName().data()[text->SqlName().size()], L'\0');
    EXPECT_EQ(std::wstring(text->SqlName().data()), L"TEXT");
}

}  // namespace
