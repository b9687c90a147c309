// Functions registered on every store connection. Values arrive in their
// natural forms (dates as monotonic days) unless an argument says it is a
// stored form of some type.
#include "platform/provider/sql_functions.h"

#include <sqlite3.h>

#include <cmath>
#include <ctime>
#include <cwctype>
#include <limits>
#include <string>

#include "platform/automation/com_error.h"
#include "platform/automation/wide_text.h"
#include "platform/provider/value_codec.h"

namespace provider {

namespace {

using automation::FromUtf8;
using automation::ToUtf8;

void ResultText(sqlite3_context* ctx, const std::string& s)
{
    sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void ResultWide(sqlite3_context* ctx, const std::wstring& s)
{
    ResultText(ctx, ToUtf8(s));
}

void ResultError(sqlite3_context* ctx, const std::wstring& s)
{
    std::string m = ToUtf8(s);
    sqlite3_result_error(ctx, m.data(), static_cast<int>(m.size()));
}

bool IsNull(sqlite3_value* v)
{
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// A natural value as text, the way Access converts it in expressions.
std::string TextOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return DoubleText(sqlite3_value_double(v));
        default: {
            auto p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            return std::string(p ? p : "", sqlite3_value_bytes(v));
        }
    }
}

std::wstring WideOf(sqlite3_value* v)
{
    return FromUtf8(TextOf(v));
}

// A number; text is parsed. False when the value is no number.
bool NumberOf(sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            out = static_cast<double>(sqlite3_value_int64(v));
            return true;
        case SQLITE_FLOAT:
            out = sqlite3_value_double(v);
            return true;
        case SQLITE_TEXT: {
            std::string t = TextOf(v);
            char* end = nullptr;
            out = std::strtod(t.c_str(), &end);
            while (end && *end == ' ')
                ++end;
            return !t.empty() && end && *end == 0;
        }
        default:
            return false;
    }
}

bool NumberArg(sqlite3_context* ctx, sqlite3_value* v, double& out)
{
    if (NumberOf(v, out))
        return true;
    ResultError(
        ctx, L"Data type mismatch in criteria expression: '" + WideOf(v) + L"' is not a number.");
    return false;
}

bool DateArg(sqlite3_context* ctx, sqlite3_value* v, double& out)
{
    if (sqlite3_value_type(v) == SQLITE_TEXT && ParseDateText(WideOf(v), out))
        return true;
    if (NumberOf(v, out))
        return true;
    ResultError(ctx,
                L"Data type mismatch in criteria expression: '" + WideOf(v) + L"' is not a date.");
    return false;
}

bool TypeArg(sqlite3_value* v, ColumnType& t)
{
    return AccessTypeFromCode(sqlite3_value_int(v), t.type);
}

// A stored value of type `src` back to a natural value that StoreValue takes
// exactly (money and decimals as decimal text, binary without its prefix).
SqlValue Natural(sqlite3_value* v, int src, std::string& buffer)
{
    SqlValue in = SqlValue::From(v);
    if (in.kind == SqlValue::Null || src < 0)
        return in;
    switch (static_cast<AccessType>(src)) {
        case AccessType::Currency:
            if (in.kind == SqlValue::Integer) {
                buffer = CurrencyText(in.i);
                in.kind = SqlValue::Text;
                in.bytes = buffer;
            }
            break;
        case AccessType::Decimal:
            if (in.kind == SqlValue::Text) {
                buffer = DecimalText(DecimalFromKey(in.bytes, 28));
                in.kind = SqlValue::Text;
                in.bytes = buffer;
            }
            break;
        case AccessType::Binary:
        case AccessType::LongBinary:
            if (in.kind == SqlValue::Blob && in.bytes.size() >= 4)
                in.bytes.remove_prefix(4);
            break;
        default:
            break;
    }
    return in;
}

// acc_store(value, srcType, dstType, size, precision, scale, column)
// acc_key(value, message): the value, or the error `message` when it is Null.
void KeyFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (!IsNull(a[0]))
        return sqlite3_result_value(ctx, a[0]);
    const unsigned char* message = sqlite3_value_text(a[1]);
    sqlite3_result_error(ctx, message ? reinterpret_cast<const char*>(message) : "",
                         sqlite3_value_bytes(a[1]));
}

void StoreFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    ColumnType t;
    if (!TypeArg(a[2], t))
        return ResultError(ctx, L"Unknown column type.");
    t.size = sqlite3_value_int(a[3]);
    t.precision = static_cast<uint8_t>(sqlite3_value_int(a[4]));
    t.scale = static_cast<uint8_t>(sqlite3_value_int(a[5]));
    std::string buffer;
    const int src = sqlite3_value_int(a[1]);
    const bool fromDate = src == static_cast<int>(AccessType::DateTime);
    SqlValue in = Natural(a[0], src, buffer);
    // Dates are kept as days counted straight on; a number is an automation date, whose whole
    // part counts days backwards before 12/30/1899 while its fraction still counts the time
    // forward. So numbers turn into dates, and dates into numbers, by that rule.
    double number = 0;
    if (t.type == AccessType::DateTime && !fromDate) {
        bool numeric = in.kind == SqlValue::Integer || in.kind == SqlValue::Real;
        if (in.kind == SqlValue::Text) {
            std::wstring w = FromUtf8(in.bytes);
            numeric = !ParseDateText(w, number) && NumberOf(a[0], number);
        } else if (numeric) {
            number = in.kind == SqlValue::Integer ? static_cast<double>(in.i) : in.r;
        }
        if (numeric && std::isfinite(number)) {
            in.kind = SqlValue::Real;
            in.r = MonotonicFromOleDate(number);
        }
    } else if (fromDate && in.kind == SqlValue::Real && t.type != AccessType::DateTime &&
               t.type != AccessType::Text && t.type != AccessType::Memo) {
        in.r = OleDateFromMonotonic(in.r);
    }
    try {
        StoredValue out;
        // The column's name words only the error: it is read when there is one, and the value,
        // converted again, then fails the same way with the name in its description.
        static const std::wstring kUnnamed;
        try {
            StoreValue(in, t, kUnnamed, out);
        } catch (const automation::ComError&) {
            StoreValue(in, t, WideOf(a[6]), out);
        }
        out.ResultTo(ctx);
    } catch (const automation::ComError& e) {
        ResultError(ctx, e.Description());
    }
}

// acc_natural(value, srcType): a stored value in its natural form.
void NaturalFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    std::string buffer;
    int src = sqlite3_value_int(a[1]);
    SqlValue in = Natural(a[0], src, buffer);
    switch (in.kind) {
        case SqlValue::Null:
            sqlite3_result_null(ctx);
            return;
        case SqlValue::Integer:
            sqlite3_result_int64(ctx, in.i);
            return;
        case SqlValue::Real:
            sqlite3_result_double(ctx, in.r);
            return;
        case SqlValue::Blob:
            sqlite3_result_blob(ctx, in.bytes.data(), static_cast<int>(in.bytes.size()),
                                SQLITE_TRANSIENT);
            return;
        case SqlValue::Text:
            if (src == static_cast<int>(AccessType::Currency) ||
                src == static_cast<int>(AccessType::Decimal)) {
                sqlite3_result_double(ctx, std::strtod(std::string(in.bytes).c_str(), nullptr));
                return;
            }
            sqlite3_result_text(ctx, in.bytes.data(), static_cast<int>(in.bytes.size()),
                                SQLITE_TRANSIENT);
            return;
    }
}

void DateTextFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    if (DateArg(ctx, a[0], d))
        ResultWide(ctx, FormatDate(d));
}

// a & b: Null counts as empty text unless both are Null. Bytes joined to bytes
// (ChrB codes, binary values) stay bytes.
void ConcatFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]) && IsNull(a[1]))
        return sqlite3_result_null(ctx);
    auto bytesOrNull = [](sqlite3_value* v) {
        return IsNull(v) || sqlite3_value_type(v) == SQLITE_BLOB;
    };
    if (bytesOrNull(a[0]) && bytesOrNull(a[1])) {
        std::string joined;
        for (sqlite3_value* v : {a[0], a[1]})
            if (!IsNull(v))
                joined.append(static_cast<const char*>(sqlite3_value_blob(v)),
                              static_cast<size_t>(sqlite3_value_bytes(v)));
        return sqlite3_result_blob(ctx, joined.data(), static_cast<int>(joined.size()),
                                   SQLITE_TRANSIENT);
    }
    std::string s;
    if (!IsNull(a[0]))
        s = TextOf(a[0]);
    if (!IsNull(a[1]))
        s += TextOf(a[1]);
    ResultText(ctx, s);
}

void DivideFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]) || IsNull(a[1]))
        return sqlite3_result_null(ctx);
    double x = 0, y = 0;
    if (!NumberArg(ctx, a[0], x) || !NumberArg(ctx, a[1], y))
        return;
    if (y == 0)
        return ResultError(ctx, L"Division by zero.");
    sqlite3_result_double(ctx, x / y);
}

bool RoundedInteger(sqlite3_context* ctx, sqlite3_value* v, int64_t& out)
{
    double d = 0;
    if (sqlite3_value_type(v) == SQLITE_INTEGER) {
        out = sqlite3_value_int64(v);
        return true;
    }
    if (!NumberArg(ctx, v, d))
        return false;
    d = std::nearbyint(d);
    // Outside [-2^63, 2^63) the conversion would be undefined.
    if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
        ResultError(ctx, L"Overflow.");
        return false;
    }
    out = static_cast<int64_t>(d);
    return true;
}

// a \ b and a Mod b round both operands to whole numbers first, as Basic does. False when the
// result is already set (NULL, a conversion error or division by zero).
bool WholeDivisionOperands(sqlite3_context* ctx, sqlite3_value** a, int64_t& x, int64_t& y)
{
    if (IsNull(a[0]) || IsNull(a[1])) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!RoundedInteger(ctx, a[0], x) || !RoundedInteger(ctx, a[1], y))
        return false;
    if (y == 0) {
        ResultError(ctx, L"Division by zero.");
        return false;
    }
    return true;
}

void IntDivideFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t x = 0, y = 0;
    if (!WholeDivisionOperands(ctx, a, x, y))
        return;
    if (y == -1 && x == std::numeric_limits<int64_t>::min())  // the one quotient that overflows
        return ResultError(ctx, L"Overflow.");
    sqlite3_result_int64(ctx, x / y);
}

void ModFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t x = 0, y = 0;
    if (WholeDivisionOperands(ctx, a, x, y))
        sqlite3_result_int64(ctx, y == -1 ? 0 : x % y);  // x % -1 traps for the smallest x
}

void PowerFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]) || IsNull(a[1]))
        return sqlite3_result_null(ctx);
    double x = 0, y = 0;
    if (NumberArg(ctx, a[0], x) && NumberArg(ctx, a[1], y))
        sqlite3_result_double(ctx, std::pow(x, y));
}

// Access LIKE: * any run, ? one character, # one digit, [set], [!set];
// letters match without regard to case.
bool LikeMatch(const std::wstring& s, size_t si, const std::wstring& p, size_t pi)
{
    while (pi < p.size()) {
        wchar_t c = p[pi];
        if (c == L'*') {
            while (pi < p.size() && p[pi] == L'*')
                ++pi;
            if (pi == p.size())
                return true;
            for (size_t k = si; k <= s.size(); ++k)
                if (LikeMatch(s, k, p, pi))
                    return true;
            return false;
        }
        if (si >= s.size())
            return false;
        wchar_t ch = s[si];
        if (c == L'?') {
        } else if (c == L'#') {
            if (!std::iswdigit(ch))
                return false;
        } else if (c == L'[') {
            size_t close = p.find(L']', pi + 1);
            if (close == std::wstring::npos)
                return false;
            bool negate = pi + 1 < close && p[pi + 1] == L'!';
            bool found = false;
            wchar_t lc = static_cast<wchar_t>(std::towlower(ch));
            for (size_t k = pi + 1 + negate; k < close; ++k) {
                wchar_t lo = static_cast<wchar_t>(std::towlower(p[k]));
                if (k + 2 < close && p[k + 1] == L'-') {
                    wchar_t hi = static_cast<wchar_t>(std::towlower(p[k + 2]));
                    found = found || (lc >= lo && lc <= hi);
                    k += 2;
                } else {
                    found = found || lc == lo;
                }
            }
            if (found == negate)
                return false;
            pi = close;
        } else if (std::towlower(c) != std::towlower(ch)) {
            return false;
        }
        ++si;
        ++pi;
    }
    return si == s.size();
}

void LikeFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]) || IsNull(a[1]))
        return sqlite3_result_null(ctx);
    sqlite3_result_int(ctx, LikeMatch(WideOf(a[0]), 0, WideOf(a[1]), 0) ? 1 : 0);
}

// ---- Access built-in functions ----------------------------------------------

// The code argument of Chr and ChrB: a whole number from 0 to `highest`. False
// (with the error set) otherwise.
bool CodeArg(sqlite3_context* ctx, sqlite3_value* v, int64_t highest, const wchar_t* function,
             int64_t& code)
{
    if (IsNull(v)) {
        ResultError(ctx, L"Invalid use of Null.");
        return false;
    }
    if (!RoundedInteger(ctx, v, code))
        return false;
    if (code >= 0 && code <= highest)
        return true;
    ResultError(ctx, L"Invalid procedure call or argument: " + std::wstring(function) + L"(" +
                         std::to_wstring(code) + L").");
    return false;
}

// ChrB(code): the one byte of that code, as bytes.
void ChrBFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t code = 0;
    if (!CodeArg(ctx, a[0], 255, L"ChrB", code))
        return;
    const unsigned char byte = static_cast<unsigned char>(code);
    sqlite3_result_blob(ctx, &byte, 1, SQLITE_TRANSIENT);
}

void ChrFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t code = 0;
    if (!CodeArg(ctx, a[0], 0x10FFFF, L"Chr", code))
        return;
    ResultWide(ctx, std::wstring(1, static_cast<wchar_t>(code)));
}

void AscFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    std::wstring s = WideOf(a[0]);
    if (s.empty())
        return ResultError(ctx, L"Invalid procedure call or argument: Asc of an empty text.");
    sqlite3_result_int64(ctx, static_cast<int64_t>(s[0]));
}

void LenFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    sqlite3_result_int64(ctx, static_cast<int64_t>(WideOf(a[0]).size()));
}

bool CountArg(sqlite3_context* ctx, sqlite3_value* v, int64_t& n)
{
    if (!RoundedInteger(ctx, v, n))
        return false;
    if (n < 0) {
        ResultError(ctx, L"Invalid procedure call or argument: a negative length.");
        return false;
    }
    return true;
}

void LeftFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t n = 0;
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    if (!CountArg(ctx, a[1], n))
        return;
    std::wstring s = WideOf(a[0]);
    ResultWide(ctx, s.substr(0, static_cast<size_t>(std::min<int64_t>(n, s.size()))));
}

void RightFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    int64_t n = 0;
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    if (!CountArg(ctx, a[1], n))
        return;
    std::wstring s = WideOf(a[0]);
    size_t k = static_cast<size_t>(std::min<int64_t>(n, s.size()));
    ResultWide(ctx, s.substr(s.size() - k));
}

void MidFn(sqlite3_context* ctx, int argc, sqlite3_value** a)
{
    int64_t start = 0, n = INT64_MAX;
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    if (!RoundedInteger(ctx, a[1], start))
        return;
    if (start < 1)
        return ResultError(ctx, L"Invalid procedure call or argument: Mid start below 1.");
    if (argc > 2 && !CountArg(ctx, a[2], n))
        return;
    std::wstring s = WideOf(a[0]);
    if (static_cast<size_t>(start) > s.size())
        return ResultText(ctx, "");
    ResultWide(ctx, s.substr(static_cast<size_t>(start - 1),
                             static_cast<size_t>(std::min<int64_t>(n, s.size()))));
}

template <wint_t (*Fold)(wint_t)>
void CaseFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    std::wstring s = WideOf(a[0]);
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(Fold(c));
    ResultWide(ctx, s);
}

