#include "compare/key_order.h"

#include "database/data_type_table.h"
#include "database/schema_field.h"

KeyFamily KeyFamilyOf(const DataType* type)
{
    if (!type || type == DataTypeTable::Unknown())
        return KeyFamily::Unknown;
    switch (type->AdoType()) {
        case 2:    // small int
        case 3:    // integer
        case 4:    // single
        case 5:    // double
        case 6:    // currency
        case 14:   // decimal
        case 16:   // tiny int
        case 17:   // unsigned tiny int
        case 18:   // unsigned small int
        case 19:   // unsigned int
        case 20:   // big int
        case 21:   // unsigned big int
        case 131:  // numeric
        case 139:  // varnumeric
            return KeyFamily::Number;
        case 8:    // BSTR
        case 72:   // GUID, read as its text
        case 129:  // char
        case 130:  // wchar
        case 200:  // varchar
        case 201:  // long varchar
        case 202:  // varwchar
        case 203:  // long varwchar
            return KeyFamily::Text;
        case 7:    // date
        case 133:  // db date
        case 134:  // db time
        case 135:  // db timestamp
            return KeyFamily::Date;
        case 11:
            return KeyFamily::YesNo;
        case 128:  // binary
        case 204:  // varbinary
        case 205:  // long varbinary
            return KeyFamily::Binary;
        default:
            return KeyFamily::Other;
    }
}

bool KeyFieldsOrderAlike(const SchemaField& first, const SchemaField& second)
{
    const KeyFamily a = KeyFamilyOf(first.Type());
    const KeyFamily b = KeyFamilyOf(second.Type());
    if (a == KeyFamily::Unknown || b == KeyFamily::Unknown)
        return true;
    if (a == KeyFamily::Other || b == KeyFamily::Other)
        return first.Type()->AdoType() == second.Type()->AdoType();
    return a == b;
}
