// The fixed table that turns a column's ADO type code into the descriptor the schema model keeps:
// the type's lower-case name and the Access SQL word used in column definitions.
#pragma once

#include <cstdint>
#include <string_view>

// One descriptor. Descriptors live in the table for the whole run and are handed out by address;
// holders keep the pointer and never own or copy the descriptor.
class DataType {
public:
    constexpr DataType(std::int32_t adoType, std::int32_t daoType, std::wstring_view description,
                       std::wstring_view sqlName)
        : adoType_(adoType), daoType_(daoType), description_(description), sqlName_(sqlName)
    {
    }
    DataType(const DataType&) = delete;
    DataType& operator=(const DataType&) = delete;

    // ADO's DataTypeEnum value.
    std::int32_t AdoType() const { return adoType_; }
    // DAO's DataTypeEnum value; 0 where the type has no DAO counterpart.
    std::int32_t DaoType() const { return daoType_; }
    // Lower-case name of the type. Views over string literals: null-terminated, never dangling.
    std::wstring_view Description() const { return description_; }
    // Access SQL type word for column definitions.
    std::wstring_view SqlName() const { return sqlName_; }

private:
    std::int32_t adoType_;
    std::int32_t daoType_;
    std::wstring_view description_;
    std::wstring_view sqlName_;
};

class DataTypeTable {
public:
    static constexpr int kRowCount = 39;

    // The first row whose ADO code equals `adoType`, or the fallback descriptor
    // ("unknown data type" / "UNKNOWN", codes 0 / 0) when none does. Never null.
    static const DataType* FindByAdoType(std::int32_t adoType);

    // The descriptor handed out for codes the table does not know.
    static const DataType* Unknown();
};
