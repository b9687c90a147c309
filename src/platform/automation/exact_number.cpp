#include "platform/automation/exact_number.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwctype>
#include <iterator>

namespace automation {
namespace {

constexpr int kMaxPower = 38;  // 10^38 < 2^128 < 10^39
// Number text keeps this many significant digits exactly, so that one sticky
// digit can still be appended without leaving 128 bits.
constexpr int kMaxTextDigits = 36;
constexpr Uint128 kDecimalLimit = Uint128(1) << 96;
constexpr int kMaxDecimalScale = 28;

constexpr std::array<Uint128, kMaxPower + 1> MakePowers()
{
    std::array<Uint128, kMaxPower + 1> powers{};
    Uint128 p = 1;
    for (auto& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}
constexpr auto kPowers = MakePowers();

// Decimal digits of a magnitude, most significant first ("0" for zero).
std::string Digits(Uint128 value)
{
    char buffer[40];
    int n = 0;
    do {
        buffer[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    return std::string(std::make_reverse_iterator(buffer + n), std::make_reverse_iterator(buffer));
}

// The text "digits e exponent" that from_chars rounds correctly, with the
// sticky digit appended so that a tie dropped with the tail is not taken as one.
std::string ScientificText(const ExactNumber& n)
{
    std::string text = Digits(n.magnitude);
    int exponent = n.exponent;
    if (n.sticky) {
        text += '1';
        --exponent;
    }
    text += 'e';
    text += std::to_string(exponent);
    return text;
}

// Shortest decimal digits of a finite double rounded to `precision` significant
// digits: the digit string (trailing zeros dropped) and the power of ten of its
// first digit. The rounding is exact (half to even on the binary value).
struct RoundedDigits {
    bool negative = false;
    std::string digits;  // empty for zero
    int firstExponent = 0;
};

RoundedDigits RoundDigits(double value, int precision)
{
    RoundedDigits r;
    r.negative = std::signbit(value);
    if (value == 0)
        return r;
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                std::chars_format::scientific, precision - 1);
    std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t e = text.find('e');
    for (char c : text.substr(0, e))
        if (c != '.')
            r.digits += c;
    std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(),
                    r.firstExponent);
    while (!r.digits.empty() && r.digits.back() == '0')
        r.digits.pop_back();
    return r;
}

}  // namespace

ExactNumber ExactNumber::FromInt(int64_t value)
{
    ExactNumber n;
    n.negative = value < 0;
    n.magnitude = value < 0 ? Uint128(0) - Uint128(static_cast<__int128>(value)) : Uint128(value);
    return n;
}

ExactNumber ExactNumber::FromUInt(uint64_t value)
{
    ExactNumber n;
    n.magnitude = value;
    return n;
}

ExactNumber ExactNumber::FromCurrency(Currency value)
{
    ExactNumber n = FromInt(value.int64);
    n.exponent = -4;
    return n;
}

ExactNumber ExactNumber::FromDecimal(const Decimal& value)
{
    if (value.scale > kMaxDecimalScale)
        throw ComError(E_INVALIDARG, L"Invalid decimal value: the scale is above 28.");
    ExactNumber n;
    n.negative = value.negative;
    n.magnitude = (Uint128(value.hi32) << 64) | value.lo64;
    n.exponent = -static_cast<int>(value.scale);
    return n;
}

std::optional<ExactNumber> ExactNumber::FromDouble(double value, int digits)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const RoundedDigits r = RoundDigits(value, digits);
    ExactNumber n;
    n.negative = r.negative;
    for (char c : r.digits)
        n.magnitude = n.magnitude * 10 + static_cast<unsigned>(c - '0');
    n.exponent = r.firstExponent - static_cast<int>(r.digits.size()) + 1;
    return n;
}

std::optional<Uint128> ExactNumber::MagnitudeAt(int target) const
{
    if (magnitude == 0)
        return Uint128(0);
    if (exponent >= target) {
        const int shift = exponent - target;
        if (shift > kMaxPower || magnitude > ~Uint128(0) / kPowers[shift])
            return std::nullopt;
        return magnitude * kPowers[shift];
    }
    const int shift = target - exponent;
    if (shift > kMaxPower)
        return Uint128(0);  // the magnitude is below 10^39, so the value is below a tenth
    const Uint128 divisor = kPowers[shift];
    Uint128 quotient = magnitude / divisor;
    const Uint128 remainder = magnitude % divisor;
    const Uint128 half = divisor / 2;
    if (remainder > half || (remainder == half && (sticky || (quotient & 1) != 0)))
        ++quotient;
    return quotient;
}

std::optional<__int128> ExactNumber::ToInteger() const
{
    const auto m = MagnitudeAt(0);
    const Uint128 limit = Uint128(1) << 127;
    if (!m || *m > limit || (*m == limit && !negative))
        return std::nullopt;
    if (*m == limit)
        return static_cast<__int128>(-(limit - 1)) - 1;
    return negative ? -static_cast<__int128>(*m) : static_cast<__int128>(*m);
}

std::optional<Currency> ExactNumber::ToCurrency() const
{
    const auto m = MagnitudeAt(-4);
    const Uint128 limit = Uint128(1) << 63;
    if (!m || *m > limit || (*m == limit && !negative))
        return std::nullopt;
    if (*m == limit)
        return Currency{INT64_MIN};
    const auto v = static_cast<int64_t>(*m);
    return Currency{negative ? -v : v};
}

std::optional<Decimal> ExactNumber::ToDecimal() const
{
    int scale = std::clamp(-exponent, 0, kMaxDecimalScale);
    auto m = MagnitudeAt(-scale);
    // Too many digits for 96 bits: give up decimals, rounding each time from
    // the exact value, until the whole part alone is left.
    while ((!m || *m >= kDecimalLimit) && scale > 0) {
        --scale;
        m = MagnitudeAt(-scale);
    }
    if (!m || *m >= kDecimalLimit)
        return std::nullopt;
    Decimal d;
    d.scale = static_cast<uint8_t>(scale);
    d.negative = negative && *m != 0;
    d.hi32 = static_cast<uint32_t>(*m >> 64);
    d.lo64 = static_cast<uint64_t>(*m);
    return d;
}

double ExactNumber::ToDouble() const
{
    // Fast path: both factors are exact doubles, so one operation rounds once.
    static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    double value;
    if (!sticky && magnitude < (Uint128(1) << 53) && exponent >= -22 && exponent <= 22) {
        const auto m = static_cast<double>(static_cast<uint64_t>(magnitude));
        value = exponent >= 0 ? m * kExactPowers[exponent] : m / kExactPowers[-exponent];
    } else {
        const std::string text = ScientificText(*this);
        value = 0;
        auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec == std::errc::result_out_of_range)
            value = exponent > 0 ? HUGE_VAL : 0.0;
    }
    return negative ? -value : value;
}

