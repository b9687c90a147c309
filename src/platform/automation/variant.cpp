#include "platform/automation/variant.h"

namespace automation {

Variant Variant::Null()
{
    Variant v;
    v.vt_ = VT_NULL;
    return v;
}

Variant Variant::FromDate(double date)
{
    Variant v;
    v.vt_ = VT_DATE;
    v.d_ = date;
    return v;
}

Variant Variant::FromError(HRESULT scode)
{
    Variant v;
    v.vt_ = VT_ERROR;
    v.i_ = scode;
    return v;
}

Variant Variant::Missing()
{
    return FromError(DISP_E_PARAMNOTFOUND);
}

Variant Variant::FromInt(int32_t value)
{
    Variant v;
    v.vt_ = VT_INT;
    v.i_ = value;
    return v;
}

Variant Variant::FromUInt(uint32_t value)
{
    Variant v;
    v.vt_ = VT_UINT;
    v.u_ = value;
    return v;
}

void Variant::Expect(VarType t) const
{
    if (vt_ != t)
        throw ComError(DISP_E_TYPEMISMATCH, L"Type mismatch.");
}

int8_t Variant::cVal() const { return Expect(VT_I1), static_cast<int8_t>(i_); }
uint8_t Variant::bVal() const { return Expect(VT_UI1), static_cast<uint8_t>(u_); }
int16_t Variant::iVal() const { return Expect(VT_I2), static_cast<int16_t>(i_); }
uint16_t Variant::uiVal() const { return Expect(VT_UI2), static_cast<uint16_t>(u_); }
int32_t Variant::lVal() const { return Expect(VT_I4), static_cast<int32_t>(i_); }
uint32_t Variant::ulVal() const { return Expect(VT_UI4), static_cast<uint32_t>(u_); }
int64_t Variant::llVal() const { return Expect(VT_I8), i_; }
uint64_t Variant::ullVal() const { return Expect(VT_UI8), u_; }
int32_t Variant::intVal() const { return Expect(VT_INT), static_cast<int32_t>(i_); }
uint32_t Variant::uintVal() const { return Expect(VT_UINT), static_cast<uint32_t>(u_); }
float Variant::fltVal() const { return Expect(VT_R4), static_cast<float>(d_); }
double Variant::dblVal() const { return Expect(VT_R8), d_; }
double Variant::date() const { return Expect(VT_DATE), d_; }
int16_t Variant::boolVal() const { return Expect(VT_BOOL), static_cast<int16_t>(i_); }
Currency Variant::cyVal() const { return Expect(VT_CY), Currency{i_}; }
const Decimal& Variant::decVal() const { return Expect(VT_DECIMAL), dec_; }
const std::wstring& Variant::bstrVal() const { return Expect(VT_BSTR), str_; }
HRESULT Variant::scode() const { return Expect(VT_ERROR), static_cast<HRESULT>(i_); }

const SafeArray& Variant::parray() const
{
    Expect(static_cast<VarType>(VT_ARRAY | VT_UI1));
    return *arr_;
}

bool operator==(const Variant& a, const Variant& b)
{
    if (a.vt_ != b.vt_)
        return false;
    switch (a.vt_) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_R4:
    case VT_R8:
    case VT_DATE:
        return a.d_ == b.d_;
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_UINT:
        return a.u_ == b.u_;
    case VT_DECIMAL:
        return a.dec_ == b.dec_;
    case VT_BSTR:
        return a.str_ == b.str_;
    default:
        if (a.IsByteArray())
            return *a.arr_ == *b.arr_;
        return a.i_ == b.i_;
    }
}

// The conversions live in change_type.cpp.

}  // namespace automation
