#include "platform/automation/automation_date.h"

#include <cmath>
#include <cstdio>
#include <cwctype>

namespace automation {
namespace {

constexpr int64_t kDay0FromEpoch = -25569;  // 1899-12-30 counted from 1970-01-01
constexpr int kSecondsPerDay = 86400;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

int DaysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && year % 4 == 0 && (year % 100 != 0 || year % 400 == 0))
        return 29;
    return days[month - 1];
}

// The calendar day (serial) and the tick of the day, rounded to the tick: `ticksPerDay` is
// 86400 for seconds, 86400000 for milliseconds.
struct DayTick {
    int64_t day;
    int64_t tick;
};

std::optional<DayTick> SplitDayTick(double date, int64_t ticksPerDay)
{
    if (!(date > kMinDateDay - 1 && date < kMaxDateDay + 1))
        return std::nullopt;
    const double whole = std::trunc(date);
    auto day = static_cast<int64_t>(whole);
    auto tick = static_cast<int64_t>(
        std::llround(std::fabs(date - whole) * static_cast<double>(ticksPerDay)));
    if (tick >= ticksPerDay) {
        tick -= ticksPerDay;
        ++day;  // the next calendar day, whichever way the whole part counts
    }
    if (day < kMinDateDay || day > kMaxDateDay)
        return std::nullopt;
    return DayTick{day, tick};
}

// The calendar day (serial) and the second of the day, rounded to the second.
struct DaySecond {
    int64_t day;
    int second;
};

std::optional<DaySecond> SplitDaySecond(double date)
{
    const auto split = SplitDayTick(date, kSecondsPerDay);
    if (!split)
        return std::nullopt;
    return DaySecond{split->day, static_cast<int>(split->tick)};
}

// A small scanner over date text, case-insensitive.
class DateScanner {
public:
    explicit DateScanner(std::wstring_view text) : text_(text) {}

    void SkipBlanks()
    {
        while (pos_ < text_.size() && std::iswspace(static_cast<wint_t>(text_[pos_])))
            ++pos_;
    }
    bool AtEnd() const { return pos_ >= text_.size(); }
    wchar_t Peek() const { return AtEnd() ? L'\0' : text_[pos_]; }
    bool Take(wchar_t c)
    {
        if (Peek() != c)
            return false;
        ++pos_;
        return true;
    }
    // Up to `maxDigits` decimal digits; the count taken goes to `count`.
    std::optional<int> Number(int maxDigits, int* count = nullptr)
    {
        int value = 0;
        int n = 0;
        while (n < maxDigits && Peek() >= L'0' && Peek() <= L'9') {
            value = value * 10 + (Peek() - L'0');
            ++pos_;
            ++n;
        }
        if (count)
            *count = n;
        if (n == 0 || (Peek() >= L'0' && Peek() <= L'9'))
            return std::nullopt;
        return value;
    }
    // "AM"/"PM"/"A"/"P": +1 for PM, -1 for AM, 0 when absent.
    int Meridiem()
    {
        const wchar_t c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(Peek())));
        if (c != L'a' && c != L'p')
            return 0;
        ++pos_;
        if (std::towlower(static_cast<wint_t>(Peek())) == L'm')
            ++pos_;
        return c == L'p' ? 1 : -1;
    }

private:
    std::wstring_view text_;
    size_t pos_ = 0;
};

bool ParseTime(DateScanner& s, DateParts& parts, double& fraction, bool& meridiemSeen)
{
    const auto hour = s.Number(2);
    if (!hour)
        return false;
    parts.hour = *hour;
    if (s.Take(L':')) {
        const auto minute = s.Number(2);
        if (!minute)
            return false;
        parts.minute = *minute;
        if (s.Take(L':')) {
            const auto second = s.Number(2);
            if (!second)
                return false;
            parts.second = *second;
            if (s.Take(L'.')) {
                int digits = 0;
                const auto f = s.Number(9, &digits);
                if (!f)
                    return false;
                fraction = *f / std::pow(10.0, digits);
            }
        }
    }
    s.SkipBlanks();
    const int meridiem = s.Meridiem();
    meridiemSeen = meridiem != 0;
    if (meridiem == 0)
        return true;
    if (parts.hour > 12)
        return false;
    if (parts.hour == 12)
        parts.hour = 0;
    if (meridiem > 0)
        parts.hour += 12;
    return true;
}

int WindowedYear(int year, int digits)
{
    if (digits > 2)
        return year;
    return year < 30 ? 2000 + year : 1900 + year;
}

}  // namespace

std::optional<DateParts> SplitDate(double date)
{
    const auto ds = SplitDaySecond(date);
    if (!ds)
        return std::nullopt;
    DateParts parts;
    CivilFromDays(ds->day + kDay0FromEpoch, parts.year, parts.month, parts.day);
    parts.hour = ds->second / 3600;
    parts.minute = ds->second / 60 % 60;
    parts.second = ds->second % 60;
    return parts;
}

