// Stored and natural value forms of the native store, and the checks Access
// applies when a value goes into a column.
#include "platform/provider/value_codec.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <iterator>

#include "platform/automation/wide_text.h"

namespace provider {

using automation::ComError;
using automation::Variant;

namespace {

using u128 = unsigned __int128;
constexpr int kKeyIntDigits = 29;   // 2^96 < 10^29
constexpr int kKeyFracDigits = 28;  // the largest scale

u128 Mantissa(const automation::Decimal& d)
{
    return (static_cast<u128>(d.hi32) << 64) | d.lo64;
}

constexpr u128 kMaxMantissa = (static_cast<u128>(1) << 96) - 1;

u128 Pow10(int n)
{
    u128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

std::string MantissaDigits(u128 m)
{
    if (m == 0)
        return "0";
    char buf[48];
    int n = 0;
    while (m) {
        buf[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
        m /= 10;
    }
    std::string s(n, '0');
    for (int i = 0; i < n; ++i)
        s[i] = buf[n - 1 - i];
    return s;
}

[[noreturn]] void Fail(const std::wstring& text)
{
    throw ComError(automation::E_FAIL, text);
}

std::wstring Quoted(std::string_view utf8)
{
    std::wstring t = automation::FromUtf8(utf8);
    if (t.size() > 40)
        t = t.substr(0, 40) + L"...";
    return L"'" + t + L"'";
}

std::wstring NaturalText(const SqlValue& v)
{
    switch (v.kind) {
        case SqlValue::Integer:
            return std::to_wstring(v.i);
        case SqlValue::Real:
            return automation::FromUtf8(DoubleText(v.r));
        case SqlValue::Text:
            return Quoted(v.bytes);
        case SqlValue::Blob:
            return L"a binary value";
        default:
            return L"Null";
    }
}

[[noreturn]] void Mismatch(const SqlValue& in, const ColumnType& type, const std::wstring& col)
{
    Fail(L"Data type mismatch: " + NaturalText(in) + L" is not a valid " +
         AccessTypeName(type.type) + L" value for field '" + col + L"'.");
}

[[noreturn]] void OutOfRange(const SqlValue& in, const ColumnType& type, const std::wstring& col)
{
    Fail(L"Overflow: " + NaturalText(in) + L" is out of the range of the " +
         AccessTypeName(type.type) + L" field '" + col + L"'.");
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

// A number from a natural value (text parsed); false when it is none.
bool ToDouble(const SqlValue& in, double& out)
{
    switch (in.kind) {
        case SqlValue::Integer:
            out = static_cast<double>(in.i);
            return true;
        case SqlValue::Real:
            out = in.r;
            return true;
        case SqlValue::Text: {
            std::string s(Trim(in.bytes));
            if (s.empty())
                return false;
            char* end = nullptr;
            out = std::strtod(s.c_str(), &end);
            return end && *end == 0 && std::isfinite(out);
        }
        default:
            return false;
    }
}

bool TextBool(std::string_view s, int64_t& out)
{
    std::string t;
    for (char c : Trim(s))
        t += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (t == "true" || t == "yes" || t == "on") {
        out = -1;
        return true;
    }
    if (t == "false" || t == "no" || t == "off") {
        out = 0;
        return true;
    }
    return false;
}

// Whole numbers for BYTE/SHORT/LONG: fractions round half to even, as Access
// converts a double into an integer field.
void StoreInteger(const SqlValue& in, const ColumnType& type, const std::wstring& col, int64_t lo,
                  int64_t hi, StoredValue& out)
{
    int64_t v = 0;
    if (in.kind == SqlValue::Integer) {
        v = in.i;
    } else {
        double d = 0;
        if (!ToDouble(in, d)) {
            int64_t b = 0;
            if (in.kind == SqlValue::Text && TextBool(in.bytes, b))
                d = static_cast<double>(b);
            else
                Mismatch(in, type, col);
        }
        d = std::nearbyint(d);
        if (d < static_cast<double>(lo) || d > static_cast<double>(hi))
            OutOfRange(in, type, col);
        v = static_cast<int64_t>(d);
    }
    if (v < lo || v > hi)
        OutOfRange(in, type, col);
    out.kind = SqlValue::Integer;
    out.i = v;
}

bool ValidGuid(std::string_view s, std::string& canonical)
{
    s = Trim(s);
    if (s.size() == 38 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, 36);
    if (s.size() != 36)
        return false;
    canonical = "{";
    for (size_t i = 0; i < 36; ++i) {
        char c = s[i];
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash) {
            if (c != '-')
                return false;
        } else if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
        canonical += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    canonical += '}';
    return true;
}

size_t Utf8Length(std::string_view s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

void Put2(wchar_t* p, unsigned v)
{
    p[0] = static_cast<wchar_t>(L'0' + v / 10);
    p[1] = static_cast<wchar_t>(L'0' + v % 10);
}

}  // namespace

SqlValue SqlValue::From(sqlite3_value* v)
{
    SqlValue r;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            r.kind = Integer;
            r.i = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            r.kind = Real;
            r.r = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT: {
            r.kind = Text;
            auto p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            r.bytes = std::string_view(p ? p : "", sqlite3_value_bytes(v));
            break;
        }
        case SQLITE_BLOB: {
            r.kind = Blob;
            auto p = static_cast<const char*>(sqlite3_value_blob(v));
            r.bytes = std::string_view(p ? p : "", sqlite3_value_bytes(v));
            break;
        }
        default:
            break;
    }
    return r;
}

void StoredValue::ResultTo(sqlite3_context* ctx) const
{
    switch (kind) {
        case SqlValue::Null:
            sqlite3_result_null(ctx);
            break;
        case SqlValue::Integer:
            sqlite3_result_int64(ctx, i);
            break;
        case SqlValue::Real:
            sqlite3_result_double(ctx, r);
            break;
        case SqlValue::Text:
            sqlite3_result_text(ctx, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT);
            break;
        case SqlValue::Blob:
            sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT);
            break;
    }
}

void StoreValue(const SqlValue& in, const ColumnType& type, const std::wstring& col,
                StoredValue& out)
{
    out = StoredValue{};
    if (in.kind == SqlValue::Null)
        return;
    switch (type.type) {
        case AccessType::Text:
        case AccessType::Memo: {
            out.kind = SqlValue::Text;
            switch (in.kind) {
                case SqlValue::Text:
                    out.bytes.assign(in.bytes);
                    break;
                case SqlValue::Integer:
                    out.bytes = std::to_string(in.i);
                    break;
                case SqlValue::Real:
                    out.bytes = DoubleText(in.r);
                    break;
                default:
                    Mismatch(in, type, col);
            }
            if (type.type == AccessType::Text &&
                Utf8Length(out.bytes) > static_cast<size_t>(type.size))
                Fail(L"The field '" + col +
                     L"' is too small to accept the amount of data you "
                     L"attempted to add (at most " +
                     std::to_wstring(type.size) + L" characters). Try inserting less data.");
            return;
        }
        case AccessType::Byte:
            return StoreInteger(in, type, col, 0, 255, out);
        case AccessType::Short:
            return StoreInteger(in, type, col, -32768, 32767, out);
        case AccessType::Long:
            return StoreInteger(in, type, col, INT32_MIN, INT32_MAX, out);
        case AccessType::YesNo: {
            int64_t b = 0;
            double d = 0;
            if (in.kind == SqlValue::Text && TextBool(in.bytes, b)) {
            } else if (ToDouble(in, d)) {
                b = d != 0 ? -1 : 0;
            } else {
                Mismatch(in, type, col);
            }
            out.kind = SqlValue::Integer;
            out.i = b;
            return;
        }
        case AccessType::Single:
        case AccessType::Double: {
            double d = 0;
            if (!ToDouble(in, d))
                Mismatch(in, type, col);
            if (type.type == AccessType::Single) {
                // Every value that rounds to a finite float fits, the largest float's own
                // shortest text (3.4028235E+38) included: the bound is the midpoint between the
                // largest float and 2^128, which rounds to infinity. Text is rounded to float at
                // once, so no double on the way moves it across that bound.
                if (in.kind == SqlValue::Text) {
                    std::string s(Trim(in.bytes));
                    d = std::strtof(s.c_str(), nullptr);
                }
                if (!(std::fabs(d) < 0x1.ffffffp+127))
                    OutOfRange(in, type, col);
                d = static_cast<float>(d);
            }
            out.kind = SqlValue::Real;
            out.r = d;
            return;
        }
        case AccessType::Currency: {
            automation::Decimal dec;
            if (in.kind == SqlValue::Integer) {
                __int128 v = static_cast<__int128>(in.i) * 10000;
                if (v > INT64_MAX || v < INT64_MIN)
                    OutOfRange(in, type, col);
                out.kind = SqlValue::Integer;
                out.i = static_cast<int64_t>(v);
                return;
            }
            std::string text;
            if (in.kind == SqlValue::Real)
                text = DoubleText(in.r);
            else if (in.kind == SqlValue::Text)
                text = std::string(Trim(in.bytes));
            else
                Mismatch(in, type, col);
            if (!ParseDecimal(text, 4, dec)) {
                double d = 0;
                if (ToDouble(in, d))
                    OutOfRange(in, type, col);
                Mismatch(in, type, col);
            }
            u128 m = Mantissa(dec);
            u128 limit = dec.negative ? static_cast<u128>(INT64_MAX) + 1 : INT64_MAX;
            if (m > limit)
                OutOfRange(in, type, col);
            out.kind = SqlValue::Integer;
            out.i = dec.negative ? static_cast<int64_t>(-static_cast<__int128>(m))
                                 : static_cast<int64_t>(m);
            return;
        }
        case AccessType::DateTime: {
            double d = 0;
            if (in.kind == SqlValue::Text) {
                std::wstring w = automation::FromUtf8(in.bytes);
                if (!ParseDateText(w, d) && !ToDouble(in, d))
                    Mismatch(in, type, col);
            } else if (!ToDouble(in, d)) {
                Mismatch(in, type, col);
            }
            if (d < kMinDate || d >= kMaxDate + 1.0 / 86400.0)
                OutOfRange(in, type, col);
            out.kind = SqlValue::Real;
            out.r = d;
            return;
        }
        case AccessType::Decimal: {
            std::string text;
            if (in.kind == SqlValue::Integer)
                text = std::to_string(in.i);
            else if (in.kind == SqlValue::Real)
                text = DoubleText(in.r);
            else if (in.kind == SqlValue::Text)
                text = std::string(Trim(in.bytes));
            else
                Mismatch(in, type, col);
            automation::Decimal dec;
            if (!ParseDecimal(text, type.scale, dec)) {
                double d = 0;
                if (ToDouble(in, d))
                    OutOfRange(in, type, col);
                Mismatch(in, type, col);
            }
            if (Mantissa(dec) >= Pow10(type.precision ? type.precision : 28))
                Fail(
                    L"The decimal field's precision is too small to accept the numeric you "
                    L"attempted to add: " +
                    NaturalText(in) + L" does not fit DECIMAL(" + std::to_wstring(type.precision) +
                    L"," + std::to_wstring(type.scale) + L") of field '" + col + L"'.");
            out.kind = SqlValue::Text;
            out.bytes = DecimalKey(dec);
            return;
        }
        case AccessType::Guid: {
            if (in.kind != SqlValue::Text || !ValidGuid(in.bytes, out.bytes))
                Mismatch(in, type, col);
            out.kind = SqlValue::Text;
            return;
        }
        case AccessType::Binary:
        case AccessType::LongBinary: {
            std::string raw;
            if (in.kind == SqlValue::Blob) {
                raw.assign(in.bytes);
            } else if (in.kind == SqlValue::Text) {
                // Text goes into a binary field as its UTF-16 code units, as Access stores it.
                std::u16string u = automation::ToUtf16(automation::FromUtf8(in.bytes));
                raw.assign(reinterpret_cast<const char*>(u.data()), u.size() * 2);
            } else {
                Mismatch(in, type, col);
            }
            if (type.type == AccessType::Binary && raw.size() > static_cast<size_t>(type.size))
                Fail(L"The field '" + col +
                     L"' is too small to accept the amount of data you "
                     L"attempted to add (at most " +
                     std::to_wstring(type.size) + L" bytes). Try inserting less data.");
            out.kind = SqlValue::Blob;
            out.bytes = BinaryKey(raw.data(), raw.size());
            return;
        }
    }
}

// ---- reading ---------------------------------------------------------------

namespace {

void ValueTextInto(sqlite3_value* value, std::wstring& out)
{
    auto p = reinterpret_cast<const char*>(sqlite3_value_text(value));
    int n = sqlite3_value_bytes(value);
    // ASCII text is the common case, widened in one pass into a string made
    // at its final size; anything else takes the full decoder.
    out.resize(static_cast<size_t>(n));
    wchar_t* w = out.data();
    unsigned char high = 0;
    for (int i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(p[i]);
        high |= c;
        w[i] = static_cast<wchar_t>(c);
    }
    if (high >= 0x80)
        out = automation::FromUtf8(std::string_view(p, n));
}

std::wstring ValueText(sqlite3_value* value)
{
    std::wstring out;
    ValueTextInto(value, out);
    return out;
}

Variant BinaryFromKey(const void* p, int n)
{
    if (n < 4)
        return Variant(automation::SafeArray());
    auto b = static_cast<const uint8_t*>(p);
    return Variant(automation::SafeArray(b + 4, static_cast<size_t>(n - 4)));
}

}  // namespace

Variant ReadNatural(sqlite3_value* value)
{
    switch (sqlite3_value_type(value)) {
        case SQLITE_INTEGER: {
            int64_t v = sqlite3_value_int64(value);
            if (v >= INT32_MIN && v <= INT32_MAX)
                return Variant(static_cast<int32_t>(v));
            return Variant(static_cast<double>(v));
        }
        case SQLITE_FLOAT:
            return Variant(sqlite3_value_double(value));
        case SQLITE_TEXT:
            return Variant(ValueText(value));
        case SQLITE_BLOB: {
            auto p = static_cast<const uint8_t*>(sqlite3_value_blob(value));
            return Variant(automation::SafeArray(p, sqlite3_value_bytes(value)));
        }
        default:
            return Variant::Null();
    }
}

Variant ReadStored(sqlite3_value* value, const ColumnType& type)
{
    int kind = sqlite3_value_type(value);
    if (kind == SQLITE_NULL)
        return Variant::Null();
    switch (type.type) {
        case AccessType::Text:
        case AccessType::Memo:
        case AccessType::Guid:
            if (kind == SQLITE_TEXT)
                return Variant(ValueText(value));
            break;
        case AccessType::Byte:
            if (kind == SQLITE_INTEGER)
                return Variant(static_cast<uint8_t>(sqlite3_value_int(value)));
            break;
        case AccessType::Short:
            if (kind == SQLITE_INTEGER)
                return Variant(static_cast<int16_t>(sqlite3_value_int(value)));
            break;
        case AccessType::Long:
            if (kind == SQLITE_INTEGER)
                return Variant(static_cast<int32_t>(sqlite3_value_int(value)));
            break;
        case AccessType::YesNo:
            if (kind == SQLITE_INTEGER)
                return Variant(sqlite3_value_int(value) != 0);
            break;
        case AccessType::Single:
            if (kind == SQLITE_FLOAT || kind == SQLITE_INTEGER)
                return Variant(static_cast<float>(sqlite3_value_double(value)));
            break;
        case AccessType::Double:
            if (kind == SQLITE_FLOAT || kind == SQLITE_INTEGER)
                return Variant(sqlite3_value_double(value));
            break;
        case AccessType::Currency:
            if (kind == SQLITE_INTEGER)
                return Variant(automation::Currency{sqlite3_value_int64(value)});
            break;
        case AccessType::DateTime:
            if (kind == SQLITE_FLOAT || kind == SQLITE_INTEGER)
                return Variant::FromDate(OleDateFromMonotonic(sqlite3_value_double(value)));
            break;
        case AccessType::Decimal:
            if (kind == SQLITE_TEXT) {
                auto p = reinterpret_cast<const char*>(sqlite3_value_text(value));
                return Variant(
                    DecimalFromKey(std::string_view(p, sqlite3_value_bytes(value)), type.scale));
            }
            break;
        case AccessType::Binary:
        case AccessType::LongBinary:
            if (kind == SQLITE_BLOB)
                return BinaryFromKey(sqlite3_value_blob(value), sqlite3_value_bytes(value));
            break;
    }
    // A value that is not in its column's stored form (only possible when the
    // file was changed by another program) reads as what it is.
    return ReadNatural(value);
}

void ReadStoredInto(sqlite3_value* value, const ColumnType& type, Variant& out)
{
    const bool textType = type.type == AccessType::Text || type.type == AccessType::Memo ||
                          type.type == AccessType::Guid;
    if (textType && sqlite3_value_type(value) == SQLITE_TEXT)
        ValueTextInto(value, out.MakeText());
    else
        out = ReadStored(value, type);
}

void ReadNaturalInto(sqlite3_value* value, Variant& out)
{
    if (sqlite3_value_type(value) == SQLITE_TEXT)
        ValueTextInto(value, out.MakeText());
    else
        out = ReadNatural(value);
}

Variant ReadNatural(sqlite3_stmt* stmt, int col)
{
    return ReadNatural(sqlite3_column_value(stmt, col));
}

Variant ReadStored(sqlite3_stmt* stmt, int col, const ColumnType& type)
{
    return ReadStored(sqlite3_column_value(stmt, col), type);
}

void BindNatural(sqlite3_stmt* stmt, int index, const Variant& v)
{
    using namespace automation;
    switch (v.vt()) {
        case VT_EMPTY:
        case VT_NULL:
            sqlite3_bind_null(stmt, index);
            return;
        case VT_I1:
            sqlite3_bind_int64(stmt, index, v.cVal());
            return;
        case VT_UI1:
            sqlite3_bind_int64(stmt, index, v.bVal());
            return;
        case VT_I2:
            sqlite3_bind_int64(stmt, index, v.iVal());
            return;
        case VT_UI2:
            sqlite3_bind_int64(stmt, index, v.uiVal());
            return;
        case VT_I4:
            sqlite3_bind_int64(stmt, index, v.lVal());
            return;
        case VT_UI4:
            sqlite3_bind_int64(stmt, index, v.ulVal());
            return;
        case VT_INT:
            sqlite3_bind_int64(stmt, index, v.intVal());
            return;
        case VT_UINT:
            sqlite3_bind_int64(stmt, index, v.uintVal());
            return;
        case VT_I8:
            sqlite3_bind_int64(stmt, index, v.llVal());
            return;
        case VT_UI8:
            if (v.ullVal() > static_cast<uint64_t>(INT64_MAX))
                sqlite3_bind_double(stmt, index, static_cast<double>(v.ullVal()));
            else
                sqlite3_bind_int64(stmt, index, static_cast<int64_t>(v.ullVal()));
            return;
        case VT_BOOL:
            sqlite3_bind_int64(stmt, index, v.boolVal() ? -1 : 0);
            return;
        case VT_R4:
            sqlite3_bind_double(stmt, index, v.fltVal());
            return;
        case VT_R8:
            sqlite3_bind_double(stmt, index, v.dblVal());
            return;
        case VT_DATE:
            // As the automation number: where it meets a date field it is turned into the
            // field's own count of days like any other number.
            sqlite3_bind_double(stmt, index, v.date());
            return;
        case VT_CY: {
            std::string t = CurrencyText(v.cyVal().int64);
            sqlite3_bind_text(stmt, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            return;
        }
        case VT_DECIMAL: {
            std::string t = DecimalText(v.decVal());
            sqlite3_bind_text(stmt, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            return;
        }
        case VT_BSTR: {
            std::string t = ToUtf8(v.bstrVal());
            sqlite3_bind_text(stmt, index, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
            return;
        }
        default:
            if (v.IsByteArray()) {
                const SafeArray& a = v.parray();
                sqlite3_bind_blob(stmt, index, a.size() ? static_cast<const void*>(a.data()) : "",
                                  static_cast<int>(a.size()), SQLITE_TRANSIENT);
                return;
            }
            throw ComError(DISP_E_TYPEMISMATCH,
                           L"A parameter has a type the provider cannot use (" +
                               std::to_wstring(v.vt()) + L").");
    }
}

// ---- dates -----------------------------------------------------------------

double MonotonicFromOleDate(double ole)
{
    if (ole >= 0)
        return ole;
    double day = std::trunc(ole);
    return day + (day - ole);
}

double OleDateFromMonotonic(double days)
{
    if (days >= 0)
        return days;
    double day = std::floor(days);
    double frac = days - day;
    if (day == 0 || frac == 0)
        return day == 0 ? frac : day;
    return day - frac;
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468 + 25569;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468 - 25569;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

namespace {

class DateScanner {
public:
    explicit DateScanner(std::wstring_view t) : t_(t) {}
    void Blanks()
    {
        while (p_ < t_.size() && std::iswspace(t_[p_]))
            ++p_;
    }
    bool Number(int& v, int maxDigits)
    {
        size_t start = p_;
        v = 0;
        while (p_ < t_.size() && std::iswdigit(t_[p_]) &&
               p_ - start < static_cast<size_t>(maxDigits))
            v = v * 10 + (t_[p_++] - L'0');
        return p_ > start;
    }
    bool Char(wchar_t c)
    {
        if (p_ < t_.size() && t_[p_] == c) {
            ++p_;
            return true;
        }
        return false;
    }
    bool Word(const wchar_t* w)
    {
        size_t n = std::wcslen(w);
        if (p_ + n > t_.size())
            return false;
        for (size_t i = 0; i < n; ++i)
            if (std::towupper(t_[p_ + i]) != static_cast<wint_t>(w[i]))
                return false;
        p_ += n;
        return true;
    }
    bool End() const { return p_ == t_.size(); }
    size_t Pos() const { return p_; }
    void Reset(size_t p) { p_ = p; }

private:
    std::wstring_view t_;
    size_t p_ = 0;
};

bool ValidCivil(int y, int m, int d)
{
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1])
        return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

bool ScanTime(DateScanner& s, double& frac)
{
    int h = 0, mi = 0, se = 0;
    if (!s.Number(h, 2) || !s.Char(L':') || !s.Number(mi, 2))
        return false;
    if (s.Char(L':') && !s.Number(se, 2))
        return false;
    s.Blanks();
    if (s.Word(L"AM") || s.Word(L"A")) {
        if (h < 1 || h > 12)
            return false;
        h %= 12;
    } else if (s.Word(L"PM") || s.Word(L"P")) {
        if (h < 1 || h > 12)
            return false;
        h = h % 12 + 12;
    }
    if (h > 23 || mi > 59 || se > 59)
        return false;
    frac = (h * 3600 + mi * 60 + se) / 86400.0;
    return true;
}

}  // namespace

bool ParseDateText(std::wstring_view text, double& days)
{
    DateScanner s(text);
    s.Blanks();
    size_t start = s.Pos();
    int a = 0, b = 0, c = 0;
    double day = 0;
    bool haveDate = false;
    if (s.Number(a, 4) && (s.Char(L'/') || s.Char(L'-'))) {
        wchar_t sep = text[s.Pos() - 1];
        if (!s.Number(b, 2) || !s.Char(sep) || !s.Number(c, 4))
            return false;
        int y, m, d;
        if (sep == L'-' || a > 31) {
            y = a, m = b, d = c;  // ISO order
        } else {
            m = a, d = b, y = c;  // US order
        }
        if (y < 100 && sep == L'/')
            y += y < 30 ? 2000 : 1900;
        if (!ValidCivil(y, m, d))
            return false;
        day = static_cast<double>(DaysFromCivil(y, m, d));
        haveDate = true;
        s.Blanks();
        s.Char(L'T');
    } else {
        s.Reset(start);
    }
    double frac = 0;
    if (!s.End()) {
        if (!ScanTime(s, frac))
            return false;
        s.Blanks();
        if (!s.End())
            return false;
    } else if (!haveDate) {
        return false;
    }
    days = day + frac;
    return true;
}

std::wstring FormatDate(double days)
{
    double day = std::floor(days);
    int64_t secs = std::llround((days - day) * 86400.0);
    if (secs >= 86400) {
        day += 1;
        secs -= 86400;
    }
    std::wstring out;
    if (day != 0 || secs == 0) {
        int64_t y;
        unsigned m, d;
        CivilFromDays(static_cast<int64_t>(day), y, m, d);
        out = std::to_wstring(m) + L"/" + std::to_wstring(d) + L"/" + std::to_wstring(y);
    }
    if (secs != 0) {
        unsigned h = static_cast<unsigned>(secs / 3600), mi = (secs / 60) % 60, se = secs % 60;
        wchar_t buf[3] = {};
        if (!out.empty())
            out += L' ';
        out += std::to_wstring(h % 12 == 0 ? 12 : h % 12) + L":";
        Put2(buf, mi);
        out += std::wstring(buf, 2) + L":";
        Put2(buf, se);
        out += std::wstring(buf, 2) + (h < 12 ? L" AM" : L" PM");
    }
    return out;
}

// ---- decimals --------------------------------------------------------------

std::string DecimalKey(const automation::Decimal& d)
{
    u128 m = Mantissa(d);
    std::string digits = MantissaDigits(m);
    int scale = d.scale;
    if (static_cast<int>(digits.size()) <= scale)
        digits.insert(0, scale - digits.size() + 1, '0');
    std::string ip = digits.substr(0, digits.size() - scale);
    std::string fp = digits.substr(digits.size() - scale);
    std::string key(1 + kKeyIntDigits + kKeyFracDigits, '0');
    std::memcpy(&key[1 + kKeyIntDigits - ip.size()], ip.data(), ip.size());
    std::memcpy(&key[1 + kKeyIntDigits], fp.data(), fp.size());
    bool negative = d.negative && m != 0;
    key[0] = negative ? 'n' : 'p';
    if (negative) {
        for (size_t i = 1; i < key.size(); ++i)
            key[i] = static_cast<char>('9' - (key[i] - '0'));
    }
    return key;
}

automation::Decimal DecimalFromKey(std::string_view key, uint8_t scale)
{
    automation::Decimal d;
    if (key.size() != 1 + kKeyIntDigits + kKeyFracDigits)
        return d;
    bool negative = key[0] == 'n';
    // A value with more decimals than its column (a calculated field of a
    // genuine file gives each value its own scale) keeps them all.
    const char zero = negative ? '9' : '0';
    for (int i = kKeyIntDigits + kKeyFracDigits; i > kKeyIntDigits + scale; --i)
        if (key[i] != zero) {
            scale = static_cast<uint8_t>(i - kKeyIntDigits);
            break;
        }
    u128 m = 0;
    for (int i = 1; i <= kKeyIntDigits + scale; ++i) {
        int digit = key[i] - '0';
        m = m * 10 + static_cast<unsigned>(negative ? 9 - digit : digit);
    }
    d.scale = scale;
    d.negative = negative && m != 0;
    d.hi32 = static_cast<uint32_t>(m >> 64);
    d.lo64 = static_cast<uint64_t>(m);
    return d;
}

bool ParseDecimal(std::string_view text, uint8_t scale, automation::Decimal& out)
{
    text = Trim(text);
    bool negative = false;
    size_t p = 0;
    if (p < text.size() && (text[p] == '-' || text[p] == '+'))
        negative = text[p++] == '-';
    std::string digits;
    int fracDigits = 0;
    bool point = false, any = false;
    for (; p < text.size(); ++p) {
        char c = text[p];
        if (c >= '0' && c <= '9') {
            any = true;
            if (digits.empty() && c == '0' && !point)
                continue;
            digits += c;
            fracDigits += point;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any)
        return false;
    int exponent = 0;
    if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
        ++p;
        bool eneg = false;
        if (p < text.size() && (text[p] == '-' || text[p] == '+'))
            eneg = text[p++] == '-';
        if (p == text.size())
            return false;
        for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
            exponent = exponent * 10 + (text[p] - '0');
            if (exponent > 1000)
                return false;
        }
        if (eneg)
            exponent = -exponent;
    }
    if (p != text.size())
        return false;
    // value = digits * 10^(exponent - fracDigits); bring it to `scale` digits.
    int shift = exponent - fracDigits + scale;
    if (shift > 0) {
        digits.append(shift, '0');
    } else if (shift < 0) {
        size_t drop = static_cast<size_t>(-shift);
        bool roundUp = false;
        if (drop <= digits.size()) {
            roundUp = digits[digits.size() - drop] >= '5';
            digits.resize(digits.size() - drop);
        } else {
            digits.clear();
        }
        if (roundUp) {
            int i = static_cast<int>(digits.size()) - 1;
            while (i >= 0 && digits[i] == '9')
                digits[i--] = '0';
            if (i < 0)
                digits.insert(digits.begin(), '1');
            else
                ++digits[i];
        }
    }
    size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        digits = "0";
    else
        digits.erase(0, firstNonZero);
    if (digits.size() > 29)
        return false;
    u128 m = 0;
    for (char c : digits)
        m = m * 10 + static_cast<unsigned>(c - '0');
    if (m > kMaxMantissa)
        return false;
    out.scale = scale;
    out.negative = negative && m != 0;
    out.hi32 = static_cast<uint32_t>(m >> 64);
    out.lo64 = static_cast<uint64_t>(m);
    return true;
}

std::string DecimalText(const automation::Decimal& d)
{
    std::string digits = MantissaDigits(Mantissa(d));
    if (d.scale > 0) {
        if (digits.size() <= d.scale)
            digits.insert(0, d.scale - digits.size() + 1, '0');
        digits.insert(digits.size() - d.scale, 1, '.');
    }
    return (d.negative && Mantissa(d) != 0 ? "-" : "") + digits;
}

double DecimalToDouble(const automation::Decimal& d)
{
    // A mantissa and a power of ten that are both exact doubles give the correctly rounded
    // quotient, as reading the digits does; nearly every literal is one.
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d.hi32 == 0 && d.lo64 <= (uint64_t{1} << 53) && d.scale < std::size(kPowers)) {
        const double quotient = static_cast<double>(d.lo64) / kPowers[d.scale];
        return d.negative && d.lo64 != 0 ? -quotient : quotient;
    }
    return std::strtod(DecimalText(d).c_str(), nullptr);
}

std::string CurrencyText(int64_t scaled)
{
    automation::Decimal d;
    d.scale = 4;
    d.negative = scaled < 0;
    u128 m =
        scaled < 0 ? static_cast<u128>(-static_cast<__int128>(scaled)) : static_cast<u128>(scaled);
    d.hi32 = 0;
    d.lo64 = static_cast<uint64_t>(m);
    return DecimalText(d);
}

std::string DoubleText(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    return buf;
}

std::string BinaryKey(const void* data, size_t size)
{
    std::string key(4 + size, '\0');
    uint32_t n = static_cast<uint32_t>(size);
    key[0] = static_cast<char>(n >> 24);
    key[1] = static_cast<char>(n >> 16);
    key[2] = static_cast<char>(n >> 8);
    key[3] = static_cast<char>(n);
    if (size)
        std::memcpy(&key[4], data, size);
    return key;
}

}  // namespace provider