float ExactNumber::ToFloat() const
{
    const std::string text = ScientificText(*this);
    float value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        value = exponent > 0 ? HUGE_VALF : 0.0f;
    return negative ? -value : value;
}

std::wstring ExactNumber::ToText() const
{
    std::string digits = Digits(magnitude);
    std::string text;
    if (negative && magnitude != 0)
        text += '-';
    if (exponent >= 0) {
        text += digits;
        if (magnitude != 0)
            text.append(static_cast<size_t>(exponent), '0');
    } else {
        const auto fractionDigits = static_cast<size_t>(-exponent);
        if (digits.size() <= fractionDigits)
            digits.insert(0, fractionDigits - digits.size() + 1, '0');
        std::string fraction = digits.substr(digits.size() - fractionDigits);
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
        text += digits.substr(0, digits.size() - fractionDigits);
        if (!fraction.empty())
            text += '.' + fraction;
    }
    return std::wstring(text.begin(), text.end());
}

std::optional<ExactNumber> ParseNumberText(std::wstring_view text)
{
    size_t i = 0;
    const size_t n = text.size();
    auto isBlank = [](wchar_t c) { return std::iswspace(static_cast<wint_t>(c)) != 0; };
    auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    while (i < n && isBlank(text[i]))
        ++i;
    ExactNumber number;
    if (i < n && (text[i] == L'+' || text[i] == L'-'))
        number.negative = text[i++] == L'-';

    int digitCount = 0;      // significant digits seen, leading zeros excluded
    int droppedDigits = 0;   // significant whole-part digits beyond the kept ones
    int fractionDigits = 0;  // kept digits after the decimal point
    bool anyDigit = false;
    auto takeDigit = [&](wchar_t c, bool inFraction) {
        anyDigit = true;
        const unsigned d = static_cast<unsigned>(c - L'0');
        if (digitCount == 0 && d == 0) {
            if (inFraction)
                ++fractionDigits;  // a leading zero after the point still scales
            return;
        }
        if (digitCount < kMaxTextDigits) {
            number.magnitude = number.magnitude * 10 + d;
            ++digitCount;
            if (inFraction)
                ++fractionDigits;
        } else {
            number.sticky = number.sticky || d != 0;
            if (!inFraction)
                ++droppedDigits;
        }
    };
    for (; i < n; ++i) {
        if (isDigit(text[i]))
            takeDigit(text[i], false);
        else if (text[i] == L',' && anyDigit)
            continue;  // thousands separator, wherever the writer put it
        else
            break;
    }
    if (i < n && text[i] == L'.') {
        for (++i; i < n && isDigit(text[i]); ++i)
            takeDigit(text[i], true);
    }
    if (!anyDigit)
        return std::nullopt;
    long long exponent = 0;
    if (i < n && (text[i] == L'e' || text[i] == L'E')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < n && (text[j] == L'+' || text[j] == L'-'))
            negativeExponent = text[j++] == L'-';
        if (j >= n || !isDigit(text[j]))
            return std::nullopt;
        for (; j < n && isDigit(text[j]); ++j)
            exponent = std::min(exponent * 10 + (text[j] - L'0'), 1000000LL);
        if (negativeExponent)
            exponent = -exponent;
        i = j;
    }
    while (i < n && isBlank(text[i]))
        ++i;
    if (i != n)
        return std::nullopt;
    number.exponent = static_cast<int>(exponent + droppedDigits - fractionDigits);
    if (number.magnitude == 0)
        number.exponent = 0;
    return number;
}