template <bool Left, bool Right>
void TrimFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    std::string s = TextOf(a[0]);
    size_t b = 0, e = s.size();
    if (Left)
        while (b < e && s[b] == ' ')
            ++b;
    if (Right)
        while (e > b && s[e - 1] == ' ')
            --e;
    ResultText(ctx, s.substr(b, e - b));
}

// InStr([start,] text, sought): 1-based, 0 when absent; letters without case.
void InStrFn(sqlite3_context* ctx, int argc, sqlite3_value** a)
{
    int64_t start = 1;
    int first = 0;
    if (argc == 3) {
        if (IsNull(a[0]))
            return ResultError(ctx, L"Invalid use of Null.");
        if (!RoundedInteger(ctx, a[0], start))
            return;
        if (start < 1)
            return ResultError(ctx, L"Invalid procedure call or argument: InStr start below 1.");
        first = 1;
    }
    if (IsNull(a[first]) || IsNull(a[first + 1]))
        return sqlite3_result_null(ctx);
    std::wstring s = WideOf(a[first]), t = WideOf(a[first + 1]);
    for (wchar_t& c : s)
        c = static_cast<wchar_t>(std::towlower(c));
    for (wchar_t& c : t)
        c = static_cast<wchar_t>(std::towlower(c));
    if (static_cast<size_t>(start) > s.size() + (t.empty() ? 1 : 0))
        return sqlite3_result_int(ctx, 0);
    size_t at = s.find(t, static_cast<size_t>(start - 1));
    sqlite3_result_int64(ctx, at == std::wstring::npos ? 0 : static_cast<int64_t>(at + 1));
}

double LocalNow()
{
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return static_cast<double>(DaysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday)) +
           (tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec) / 86400.0;
}

void NowFn(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, LocalNow());
}

void DateFn(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_double(ctx, std::floor(LocalNow()));
}

void TimeFn(sqlite3_context* ctx, int, sqlite3_value**)
{
    double n = LocalNow();
    sqlite3_result_double(ctx, n - std::floor(n));
}

template <int Part>
void DatePartFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    if (!DateArg(ctx, a[0], d))
        return;
    int64_t y;
    unsigned m, day;
    CivilFromDays(static_cast<int64_t>(std::floor(d)), y, m, day);
    sqlite3_result_int64(ctx, Part == 0 ? y : Part == 1 ? m : day);
}

void NzFn(sqlite3_context* ctx, int argc, sqlite3_value** a)
{
    if (!IsNull(a[0]))
        return sqlite3_result_value(ctx, a[0]);
    if (argc > 1)
        return sqlite3_result_value(ctx, a[1]);
    ResultText(ctx, "");
}

void CStrFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    ResultText(ctx, TextOf(a[0]));
}

// CLng and CInt round half to even and fail outside their range.
template <int64_t Lo, int64_t Hi>
void CIntegerFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    double d = 0;
    if (!NumberArg(ctx, a[0], d))
        return;
    d = std::nearbyint(d);
    if (d < static_cast<double>(Lo) || d > static_cast<double>(Hi))
        return ResultError(
            ctx, L"Overflow: " + FromUtf8(DoubleText(d)) + L" does not fit the conversion's type.");
    sqlite3_result_int64(ctx, static_cast<int64_t>(d));
}

void CDblFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    double d = 0;
    if (NumberArg(ctx, a[0], d))
        sqlite3_result_double(ctx, d);
}

void CCurFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    automation::Decimal dec;
    if (!ParseDecimal(TextOf(a[0]), 4, dec))
        return ResultError(ctx, L"Type mismatch: '" + WideOf(a[0]) + L"' is not a number.");
    ResultText(ctx, DecimalText(dec));
}

// acc_oledate(date): a date as the number it stands for.
void OleDateFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    if (DateArg(ctx, a[0], d))
        sqlite3_result_double(ctx, OleDateFromMonotonic(d));
}

