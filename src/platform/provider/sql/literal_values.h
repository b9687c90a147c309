// Typed values of Access SQL literals: numbers and #date# texts to automation
// values, and automation dates back to the text the printer writes between #.
#pragma once

#include <string>
#include <string_view>

#include "platform/automation/variant.h"

namespace provider::sql {

// Digits as the tokenizer reads them ("12", "1.50", ".5", "1e10"). False when the
// number cannot be represented (an exponent beyond the range of a double).
bool NumberLiteralValue(std::wstring_view text, automation::Variant& value);

// The text between the # marks: US order "M/D/YYYY" (or with '-'), ISO "YYYY-MM-DD",
// each with an optional time "H:MM[:SS] [AM|PM]", or a time alone. Two-digit years
// are read as Access reads them: 00-29 as 2000-2029, 30-99 as 1930-1999. False for
// anything that is no valid date or time.
bool DateLiteralValue(std::wstring_view text, double& date);

// "MM/DD/YYYY", "MM/DD/YYYY HH:MM:SS" or, on day zero, "HH:MM:SS": a text that
// DateLiteralValue reads back to the same value (to the second).
std::wstring FormatDateLiteral(double date);

// Plain decimal text of an automation decimal ("-12.50"), read back exactly.
std::wstring FormatDecimal(const automation::Decimal& value);

}  // namespace provider::sql