std::optional<double> MakeDate(const DateParts& p)
{
    if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
        p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
        p.minute > 59 || p.second < 0 || p.second > 59)
        return std::nullopt;
    const auto day = static_cast<double>(
        DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
        kDay0FromEpoch);
    const double time = (p.hour * 3600 + p.minute * 60 + p.second) / double(kSecondsPerDay);
    return day >= 0 ? day + time : day - time;
}

std::wstring DateToText(double date, Lcid lcid)
{
    const auto ds = SplitDaySecond(date);
    if (!ds)
        throw ComError(DISP_E_OVERFLOW,
                       L"Overflow: the date value is outside 1/1/100 to 12/31/9999.");
    const bool invariant = lcid == LOCALE_INVARIANT;
    char buffer[64];
    int n = 0;
    if (ds->day != 0) {
        int year, month, day;
        CivilFromDays(ds->day + kDay0FromEpoch, year, month, day);
        n = std::snprintf(buffer, sizeof buffer, invariant ? "%02d/%02d/%04d" : "%d/%d/%04d", month,
                          day, year);
    }
    if (ds->day == 0 || ds->second != 0) {
        const int hour = ds->second / 3600;
        const int minute = ds->second / 60 % 60;
        const int second = ds->second % 60;
        const char* separator = n > 0 ? " " : "";
        if (invariant) {
            n += std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n),
                               "%s%02d:%02d:%02d", separator, hour, minute, second);
        } else {
            const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
            n += std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n),
                               "%s%d:%02d:%02d %s", separator, hour12, minute, second,
                               hour < 12 ? "AM" : "PM");
        }
    }
    return std::wstring(buffer, buffer + n);
}

std::wstring DateToInvariantTextWithMilliseconds(double date)
{
    constexpr int64_t kMillisecondsPerDay = int64_t{kSecondsPerDay} * 1000;
    const auto split = SplitDayTick(date, kMillisecondsPerDay);
    if (!split)
        throw ComError(DISP_E_OVERFLOW,
                       L"Overflow: the date value is outside 1/1/100 to 12/31/9999.");
    char buffer[64];
    int n = 0;
    if (split->day != 0) {
        int year, month, day;
        CivilFromDays(split->day + kDay0FromEpoch, year, month, day);
        n = std::snprintf(buffer, sizeof buffer, "%02d/%02d/%04d", month, day, year);
    }
    if (split->day == 0 || split->tick != 0) {
        const auto second = static_cast<int>(split->tick / 1000);
        n += std::snprintf(buffer + n, sizeof buffer - static_cast<size_t>(n),
                           "%s%02d:%02d:%02d.%03d", n > 0 ? " " : "", second / 3600,
                           second / 60 % 60, second % 60, static_cast<int>(split->tick % 1000));
    }
    return std::wstring(buffer, buffer + n);
}

std::optional<double> DateFromText(std::wstring_view text)
{
    DateScanner s(text);
    s.SkipBlanks();
    DateParts parts;
    double fraction = 0;

    int firstDigits = 0;
    const auto first = s.Number(4, &firstDigits);
    if (!first)
        return std::nullopt;
    const wchar_t separator = s.Peek();
    if (separator == L'/' || separator == L'-') {
        s.Take(separator);
        int lastDigits = 0;
        const auto second = s.Number(2);
        if (!second || !s.Take(separator))
            return std::nullopt;
        const auto third = s.Number(4, &lastDigits);
        if (!third)
            return std::nullopt;
        if (firstDigits >= 3) {  // year first: ISO order
            if (lastDigits > 2)
                return std::nullopt;
            parts.year = *first, parts.month = *second, parts.day = *third;
        } else {
            parts.month = *first, parts.day = *second;
            parts.year = WindowedYear(*third, lastDigits);
        }
        const bool isoTime = firstDigits >= 3 && (s.Peek() == L'T' || s.Peek() == L't');
        if (isoTime)
            s.Take(s.Peek());
        else
            s.SkipBlanks();
        bool meridiem = false;
        if (!s.AtEnd() && !ParseTime(s, parts, fraction, meridiem))
            return std::nullopt;
    } else {
        // A time alone; a bare number is no time, "6 PM" is.
        if (firstDigits > 2)
            return std::nullopt;
        s = DateScanner(text);
        s.SkipBlanks();
        bool meridiem = false;
        if (!ParseTime(s, parts, fraction, meridiem) || (separator != L':' && !meridiem))
            return std::nullopt;
    }
    s.SkipBlanks();
    if (!s.AtEnd())
        return std::nullopt;
    auto date = MakeDate(parts);
    if (!date)
        return std::nullopt;
    if (fraction != 0)
        *date += (*date >= 0 ? fraction : -fraction) / kSecondsPerDay;
    return date;
}

}  // namespace automation