// acc_monodate(value): a number as the date it stands for; date text is read as a date.
void MonoDateFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    if (sqlite3_value_type(a[0]) == SQLITE_TEXT && ParseDateText(WideOf(a[0]), d))
        return sqlite3_result_double(ctx, d);
    if (!NumberOf(a[0], d))
        return sqlite3_result_value(ctx, a[0]);  // the date function reports it
    sqlite3_result_double(ctx, MonotonicFromOleDate(d));
}

void CDateFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return ResultError(ctx, L"Invalid use of Null.");
    double d = 0;
    if (DateArg(ctx, a[0], d))
        sqlite3_result_double(ctx, d);
}

template <double (*F)(double)>
void RoundingFn(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    if (!NumberArg(ctx, a[0], d))
        return;
    double r = F(d);
    if (sqlite3_value_type(a[0]) == SQLITE_INTEGER)
        return sqlite3_result_int64(ctx, static_cast<int64_t>(r));
    sqlite3_result_double(ctx, r);
}

// Round(x[, places]): half to even, as Basic rounds.
void RoundFn(sqlite3_context* ctx, int argc, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return sqlite3_result_null(ctx);
    double d = 0;
    int64_t places = 0;
    if (!NumberArg(ctx, a[0], d))
        return;
    if (argc > 1 && !CountArg(ctx, a[1], places))
        return;
    if (places > 15)
        return sqlite3_result_double(ctx, d);
    double scale = std::pow(10.0, static_cast<double>(places));
    double r = std::nearbyint(d * scale) / scale;
    if (sqlite3_value_type(a[0]) == SQLITE_INTEGER)
        return sqlite3_result_int64(ctx, static_cast<int64_t>(r));
    sqlite3_result_double(ctx, r);
}

double Floor(double d)
{
    return std::floor(d);
}
double Trunc(double d)
{
    return std::trunc(d);
}
double Fabs(double d)
{
    return std::fabs(d);
}

// ---- aggregates --------------------------------------------------------------

struct FirstLast {
    sqlite3_value* value;
    bool set;
};

template <bool Last>
void FirstLastStep(sqlite3_context* ctx, int, sqlite3_value** a)
{
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(ctx, sizeof(FirstLast)));
    if (!s || (s->set && !Last))
        return;
    sqlite3_value_free(s->value);
    s->value = sqlite3_value_dup(a[0]);
    s->set = true;
}

void FirstLastFinal(sqlite3_context* ctx)
{
    auto* s = static_cast<FirstLast*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->value)
        return sqlite3_result_null(ctx);
    sqlite3_result_value(ctx, s->value);
    sqlite3_value_free(s->value);
    s->value = nullptr;
}

struct Moments {
    int64_t n;
    double mean;
    double m2;
};

void MomentsStep(sqlite3_context* ctx, int, sqlite3_value** a)
{
    if (IsNull(a[0]))
        return;
    double x = 0;
    if (!NumberOf(a[0], x))
        return ResultError(ctx, L"Data type mismatch in criteria expression.");
    auto* s = static_cast<Moments*>(sqlite3_aggregate_context(ctx, sizeof(Moments)));
    if (!s)
        return;
    // Welford's update keeps the variance exact enough without a second pass.
    ++s->n;
    double delta = x - s->mean;
    s->mean += delta / static_cast<double>(s->n);
    s->m2 += delta * (x - s->mean);
}

template <bool Population, bool Root>
void MomentsFinal(sqlite3_context* ctx)
{
    auto* s = static_cast<Moments*>(sqlite3_aggregate_context(ctx, 0));
    int64_t n = s ? s->n : 0;
    int64_t denominator = Population ? n : n - 1;
    if (denominator <= 0)
        return sqlite3_result_null(ctx);
    double v = s->m2 / static_cast<double>(denominator);
    sqlite3_result_double(ctx, Root ? std::sqrt(v) : v);
}

void CounterFn(sqlite3_context* ctx, int, sqlite3_value**)
{
    auto* state = static_cast<CounterState*>(sqlite3_user_data(ctx));
    if (!state->active)
        return ResultError(ctx, L"A counter was asked for outside an INSERT.");
    if (state->next > INT32_MAX || state->next < INT32_MIN)
        return ResultError(ctx, L"The AutoNumber field has run out of numbers.");
    sqlite3_result_int64(ctx, state->next);
    state->next += state->increment;
}

