// The automation conversions between value types, by the documented rules:
// banker's rounding to integers and money, overflow and type-mismatch errors,
// 15 significant digits for doubles and locale-dependent date text.
#include <cmath>
#include <cwctype>
#include <limits>

#include "platform/automation/automation_date.h"
#include "platform/automation/exact_number.h"
#include "platform/automation/variant.h"
#include "platform/automation/wide_text.h"

namespace automation {
namespace {

constexpr VarType kByteArray = static_cast<VarType>(VT_ARRAY | VT_UI1);

const wchar_t* TypeName(VarType vt)
{
    switch (vt) {
        case VT_EMPTY:
            return L"Empty";
        case VT_NULL:
            return L"Null";
        case VT_I1:
            return L"signed byte";
        case VT_UI1:
            return L"byte";
        case VT_I2:
            return L"16-bit integer";
        case VT_UI2:
            return L"unsigned 16-bit integer";
        case VT_I4:
            return L"32-bit integer";
        case VT_UI4:
            return L"unsigned 32-bit integer";
        case VT_I8:
            return L"64-bit integer";
        case VT_UI8:
            return L"unsigned 64-bit integer";
        case VT_INT:
            return L"integer";
        case VT_UINT:
            return L"unsigned integer";
        case VT_R4:
            return L"single";
        case VT_R8:
            return L"double";
        case VT_CY:
            return L"currency";
        case VT_DECIMAL:
            return L"decimal";
        case VT_BOOL:
            return L"boolean";
        case VT_DATE:
            return L"date";
        case VT_BSTR:
            return L"text";
        case VT_ERROR:
            return L"error";
        case VT_DISPATCH:
            return L"object";
        case VT_UNKNOWN:
            return L"object";
        case VT_VARIANT:
            return L"variant";
        default:
            return vt == kByteArray ? L"binary" : L"unknown type";
    }
}

bool IsExactType(VarType vt)
{
    switch (vt) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
        case VT_BOOL:
        case VT_CY:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

bool IsFloatType(VarType vt)
{
    return vt == VT_R4 || vt == VT_R8 || vt == VT_DATE;
}

ExactNumber ExactOf(const Variant& v)
{
    switch (v.vt()) {
        case VT_I1:
            return ExactNumber::FromInt(v.cVal());
        case VT_UI1:
            return ExactNumber::FromUInt(v.bVal());
        case VT_I2:
            return ExactNumber::FromInt(v.iVal());
        case VT_UI2:
            return ExactNumber::FromUInt(v.uiVal());
        case VT_I4:
            return ExactNumber::FromInt(v.lVal());
        case VT_UI4:
            return ExactNumber::FromUInt(v.ulVal());
        case VT_I8:
            return ExactNumber::FromInt(v.llVal());
        case VT_UI8:
            return ExactNumber::FromUInt(v.ullVal());
        case VT_INT:
            return ExactNumber::FromInt(v.intVal());
        case VT_UINT:
            return ExactNumber::FromUInt(v.uintVal());
        case VT_BOOL:
            return ExactNumber::FromInt(v.boolVal());
        case VT_CY:
            return ExactNumber::FromCurrency(v.cyVal());
        case VT_DECIMAL:
            return ExactNumber::FromDecimal(v.decVal());
        default:
            return {};
    }
}

double FloatOf(const Variant& v)
{
    switch (v.vt()) {
        case VT_R4:
            return v.fltVal();
        case VT_R8:
            return v.dblVal();
        case VT_DATE:
            return v.date();
        default:
            return 0;
    }
}

// Names the source for an error text, with its value where that is plain;
// text values are quoted (shortened).
std::wstring Describe(const Variant& v)
{
    std::wstring text;
    if (v.vt() == VT_BSTR) {
        text = v.bstrVal();
        if (text.size() > 40)
            text = text.substr(0, 40) + L"...";
        return L"the text \"" + text + L"\"";
    }
    if (v.vt() == VT_R8 || v.vt() == VT_R4)
        text = FormatDouble(v.vt() == VT_R8 ? v.dblVal() : v.fltVal(), v.vt() == VT_R8 ? 15 : 7);
    else if (IsExactType(v.vt()) && !(v.vt() == VT_DECIMAL && v.decVal().scale > 28))
        text = ExactOf(v).ToText();
    std::wstring description = std::wstring(L"the ") + TypeName(v.vt()) + L" value";
    return text.empty() ? description : description + L" " + text;
}

[[noreturn]] void Mismatch(const Variant& v, VarType to)
{
    if (v.IsNull())
        throw ComError(
            DISP_E_TYPEMISMATCH,
            std::wstring(L"Type mismatch: Null cannot be converted to ") + TypeName(to) + L".");
    throw ComError(DISP_E_TYPEMISMATCH,
                   L"Type mismatch: cannot convert " + Describe(v) + L" to " + TypeName(to) + L".");
}

[[noreturn]] void Overflow(const Variant& v, VarType to)
{
    throw ComError(DISP_E_OVERFLOW,
                   L"Overflow: " + Describe(v) + L" is out of the range of " + TypeName(to) + L".");
}

// Significant digits automation keeps of a floating source when it goes
// through decimal digits (money, decimal): 7 for singles, 15 otherwise.
int DigitsOf(VarType vt)
{
    return vt == VT_R4 ? 7 : 15;
}

// Text made a number; a text that is no number is a mismatch.
ExactNumber NumberFromText(const Variant& v, VarType to)
{
    const auto number = ParseNumberText(v.bstrVal());
    if (!number)
        Mismatch(v, to);
    return *number;
}

// Any number-like source as an exact number (floating sources to their
// significant digits); EMPTY is 0.
ExactNumber ExactFrom(const Variant& v, VarType to)
{
    if (IsExactType(v.vt()))
        return ExactOf(v);
    if (IsFloatType(v.vt())) {
        const auto number = ExactNumber::FromDouble(FloatOf(v), DigitsOf(v.vt()));
        if (!number)
            Overflow(v, to);
        return *number;
    }
    if (v.vt() == VT_BSTR)
        return NumberFromText(v, to);
    if (v.IsEmpty())
        return {};
    Mismatch(v, to);
}

struct IntegerRange {
    __int128 min;
    __int128 max;
};

IntegerRange RangeOf(VarType vt)
{
    switch (vt) {
        case VT_I1:
            return {INT8_MIN, INT8_MAX};
        case VT_UI1:
            return {0, UINT8_MAX};
        case VT_I2:
            return {INT16_MIN, INT16_MAX};
        case VT_UI2:
            return {0, UINT16_MAX};
        case VT_I4:
        case VT_INT:
            return {INT32_MIN, INT32_MAX};
        case VT_UI4:
        case VT_UINT:
            return {0, UINT32_MAX};
        case VT_I8:
            return {INT64_MIN, INT64_MAX};
        default:
            return {0, UINT64_MAX};  // VT_UI8
    }
}

Variant MakeInteger(__int128 value, VarType to)
{
    switch (to) {
        case VT_I1:
            return Variant(static_cast<int8_t>(value));
        case VT_UI1:
            return Variant(static_cast<uint8_t>(value));
        case VT_I2:
            return Variant(static_cast<int16_t>(value));
        case VT_UI2:
            return Variant(static_cast<uint16_t>(value));
        case VT_I4:
            return Variant(static_cast<int32_t>(value));
        case VT_UI4:
            return Variant(static_cast<uint32_t>(value));
        case VT_I8:
            return Variant(static_cast<int64_t>(value));
        case VT_INT:
            return Variant::FromInt(static_cast<int32_t>(value));
        case VT_UINT:
            return Variant::FromUInt(static_cast<uint32_t>(value));
        default:
            return Variant(static_cast<uint64_t>(value));
    }
}

Variant ToInteger(const Variant& v, VarType to)
{
    const IntegerRange range = RangeOf(to);
    __int128 value = 0;
    if (v.vt() == VT_BOOL && range.min == 0) {
        // True is -1, and automation hands it to unsigned types with all bits set.
        value = v.boolVal() != 0 ? range.max : 0;
    } else if (IsFloatType(v.vt())) {
        // Rounds the exact binary value, half to even (the FPU's default mode).
        const double rounded = std::nearbyint(FloatOf(v));
        if (!(std::fabs(rounded) < 0x1p64))
            Overflow(v, to);
        value = static_cast<__int128>(rounded);
    } else {
        const auto integer = ExactFrom(v, to).ToInteger();
        if (!integer)
            Overflow(v, to);
        value = *integer;
    }
    if (value < range.min || value > range.max)
        Overflow(v, to);
    return MakeInteger(value, to);
}

double ToDouble(const Variant& v, VarType to)
{
    if (IsFloatType(v.vt()))
        return FloatOf(v);
    if (IsExactType(v.vt()))
        return ExactOf(v).ToDouble();
    if (v.vt() == VT_BSTR) {
        const double value = NumberFromText(v, to).ToDouble();
        if (std::isinf(value))
            Overflow(v, to);
        return value;
    }
    if (v.IsEmpty())
        return 0;
    Mismatch(v, to);
}

Variant ToSingle(const Variant& v)
{
    float value;
    if (IsExactType(v.vt())) {
        value = ExactOf(v).ToFloat();
    } else if (v.vt() == VT_BSTR) {
        value = NumberFromText(v, VT_R4).ToFloat();
    } else {
        const double d = ToDouble(v, VT_R4);
        value = static_cast<float>(d);
        if (std::isinf(value) && std::isfinite(d))
            Overflow(v, VT_R4);
        return Variant(value);
    }
    if (std::isinf(value))
        Overflow(v, VT_R4);
    return Variant(value);
}

Variant ToCurrency(const Variant& v)
{
    const auto money = ExactFrom(v, VT_CY).ToCurrency();
    if (!money)
        Overflow(v, VT_CY);
    return Variant(*money);
}

Variant ToDecimal(const Variant& v)
{
    const auto decimal = ExactFrom(v, VT_DECIMAL).ToDecimal();
    if (!decimal)
        Overflow(v, VT_DECIMAL);
    return Variant(*decimal);
}

std::wstring Trimmed(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::iswspace(static_cast<wint_t>(text[begin])))
        ++begin;
    while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i)
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    return i == a.size() && b[i] == L'\0';
}

Variant ToBool(const Variant& v)
{
    if (IsFloatType(v.vt()))
        return Variant(FloatOf(v) != 0);  // NaN too is not zero
    if (v.vt() == VT_BSTR) {
        const std::wstring word = Trimmed(v.bstrVal());
        if (EqualsNoCase(word, L"True"))
            return Variant(true);
        if (EqualsNoCase(word, L"False"))
            return Variant(false);
    }
    return Variant(!ExactFrom(v, VT_BOOL).IsZero());
}

Variant ToDate(const Variant& v)
{
    if (v.vt() == VT_BSTR) {
        const auto date = DateFromText(v.bstrVal());
        if (!date)
            Mismatch(v, VT_DATE);
        return Variant::FromDate(*date);
    }
    const double value = ToDouble(v, VT_DATE);
    if (!(value > kMinDateDay - 1 && value < kMaxDateDay + 1))
        Overflow(v, VT_DATE);
    return Variant::FromDate(value);
}

// A byte array is the string's raw content: little-endian UTF-16 code units
// (surrogate pairs combined); an odd last byte is not part of the text.
std::wstring TextFromBytes(const SafeArray& bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(bytes.data()[2 * i] | (bytes.data()[2 * i + 1] << 8));
    return FromUtf16(units);
}

Variant ToText(const Variant& v, Lcid lcid, uint16_t flags)
{
    switch (v.vt()) {
        case VT_EMPTY:
            return Variant(std::wstring());
        case VT_R8:
            return Variant(FormatDouble(v.dblVal(), 15));
        case VT_R4:
            return Variant(FormatDouble(v.fltVal(), 7));
        case VT_DATE:
            return Variant(DateToText(v.date(), lcid));
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
                return Variant(v.boolVal() != 0 ? L"True" : L"False");
            return Variant(v.boolVal() != 0 ? L"-1" : L"0");
        default:
            if (IsExactType(v.vt()))
                return Variant(ExactOf(v).ToText());
            if (v.IsByteArray())
                return Variant(TextFromBytes(v.parray()));
            Mismatch(v, VT_BSTR);
    }
}

bool IsKnownTarget(VarType to)
{
    return to <= VT_DECIMAL || (to >= VT_I1 && to <= VT_UINT) || to == kByteArray;
}

}  // namespace

