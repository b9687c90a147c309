// Exact decimal numbers: the common ground of the integer, money, decimal and
// number-text conversions, so that each of them rounds once and exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace automation {

using Uint128 = unsigned __int128;

// value = (negative ? -1 : 1) * magnitude * 10^exponent. `sticky` records that
// non-zero digits below the magnitude's last digit were dropped (number text
// longer than the magnitude can hold): it only ever breaks a rounding tie.
struct ExactNumber {
    bool negative = false;
    Uint128 magnitude = 0;
    int exponent = 0;
    bool sticky = false;

    static ExactNumber FromInt(int64_t value);
    static ExactNumber FromUInt(uint64_t value);
    static ExactNumber FromCurrency(Currency value);
    // Raises ComError(E_INVALIDARG) for a scale above 28.
    static ExactNumber FromDecimal(const Decimal& value);
    // A finite double rounded to `digits` significant digits (15 for doubles and
    // 7 for singles, the precision automation keeps); nothing for NaN and infinities.
    static std::optional<ExactNumber> FromDouble(double value, int digits);

    bool IsZero() const { return magnitude == 0; }

    // The magnitude rounded half to even at 10^exponent; nothing when it exceeds 128 bits.
    std::optional<Uint128> MagnitudeAt(int exponent) const;

    // Rounded half to even to a whole number; nothing outside -2^127..2^127-1.
    std::optional<__int128> ToInteger() const;
    // Rounded half to even to four decimals; nothing outside the money range.
    std::optional<Currency> ToCurrency() const;
    // Rounded half to even to at most 28 decimals and 96 bits; nothing when the
    // whole part needs more than 96 bits.
    std::optional<Decimal> ToDecimal() const;
    // The nearest double / single (infinite when beyond their range).
    double ToDouble() const;
    float ToFloat() const;

    // Plain text: "-" sign, digits, "." and the fraction without trailing zeros.
    std::wstring ToText() const;
};

// Parses number text as both locales write it: blanks around, an optional
// leading sign, digits with "," thousands separators, a "." fraction and an
// "E" exponent. Nothing when the text is not a number.
std::optional<ExactNumber> ParseNumberText(std::wstring_view text);

// A double as automation writes it: at most `digits` significant digits, plain
// notation for exponents -5 < e < digits, otherwise "1.5E+21" / "1E-05".
// Negative zero gives "0".
std::wstring FormatDouble(double value, int digits);

}  // namespace automation