struct Scalar {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

const Scalar kScalars[] = {
    {"acc_store", 7, StoreFn, true},
    {"acc_key", 2, KeyFn, true},
    {"acc_natural", 2, NaturalFn, true},
    {"acc_datetext", 1, DateTextFn, true},
    {"acc_concat", 2, ConcatFn, true},
    {"acc_divide", 2, DivideFn, true},
    {"acc_intdivide", 2, IntDivideFn, true},
    {"acc_mod", 2, ModFn, true},
    {"acc_power", 2, PowerFn, true},
    {"acc_like", 2, LikeFn, true},
    {"acc_chr", 1, ChrFn, true},
    {"acc_chrb", 1, ChrBFn, true},
    {"acc_asc", 1, AscFn, true},
    {"acc_len", 1, LenFn, true},
    {"acc_left", 2, LeftFn, true},
    {"acc_right", 2, RightFn, true},
    {"acc_mid", 2, MidFn, true},
    {"acc_mid", 3, MidFn, true},
    {"acc_ucase", 1, CaseFn<std::towupper>, true},
    {"acc_lcase", 1, CaseFn<std::towlower>, true},
    {"acc_trim", 1, TrimFn<true, true>, true},
    {"acc_ltrim", 1, TrimFn<true, false>, true},
    {"acc_rtrim", 1, TrimFn<false, true>, true},
    {"acc_instr", 2, InStrFn, true},
    {"acc_instr", 3, InStrFn, true},
    {"acc_now", 0, NowFn, false},
    {"acc_date", 0, DateFn, false},
    {"acc_time", 0, TimeFn, false},
    {"acc_year", 1, DatePartFn<0>, true},
    {"acc_month", 1, DatePartFn<1>, true},
    {"acc_day", 1, DatePartFn<2>, true},
    {"acc_nz", 1, NzFn, true},
    {"acc_nz", 2, NzFn, true},
    {"acc_cstr", 1, CStrFn, true},
    {"acc_clng", 1, CIntegerFn<INT32_MIN, INT32_MAX>, true},
    {"acc_cint", 1, CIntegerFn<-32768, 32767>, true},
    {"acc_cdbl", 1, CDblFn, true},
    {"acc_ccur", 1, CCurFn, true},
    {"acc_cdate", 1, CDateFn, true},
    {"acc_oledate", 1, OleDateFn, true},
    {"acc_monodate", 1, MonoDateFn, true},
    {"acc_int", 1, RoundingFn<Floor>, true},
    {"acc_fix", 1, RoundingFn<Trunc>, true},
    {"acc_abs", 1, RoundingFn<Fabs>, true},
    {"acc_round", 1, RoundFn, true},
    {"acc_round", 2, RoundFn, true},
};

}  // namespace

void RegisterSqlFunctions(sqlite3* db, CounterState* counter)
{
    sqlite3_create_function_v2(db, "acc_counter", 0, SQLITE_UTF8, counter, CounterFn, nullptr,
                               nullptr, nullptr);
    for (const Scalar& s : kScalars) {
        int flags = SQLITE_UTF8 | (s.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, s.name, s.argc, flags, nullptr, s.fn, nullptr, nullptr,
                                   nullptr);
    }
    auto aggregate = [db](const char* name, void (*step)(sqlite3_context*, int, sqlite3_value**),
                          void (*final)(sqlite3_context*)) {
        sqlite3_create_function_v2(db, name, 1, SQLITE_UTF8, nullptr, nullptr, step, final,
                                   nullptr);
    };
    aggregate("acc_first", FirstLastStep<false>, FirstLastFinal);
    aggregate("acc_last", FirstLastStep<true>, FirstLastFinal);
    aggregate("acc_stdev", MomentsStep, MomentsFinal<false, true>);
    aggregate("acc_stdevp", MomentsStep, MomentsFinal<true, true>);
    aggregate("acc_var", MomentsStep, MomentsFinal<false, false>);
    aggregate("acc_varp", MomentsStep, MomentsFinal<true, false>);
}

}  // namespace provider
