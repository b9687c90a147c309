// Access type names, synonyms and their ADO faces.
#include "platform/provider/access_type.h"

#include "platform/provider/ado.h"

namespace provider {

using namespace adodb;

long AdoTypeOf(AccessType type)
{
    switch (type) {
        case AccessType::Text:
            return adVarWChar;
        case AccessType::Memo:
            return adLongVarWChar;
        case AccessType::Byte:
            return adUnsignedTinyInt;
        case AccessType::Short:
            return adSmallInt;
        case AccessType::Long:
            return adInteger;
        case AccessType::Single:
            return adSingle;
        case AccessType::Double:
            return adDouble;
        case AccessType::Currency:
            return adCurrency;
        case AccessType::DateTime:
            return adDate;
        case AccessType::YesNo:
            return adBoolean;
        case AccessType::Decimal:
            return adNumeric;
        case AccessType::Guid:
            return adGUID;
        case AccessType::Binary:
            return adVarBinary;
        case AccessType::LongBinary:
            return adLongVarBinary;
    }
    return adEmpty;
}

int32_t DefinedSizeOf(const ColumnType& t)
{
    switch (t.type) {
        case AccessType::Text:
        case AccessType::Binary:
            return t.size;
        case AccessType::Memo:
        case AccessType::LongBinary:
            return 536870910;
        case AccessType::Byte:
            return 1;
        case AccessType::Short:
            return 2;
        case AccessType::Long:
        case AccessType::Single:
            return 4;
        case AccessType::Double:
        case AccessType::Currency:
        case AccessType::DateTime:
            return 8;
        case AccessType::YesNo:
            return 2;
        case AccessType::Decimal:
            return 16;
        case AccessType::Guid:
            return 16;
    }
    return 0;
}

const wchar_t* AccessTypeName(AccessType type)
{
    switch (type) {
        case AccessType::Text:
            return L"TEXT";
        case AccessType::Memo:
            return L"MEMO";
        case AccessType::Byte:
            return L"BYTE";
        case AccessType::Short:
            return L"SHORT";
        case AccessType::Long:
            return L"LONG";
        case AccessType::Single:
            return L"SINGLE";
        case AccessType::Double:
            return L"DOUBLE";
        case AccessType::Currency:
            return L"CURRENCY";
        case AccessType::DateTime:
            return L"DATETIME";
        case AccessType::YesNo:
            return L"YESNO";
        case AccessType::Decimal:
            return L"DECIMAL";
        case AccessType::Guid:
            return L"GUID";
        case AccessType::Binary:
            return L"BINARY";
        case AccessType::LongBinary:
            return L"LONGBINARY";
    }
    return L"";
}

bool AccessTypeFromCode(int code, AccessType& out)
{
    if (code < 0 || code > static_cast<int>(AccessType::LongBinary))
        return false;
    out = static_cast<AccessType>(code);
    return true;
}

}  // namespace provider