Variant ChangeTypeEx(const Variant& v, Lcid lcid, uint16_t flags, VarType to)
{
    if (!IsKnownTarget(to))
        throw ComError(DISP_E_BADVARTYPE, L"Bad variable type.");
    if (v.vt() == to)
        return v;
    if (to == VT_EMPTY)
        return Variant();
    if (to == VT_NULL) {
        if (v.IsEmpty())
            return Variant::Null();
        Mismatch(v, to);
    }
    if (v.IsNull())
        Mismatch(v, to);
    switch (to) {
        case VT_I1:
        case VT_UI1:
        case VT_I2:
        case VT_UI2:
        case VT_I4:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return ToInteger(v, to);
        case VT_R8: {
            const double value = ToDouble(v, to);
            return Variant(value);
        }
        case VT_R4:
            return ToSingle(v);
        case VT_CY:
            return ToCurrency(v);
        case VT_DECIMAL:
            return ToDecimal(v);
        case VT_BOOL:
            return ToBool(v);
        case VT_DATE:
            return ToDate(v);
        case VT_BSTR:
            return ToText(v, lcid, flags);
        default:
            Mismatch(v, to);
    }
}

Variant ChangeType(const Variant& v, VarType to, uint16_t flags)
{
    return ChangeTypeEx(v, LOCALE_USER_DEFAULT, flags, to);
}

}  // namespace automation
