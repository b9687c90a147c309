// The native store's value forms. Each Access type has one stored form in
// SQLite, chosen so that SQLite's own comparison of stored values (BINARY
// collation, numbers numerically, NULL first) is the order the comparison's
// key rule expects:
//   TEXT, MEMO, GUID  TEXT (UTF-8; byte order is code-point order)
//   BYTE .. LONG, YESNO  INTEGER (YESNO as -1 / 0)
//   SINGLE, DOUBLE    REAL
//   CURRENCY          INTEGER, the value scaled by 10,000 (exact)
//   DATETIME          REAL, monotonic days (automation dates are not monotonic
//                     below zero: -1.25 is 1899-12-29 06:00, after -1.0)
//   DECIMAL           TEXT, a fixed-width order-preserving key (exact)
//   BINARY, LONGBINARY BLOB with a 4-byte big-endian length prefix, so that
//                     byte order sorts shorter values first
// Values inside expressions use SQLite's natural forms (numbers, text, blobs);
// dates are monotonic days there too.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/automation/variant.h"
#include "platform/provider/access_type.h"

struct sqlite3_stmt;
struct sqlite3_value;
struct sqlite3_context;

namespace provider {

// A value as SQLite holds it, without ownership (text is UTF-8).
struct SqlValue {
    enum Kind : uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Null;
    int64_t i = 0;
    double r = 0;
    std::string_view bytes;

    static SqlValue From(sqlite3_value* v);
};

// An owned value to hand back to SQLite.
struct StoredValue {
    SqlValue::Kind kind = SqlValue::Null;
    int64_t i = 0;
    double r = 0;
    std::string bytes;

    void ResultTo(sqlite3_context* ctx) const;
};

// Converts a value into the stored form of a column, checking it as Access
// does (kind, range, length). Raises ComError with a description that names
// the column. NULL stays NULL (NOT NULL is the table's own constraint).
void StoreValue(const SqlValue& in, const ColumnType& type, const std::wstring& column,
                StoredValue& out);

// The automation value of a stored column value (the hot path of reading).
automation::Variant ReadStored(sqlite3_stmt* stmt, int col, const ColumnType& type);
// The same, of a column's value as sqlite3_column_value gives it: read once
// per column, with no per-call checks (the caller serialises the connection).
automation::Variant ReadStored(sqlite3_value* value, const ColumnType& type);
// The automation value of an expression's natural value: INTEGER as VT_I4
// when it fits (else VT_R8), REAL as VT_R8, TEXT as VT_BSTR, BLOB as bytes.
automation::Variant ReadNatural(sqlite3_stmt* stmt, int col);
automation::Variant ReadNatural(sqlite3_value* value);
// As ReadStored and ReadNatural, into `out`, whose text memory a text value reuses.
void ReadStoredInto(sqlite3_value* value, const ColumnType& type, automation::Variant& out);
void ReadNaturalInto(sqlite3_value* value, automation::Variant& out);
// Binds a parameter as its natural value. Money and decimals go in as exact
// decimal text so that storing them loses nothing.
void BindNatural(sqlite3_stmt* stmt, int index, const automation::Variant& value);

// Dates.
double MonotonicFromOleDate(double ole);
double OleDateFromMonotonic(double days);
// Days since 1899-12-30 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);
void CivilFromDays(int64_t days, int64_t& y, unsigned& m, unsigned& d);
// Parses "M/D/YYYY [h:mm[:ss] [AM|PM]]", "YYYY-MM-DD [hh:mm[:ss]]" or a time
// alone into monotonic days; false when the text is no date.
bool ParseDateText(std::wstring_view text, double& days);
// US text of a monotonic date: "M/D/YYYY h:mm:ss AM", the date alone at
// midnight, the time alone on day zero.
std::wstring FormatDate(double days);
// Earliest and latest Access dates (years 100 and 9999), monotonic.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0 - 1.0 / 86400.0;

// Exact decimals.
std::string DecimalKey(const automation::Decimal& d);
automation::Decimal DecimalFromKey(std::string_view key, uint8_t scale);
// Parses decimal text ("-12.5", "1E+3") exactly, rounding half away from zero
// to `scale` digits; false when the text is no number or does not fit 96 bits.
bool ParseDecimal(std::string_view text, uint8_t scale, automation::Decimal& out);
std::string DecimalText(const automation::Decimal& d);
double DecimalToDouble(const automation::Decimal& d);
std::string CurrencyText(int64_t scaled);

// Text of a double as Basic writes it (15 significant digits).
std::string DoubleText(double v);

// Length-prefixed stored form of a byte string.
std::string BinaryKey(const void* data, size_t size);

}  // namespace provider
