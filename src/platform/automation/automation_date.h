// Automation dates: days since 1899-12-30 as a double, split into calendar
// parts and written or read as text in the two locales.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace automation {

// The valid automation dates: 1/1/100 (-657434) to 12/31/9999 (2958465).
constexpr double kMinDateDay = -657434;
constexpr double kMaxDateDay = 2958465;

// Calendar parts of an automation date (proleptic Gregorian calendar).
struct DateParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    friend bool operator==(const DateParts&, const DateParts&) = default;
};

// Splits a date, rounded to the nearest second. Before 1899-12-30 the whole
// part counts days backwards while the fraction still counts the time forward
// (-1.25 is 1899-12-29 06:00). Nothing outside the valid dates or for NaN.
std::optional<DateParts> SplitDate(double date);

// The automation date of calendar parts; nothing when a part is out of range
// (month 1-12, the month's days, year 100-9999, hour 0-23, minute and second 0-59).
std::optional<double> MakeDate(const DateParts& parts);

// The date as text in a locale: date alone when the time is midnight, time alone
// on 1899-12-30, both otherwise. User default (US English): "12/31/1999 6:05:00 PM";
// LOCALE_INVARIANT: "12/31/1999 18:05:00" with two-digit month and day.
// Raises ComError(DISP_E_OVERFLOW) outside the valid dates.
std::wstring DateToText(double date, Lcid lcid);

// The invariant text with the time to the millisecond, rounded to the nearest one:
// "12/31/1999 18:05:00.250"; the date alone at midnight, the time alone on 1899-12-30.
// Raises ComError(DISP_E_OVERFLOW) outside the valid dates.
std::wstring DateToInvariantTextWithMilliseconds(double date);

// Reads date text of either locale: "M/D/YYYY", "M-D-YYYY" or ISO "YYYY-MM-DD",
// each optionally followed by a time "h:mm[:ss[.fff]]" with an optional AM/PM (ISO
// also with "T" between), or a time alone. Two-digit years 00-29 are 2000-2029,
// 30-99 are 1930-1999. Nothing when the text is not such a date.
std::optional<double> DateFromText(std::wstring_view text);

}  // namespace automation