std::wstring FormatDouble(double value, int digits)
{
    if (std::isnan(value))
        return L"NaN";
    if (std::isinf(value))
        return value < 0 ? L"-Infinity" : L"Infinity";
    const RoundedDigits r = RoundDigits(value, digits);
    if (r.digits.empty())
        return L"0";  // negative zero too
    std::string text = r.negative ? "-" : "";
    const int e = r.firstExponent;
    const auto count = static_cast<int>(r.digits.size());
    if (e < -4 || e >= digits) {
        text += r.digits[0];
        if (count > 1)
            text += '.' + r.digits.substr(1);
        char exponent[16];
        std::snprintf(exponent, sizeof exponent, "E%c%02d", e < 0 ? '-' : '+', std::abs(e));
        text += exponent;
    } else if (e >= 0) {
        if (count <= e + 1) {
            text += r.digits;
            text.append(static_cast<size_t>(e + 1 - count), '0');
        } else {
            text += r.digits.substr(0, static_cast<size_t>(e + 1));
            text += '.' + r.digits.substr(static_cast<size_t>(e + 1));
        }
    } else {
        text += "0.";
        text.append(static_cast<size_t>(-e - 1), '0');
        text += r.digits;
    }
    return std::wstring(text.begin(), text.end());
}

}  // namespace automation
