// Value comparison. Every class of value has one order, chosen to match the order
// in which the provider returns rows, because the merge walks two key-ordered
// streams and trusts that both sides and this rule agree.
#include "compare/cell_value.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/automation/automation_date.h"
#include "platform/automation/wide_text.h"

namespace {

using automation::Variant;
using automation::VarType;
using u128 = unsigned __int128;

enum class ValueClass {
    Null,
    Text,
    Date,
    Signed,
    Unsigned,
    Floating,
    Money,
    Decimal,
    Binary,
    Other
};

ValueClass ClassOf(const Variant& v)
{
    if (v.vt() & automation::VT_ARRAY)
        return ValueClass::Binary;
    switch (v.vt()) {
        case automation::VT_NULL:
            return ValueClass::Null;
        case automation::VT_BSTR:
            return ValueClass::Text;
        case automation::VT_DATE:
            return ValueClass::Date;
        case automation::VT_I1:
        case automation::VT_I2:
        case automation::VT_I4:
        case automation::VT_I8:
        case automation::VT_INT:
            return ValueClass::Signed;
        case automation::VT_UI1:
        case automation::VT_UI2:
        case automation::VT_UI4:
        case automation::VT_UI8:
        case automation::VT_UINT:
            return ValueClass::Unsigned;
        case automation::VT_R4:
        case automation::VT_R8:
            return ValueClass::Floating;
        case automation::VT_CY:
            return ValueClass::Money;
        case automation::VT_DECIMAL:
            return ValueClass::Decimal;
        default:
            return ValueClass::Other;
    }
}

bool IsNumeric(ValueClass c)
{
    return c == ValueClass::Signed || c == ValueClass::Unsigned || c == ValueClass::Floating ||
           c == ValueClass::Money || c == ValueClass::Decimal;
}

template <class T>
int Sign(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

int64_t SignedValue(const Variant& v)
{
    switch (v.vt()) {
        case automation::VT_I1:
            return v.cVal();
        case automation::VT_I2:
            return v.iVal();
        case automation::VT_I4:
            return v.lVal();
        case automation::VT_INT:
            return v.intVal();
        default:
            return v.llVal();
    }
}

uint64_t UnsignedValue(const Variant& v)
{
    switch (v.vt()) {
        case automation::VT_UI1:
            return v.bVal();
        case automation::VT_UI2:
            return v.uiVal();
        case automation::VT_UI4:
            return v.ulVal();
        case automation::VT_UINT:
            return v.uintVal();
        default:
            return v.ullVal();
    }
}

// An exact number: sign, a magnitude of at most 96 bits and a power-of-ten scale
// of at most 28. Integers, money and decimals all fit.
struct ExactNumber {
    bool negative = false;
    u128 magnitude = 0;
    int scale = 0;
};

u128 Pow10(int n)
{
    u128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

ExactNumber FromSigned(int64_t value, int scale)
{
    ExactNumber n;
    n.negative = value < 0;
    // Negating the most negative value would overflow; go through unsigned.
    n.magnitude = n.negative ? u128(~static_cast<uint64_t>(value)) + 1 : u128(value);
    n.scale = scale;
    return n;
}

ExactNumber ToExact(const Variant& v, ValueClass c)
{
    switch (c) {
        case ValueClass::Signed:
            return FromSigned(SignedValue(v), 0);
        case ValueClass::Unsigned:
            return ExactNumber{false, UnsignedValue(v), 0};
        case ValueClass::Money:
            return FromSigned(v.cyVal().int64, 4);
        default: {
            const automation::Decimal& d = v.decVal();
            return ExactNumber{d.negative, (u128(d.hi32) << 64) | d.lo64, d.scale};
        }
    }
}

int CompareMagnitudes(const ExactNumber& a, const ExactNumber& b)
{
    // Integer parts first, then the fractions brought to the larger scale; each step
    // stays below 2^96 x 10^0 or 10^28, so 128 bits never overflow.
    const u128 pa = Pow10(a.scale), pb = Pow10(b.scale);
    if (int c = Sign(a.magnitude / pa, b.magnitude / pb))
        return c;
    const int scale = std::max(a.scale, b.scale);
    const u128 fa = (a.magnitude % pa) * Pow10(scale - a.scale);
    const u128 fb = (b.magnitude % pb) * Pow10(scale - b.scale);
    return Sign(fa, fb);
}

int CompareExact(const ExactNumber& a, const ExactNumber& b)
{
    const bool aNeg = a.negative && a.magnitude != 0;
    const bool bNeg = b.negative && b.magnitude != 0;
    if (aNeg != bNeg)
        return aNeg ? -1 : 1;
    const int c = CompareMagnitudes(a, b);
    return aNeg ? -c : c;
}

double ToDouble(const Variant& v, ValueClass c)
{
    switch (c) {
        case ValueClass::Floating:
            return v.vt() == automation::VT_R4 ? static_cast<double>(v.fltVal()) : v.dblVal();
        case ValueClass::Signed:
            return static_cast<double>(SignedValue(v));
        case ValueClass::Unsigned:
            return static_cast<double>(UnsignedValue(v));
        default: {
            const ExactNumber n = ToExact(v, c);
            long double value =
                static_cast<long double>(n.magnitude) / static_cast<long double>(Pow10(n.scale));
            return static_cast<double>(n.negative ? -value : value);
        }
    }
}

// Two numbers of which one is a single compare at a single's precision: a single holds 0.1
// only as 0.100000001490116, and the 0.1 of another column must meet it, or a row that both
// sides hold would count as two one-sided rows. Rounding to the nearest single never reverses
// the order of two values, so each side's own order still holds for the merge.
double AtSinglePrecision(double value)
{
    return static_cast<double>(static_cast<float>(value));
}

int CompareNumbers(const Variant& a, ValueClass ca, const Variant& b, ValueClass cb)
{
    if (ca == ValueClass::Floating || cb == ValueClass::Floating) {
        double x = ToDouble(a, ca), y = ToDouble(b, cb);
        if (a.vt() == automation::VT_R4 || b.vt() == automation::VT_R4) {
            x = AtSinglePrecision(x);
            y = AtSinglePrecision(y);
        }
        return Sign(x, y);
    }
    return CompareExact(ToExact(a, ca), ToExact(b, cb));
}

// An automation date counts whole days from 1899-12-30 with the time of day as the
// absolute value of the fraction, so before the epoch the raw number does not grow
// with time (-1.75 is later than -1.25). This is the point on the time line.
double Chronological(double date)
{
    const double days = std::trunc(date);
    return days + std::fabs(date - days);
}

int CompareBinary(const automation::SafeArray& a, const automation::SafeArray& b)
{
    if (a.size() != b.size())
        return a.size() > b.size() ? 1 : -1;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a.data()[i] != b.data()[i])
            return int(a.data()[i]) - int(b.data()[i]);
    }
    return 0;
}

int CompareTexts(const std::wstring& a, const std::wstring& b)
{
    // wchar_t holds whole code points, so this is code-point order.
    return Sign(a.compare(b), 0);
}

std::wstring AsText(const Variant& v)
{
    if (v.vt() == automation::VT_BSTR)
        return v.bstrVal();
    return automation::ChangeType(v, automation::VT_BSTR, 0).bstrVal();
}

bool IsEmptyText(const Variant& v)
{
    return v.vt() == automation::VT_BSTR && v.bstrVal().empty();
}

int CompareAsText(const Variant& a, const Variant& b)
{
    return CompareTexts(AsText(a), AsText(b));
}

int CompareVariants(const Variant& a, const Variant& b, bool nullEqualsEmpty)
{
    const ValueClass ca = ClassOf(a), cb = ClassOf(b);

    if (ca == ValueClass::Null || cb == ValueClass::Null) {
        if (ca == cb)
            return 0;
        if (nullEqualsEmpty && (IsEmptyText(a) || IsEmptyText(b)))
            return 0;
        return ca == ValueClass::Null ? -1 : 1;
    }
    // Two values of one numeric type, the common case of a merge, need no conversion.
    if (a.vt() == b.vt()) {
        switch (a.vt()) {
            case automation::VT_I1:
            case automation::VT_I2:
            case automation::VT_I4:
            case automation::VT_I8:
            case automation::VT_INT:
                return Sign(SignedValue(a), SignedValue(b));
            case automation::VT_UI1:
            case automation::VT_UI2:
            case automation::VT_UI4:
            case automation::VT_UI8:
            case automation::VT_UINT:
                return Sign(UnsignedValue(a), UnsignedValue(b));
            case automation::VT_CY:  // one scale: the scaled integers compare alike
                return Sign(a.cyVal().int64, b.cyVal().int64);
            case automation::VT_R8:
                return Sign(a.dblVal(), b.dblVal());
            default:
                break;
        }
    }
    if (ca == ValueClass::Text && cb == ValueClass::Text)
        return CompareTexts(a.bstrVal(), b.bstrVal());
    if (ca == ValueClass::Date && cb == ValueClass::Date)
        return Sign(Chronological(a.date()), Chronological(b.date()));
    if (ca == ValueClass::Text || cb == ValueClass::Text || ca == ValueClass::Date ||
        cb == ValueClass::Date)
        return CompareAsText(a, b);
    if (IsNumeric(ca) && IsNumeric(cb))
        return CompareNumbers(a, ca, b, cb);
    if (ca == ValueClass::Binary || cb == ValueClass::Binary) {
        if (ca != cb)
            return ca == ValueClass::Binary ? 1 : -1;
        return CompareBinary(a.parray(), b.parray());
    }
    // A yes/no column is stored as -1 and 0 and sorted that way; its text form
    // ("True" < "False" would not hold) must not decide the order.
    if (a.vt() == automation::VT_BOOL && b.vt() == automation::VT_BOOL)
        return Sign(a.boolVal(), b.boolVal());
    return CompareAsText(a, b);
}

using Image = provider::RowImage;

// The automation value a compact slot stands for, as the provider would have read it.
Variant SlotVariant(const Image& image, const Image::Slot& slot)
{
    switch (slot.kind) {
        case Image::Null:
            return Variant::Null();
        case Image::Integer:
            if (slot.vt == automation::VT_UI1)
                return Variant(static_cast<uint8_t>(slot.i));
            if (slot.vt == automation::VT_I2)
                return Variant(static_cast<int16_t>(slot.i));
            return Variant(static_cast<int32_t>(slot.i));
        case Image::Bool:
            return Variant(slot.i != 0);
        case Image::Money:
            return Variant(automation::Currency{slot.i});
        case Image::Real:
            if (slot.vt == automation::VT_R4)
                return Variant(static_cast<float>(slot.r));
            return Variant(slot.r);
        case Image::Date:
            return Variant::FromDate(slot.r);
        case Image::Text:
            return Variant(automation::FromUtf8(image.TextOf(slot)));
        case Image::Value:
            break;
    }
    return image.ValueOf(slot);
}

int CompareUtf8(std::string_view a, std::string_view b)
{
    // Well-formed UTF-8 sorts bytewise in code-point order.
    const size_t n = std::min(a.size(), b.size());
    if (const int c = n ? std::memcmp(a.data(), b.data(), n) : 0)
        return c < 0 ? -1 : 1;
    return Sign(a.size(), b.size());
}

}  // namespace

