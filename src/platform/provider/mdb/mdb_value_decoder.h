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

}  // namespace provider::mdb
