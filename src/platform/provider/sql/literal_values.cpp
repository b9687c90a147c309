// Literal conversions without locale or C library parsing of dates: the Access date
// literal is always US order, whatever the user's settings.
#include "platform/provider/sql/literal_values.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace provider::sql {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y = yoe + era * 400 + (m <= 2);
}

const int64_t kAutomationEpoch = DaysFromCivil(1899, 12, 30);

int DaysInMonth(int64_t y, int64_t m)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        return 29;
    return kDays[m - 1];
}

struct Scanner {
    std::wstring_view s;
    size_t i = 0;

    void SkipSpaces()
    {
        while (i < s.size() && (s[i] == L' ' || s[i] == L'\t'))
            ++i;
    }
    bool AtEnd() const { return i >= s.size(); }
    wchar_t Peek() const { return i < s.size() ? s[i] : 0; }
    // Up to 9 decimal digits; the digit count comes back in `digits`.
    bool Number(int64_t& v, int& digits)
    {
        v = 0;
        digits = 0;
        while (i < s.size() && s[i] >= L'0' && s[i] <= L'9' && digits < 9) {
            v = v * 10 + (s[i] - L'0');
            ++i;
            ++digits;
        }
        return digits > 0 && !(i < s.size() && s[i] >= L'0' && s[i] <= L'9');
    }
    bool Word(const wchar_t* w)
    {
        size_t k = 0;
        while (w[k] != 0) {
            if (i + k >= s.size() || (s[i + k] | 0x20) != (w[k] | 0x20))
                return false;
            ++k;
        }
        i += k;
        return true;
    }
};

bool ReadTime(Scanner& sc, int64_t first, double& fraction)
{
    int64_t h = first, mi = 0, sec = 0;
    int digits = 0;
    if (sc.Peek() == L':') {
        ++sc.i;
        if (!sc.Number(mi, digits))
            return false;
        if (sc.Peek() == L':') {
            ++sc.i;
            if (!sc.Number(sec, digits))
                return false;
        }
    }
    sc.SkipSpaces();
    if (sc.Word(L"AM") || sc.Word(L"A")) {
        if (h < 1 || h > 12)
            return false;
        if (h == 12)
            h = 0;
    } else if (sc.Word(L"PM") || sc.Word(L"P")) {
        if (h < 1 || h > 12)
            return false;
        if (h != 12)
            h += 12;
    }
    if (h > 23 || mi > 59 || sec > 59)
        return false;
    fraction = static_cast<double>(h * 3600 + mi * 60 + sec) / 86400.0;
    return true;
}

}  // namespace

bool NumberLiteralValue(std::wstring_view text, automation::Variant& value)
{
    bool hasPoint = false, hasExponent = false;
    for (wchar_t c : text) {
        if (c == L'.')
            hasPoint = true;
        if (c == L'e' || c == L'E')
            hasExponent = true;
    }
    if (!hasExponent) {
        // Exact: an integer within Long, else a decimal whose digits fit the 96-bit
        // magnitude (29 digits at most; __int128 holds them without overflow).
        unsigned __int128 mantissa = 0;
        int significant = 0, scale = 0;
        bool afterPoint = false, exact = true;
        for (wchar_t c : text) {
            if (c == L'.') {
                afterPoint = true;
                continue;
            }
            if (mantissa != 0 || c != L'0')
                ++significant;
            if (significant > 29) {
                exact = false;
                break;
            }
            mantissa = mantissa * 10 + static_cast<unsigned>(c - L'0');
            if (afterPoint)
                ++scale;
        }
        if (exact && scale <= 28) {
            if (!hasPoint && mantissa <= 0x7FFFFFFF) {
                value = automation::Variant(static_cast<int32_t>(mantissa));
                return true;
            }
            if ((mantissa >> 96) == 0) {
                automation::Decimal d;
                d.scale = static_cast<uint8_t>(scale);
                d.hi32 = static_cast<uint32_t>(mantissa >> 64);
                d.lo64 = static_cast<uint64_t>(mantissa);
                value = automation::Variant(d);
                return true;
            }
        }
    }
    // The tokenizer passes only ASCII digits, '.', 'e' and signs; from_chars reads
    // them without the locale, which must not turn '.' into anything else.
    char narrow[400];
    if (text.size() >= sizeof narrow)
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        narrow[i] = static_cast<char>(text[i]);
    double d = 0;
    auto [end, error] = std::from_chars(narrow, narrow + text.size(), d);
    if (error != std::errc() || end != narrow + text.size() || !std::isfinite(d))
        return false;
    value = automation::Variant(d);
    return true;
}