int CellValue::Compare(const CellValue& other, bool nullEqualsEmpty) const
{
    return CompareVariants(value_, other.value_, nullEqualsEmpty);
}

automation::Variant CellValue::SlotValue(const provider::RowImage& image, size_t index)
{
    return SlotVariant(image, image.columns[index]);
}

int CellValue::CompareAsText(const CellValue& other) const
{
    return ::CompareAsText(value_, other.value_);
}

int CellValue::CompareSlots(const provider::RowImage& a, const provider::RowImage& b, size_t index,
                            bool nullEqualsEmpty)
{
    const Image::Slot& x = a.columns[index];
    const Image::Slot& y = b.columns[index];
    if (x.kind == Image::Value || y.kind == Image::Value || x.kind != y.kind) {
        // A value without a compact form, or a NULL: compared as the automation
        // values they stand for.
        automation::Variant madeX, madeY;
        const automation::Variant& vx =
            x.kind == Image::Value ? a.ValueOf(x) : (madeX = SlotVariant(a, x));
        const automation::Variant& vy =
            y.kind == Image::Value ? b.ValueOf(y) : (madeY = SlotVariant(b, y));
        return CompareVariants(vx, vy, nullEqualsEmpty);
    }
    switch (x.kind) {
        case Image::Null:
            return 0;
        case Image::Integer:
        case Image::Bool:
        case Image::Money:
            return Sign(x.i, y.i);
        case Image::Real:
            if (x.vt != y.vt)  // a single against a double
                return Sign(AtSinglePrecision(x.r), AtSinglePrecision(y.r));
            return Sign(x.r, y.r);
        case Image::Date:
            return Sign(Chronological(x.r), Chronological(y.r));
        case Image::Text:
            return CompareUtf8(a.TextOf(x), b.TextOf(y));
        case Image::Value:
            break;
    }
    return CompareVariants(a.ValueOf(x), b.ValueOf(y), nullEqualsEmpty);
}

std::wstring CellValue::ToText() const
{
    const ValueClass c = ClassOf(value_);
    if (c == ValueClass::Null)
        return L"NULL";
    if (c == ValueClass::Text)
        return value_.bstrVal();
    if (c == ValueClass::Binary)
        return L"[Binary Object]";
    std::wstring text =
        automation::ChangeTypeEx(value_, automation::LOCALE_INVARIANT, 0, automation::VT_BSTR)
            .bstrVal();
    if (c == ValueClass::Date)
        return L"#" + text + L"#";
    return text;
}

namespace {

// Locale-free, whatever locale the program runs in.
template <class T>
std::wstring SignificantDigits(T value)
{
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general,
                      std::numeric_limits<T>::max_digits10);
    return std::wstring(buffer, result.ptr);
}

}  // namespace

std::wstring CellValue::ToExactText() const
{
    switch (value_.vt()) {
        case automation::VT_DATE:
            return L"#" + automation::DateToInvariantTextWithMilliseconds(value_.date()) + L"#";
        case automation::VT_R8:
            return SignificantDigits(value_.dblVal());
        case automation::VT_R4:
            return SignificantDigits(value_.fltVal());
        default:
            return ToText();
    }
}
