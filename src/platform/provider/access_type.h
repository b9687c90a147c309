// The Access column types as the native store keeps them, with the ADO type
// codes and sizes each one reports.
#pragma once

#include <cstdint>
#include <string>

namespace provider {

enum class AccessType : uint8_t {
    Text,
    Memo,
    Byte,
    Short,
    Long,
    Single,
    Double,
    Currency,
    DateTime,
    YesNo,
    Decimal,
    Guid,
    Binary,
    LongBinary,
};

// What the catalog keeps about one column's type. Counters are Long columns
// with `autoIncrement` set; seed and increment live in the catalog row.
struct ColumnType {
    AccessType type = AccessType::Text;
    int32_t size = 255;     // characters for TEXT, bytes for BINARY, else the fixed size
    uint8_t precision = 0;  // DECIMAL only
    uint8_t scale = 0;      // DECIMAL only
    bool autoIncrement = false;
};

// The ADO type a Jet provider reports for a column of this type.
long AdoTypeOf(AccessType type);

// The DefinedSize a Jet provider reports: characters for text, bytes for
// binary and fixed-size numbers.
int32_t DefinedSizeOf(const ColumnType& type);

// The canonical Access SQL name of a type ("TEXT", "LONG", ...), used in messages.
const wchar_t* AccessTypeName(AccessType type);

// A code stable in the file's catalog: the type's ordinal.
inline int TypeCode(AccessType type)
{
    return static_cast<int>(type);
}
bool AccessTypeFromCode(int code, AccessType& out);

}  // namespace provider
