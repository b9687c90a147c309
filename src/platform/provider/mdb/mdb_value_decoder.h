// Stored layouts of the fixed-size values that need more than a load:
// replication IDs and decimals.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation/variant.h"

namespace provider::mdb {

// A replication ID (16 bytes, a GUID in its memory layout) as ADO gives it:
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case.
std::wstring GuidText(const uint8_t* bytes);

// A stored decimal: a sign byte (0x80 = negative), then a 128-bit magnitude as
// four little-endian 32-bit words, the most significant first. False when the
// magnitude does not fit the 96 bits of an automation decimal.
bool DecimalFromBytes(const uint8_t* bytes, int scale, automation::Decimal& out);

// A calculated decimal, stored as an automation DECIMAL in memory: 2 reserved
// bytes, scale, sign (0x80 = negative), the high 32 bits, the low 64 bits.
// False when the scale is beyond 28.
bool DecimalFromAutomationBytes(const uint8_t* bytes, automation::Decimal& out);

// An extended date/time value (42 bytes of ASCII; see kMdbExtDateTime) as a
// VT_DATE where the automation date holds it exactly (whole milliseconds, from
// the year 100 on), else as its exact text "YYYY-MM-DD hh:mm:ss[.fffffff]". False when it is not
// such a value.
bool ExtendedDateValue(const uint8_t* bytes, size_t size, automation::Variant& out);

}  // namespace provider::mdb