bool DateLiteralValue(std::wstring_view text, double& date)
{
    Scanner sc{text};
    sc.SkipSpaces();
    int64_t a = 0;
    int digitsA = 0;
    if (!sc.Number(a, digitsA))
        return false;
    double fraction = 0;
    int64_t days = 0;
    const wchar_t sep = sc.Peek();
    if (sep == L'/' || sep == L'-') {
        int64_t b = 0, c = 0;
        int digitsB = 0, digitsC = 0;
        ++sc.i;
        if (!sc.Number(b, digitsB) || sc.Peek() != sep)
            return false;
        ++sc.i;
        if (!sc.Number(c, digitsC))
            return false;
        int64_t y, m, d;
        int yearDigits;
        if (digitsA >= 3) {
            y = a, m = b, d = c, yearDigits = digitsA;
        } else {
            m = a, d = b, y = c, yearDigits = digitsC;
        }
        if (yearDigits <= 2)
            y += y < 30 ? 2000 : 1900;
        if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m))
            return false;
        days = DaysFromCivil(y, m, d) - kAutomationEpoch;
        sc.SkipSpaces();
        if (!sc.AtEnd()) {
            int64_t h = 0;
            int digitsH = 0;
            if (!sc.Number(h, digitsH) || !ReadTime(sc, h, fraction))
                return false;
        }
    } else if (!ReadTime(sc, a, fraction)) {
        return false;
    }
    sc.SkipSpaces();
    if (!sc.AtEnd())
        return false;
    // Before day zero the time still counts forward from midnight: -1.25 is
    // 12/29/1899 06:00, so the fraction is subtracted from a negative day.
    date = days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
    return true;
}

std::wstring FormatDateLiteral(double date)
{
    double whole = std::trunc(date);
    double fraction = std::fabs(date - whole);
    int64_t seconds = std::llround(fraction * 86400.0);
    int64_t days = static_cast<int64_t>(whole);
    if (seconds >= 86400) {  // rounding reached the next midnight
        seconds -= 86400;
        days += date < 0 ? -1 : 1;
    }
    int64_t y, m, d;
    CivilFromDays(days + kAutomationEpoch, y, m, d);
    wchar_t buffer[48];
    const int h = static_cast<int>(seconds / 3600), mi = static_cast<int>(seconds / 60 % 60),
              s = static_cast<int>(seconds % 60);
    if (days == 0 && seconds != 0) {
        std::swprintf(buffer, 48, L"%02d:%02d:%02d", h, mi, s);
    } else if (seconds == 0) {
        std::swprintf(buffer, 48, L"%02d/%02d/%04d", static_cast<int>(m), static_cast<int>(d),
                      static_cast<int>(y));
    } else {
        std::swprintf(buffer, 48, L"%02d/%02d/%04d %02d:%02d:%02d", static_cast<int>(m),
                      static_cast<int>(d), static_cast<int>(y), h, mi, s);
    }
    return buffer;
}

std::wstring FormatDecimal(const automation::Decimal& value)
{
    unsigned __int128 mantissa = (static_cast<unsigned __int128>(value.hi32) << 64) | value.lo64;
    std::wstring digits;
    do {
        digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + static_cast<int>(mantissa % 10)));
        mantissa /= 10;
    } while (mantissa != 0);
    if (value.scale > 0) {
        if (digits.size() <= value.scale)
            digits.insert(0, value.scale + 1 - digits.size(), L'0');
        digits.insert(digits.size() - value.scale, 1, L'.');
    }
    if (value.negative)
        digits.insert(digits.begin(), L'-');
    return digits;
}

}  // namespace provider::sql
