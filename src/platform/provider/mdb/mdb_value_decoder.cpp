// Replication IDs and decimals from their stored bytes.
#include "platform/provider/mdb/mdb_value_decoder.h"

#include <cmath>
#include <cstdio>

#include "platform/provider/mdb/mdb_bytes.h"

namespace provider::mdb {

std::wstring GuidText(const uint8_t* b)
{
    static const wchar_t hex[] = L"0123456789ABCDEF";
    // Data1, Data2 and Data3 are little-endian, the last 8 bytes in order.
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::wstring s = L"{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            s += L'-';
        s += hex[b[order[i]] >> 4];
        s += hex[b[order[i]] & 0xF];
    }
    return s + L"}";
}

bool DecimalFromBytes(const uint8_t* p, int scale, automation::Decimal& out)
{
    if (Le32(p + 1) != 0 || scale < 0 || scale > 28)
        return false;
    out.negative = (p[0] & 0x80) != 0;
    out.scale = static_cast<uint8_t>(scale);
    out.hi32 = Le32(p + 5);
    out.lo64 = uint64_t(Le32(p + 9)) << 32 | Le32(p + 13);
    return true;
}

bool DecimalFromAutomationBytes(const uint8_t* p, automation::Decimal& out)
{
    if (p[2] > 28)
        return false;
    out.scale = p[2];
    out.negative = (p[3] & 0x80) != 0;
    out.hi32 = Le32(p + 4);
    out.lo64 = uint64_t(Le32(p + 12)) << 32 | Le32(p + 8);
    return true;
}

namespace {

// Days since 0001-01-01 of a day given as days since 0001-01-01 -> civil date
// (proleptic Gregorian, as the format counts).
void CivilFromOrdinal(int64_t ordinal, int64_t& y, unsigned& m, unsigned& d)
{
    const int64_t z = ordinal + 306;  // days since 0000-03-01
    const int64_t era = z / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<unsigned>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<unsigned>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

bool Digits(const uint8_t* p, size_t count, int64_t& out)
{
    out = 0;
    for (size_t i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}

constexpr int64_t kOleEpoch = 693593;  // 1899-12-30 in days since 0001-01-01
constexpr int64_t kTicksPerDay = 864000000000, kTicksPerMillisecond = 10000;
constexpr int64_t kFirstOleDay = -657434;  // 0100-01-01

}  // namespace

bool ExtendedDateValue(const uint8_t* p, size_t size, automation::Variant& out)
{
    int64_t days = 0, seconds = 0, fraction = 0;
    if (size < 41 || !Digits(p, 19, days) || p[19] != ':' || !Digits(p + 20, 12, seconds) ||
        !Digits(p + 32, 7, fraction) || p[39] != ':' || seconds >= 86400 ||
        days > 3652058)  // 9999-12-31
        return false;
    const int64_t ticks = seconds * 10000000 + fraction;
    const int64_t oleDay = days - kOleEpoch;
    const double time = static_cast<double>(ticks) / kTicksPerDay;
    const double ole = oleDay >= 0 ? oleDay + time : oleDay - time;
    // An automation date resolves a time of day to about a microsecond near
    // today (less in the far past): whole milliseconds come back exactly.
    if (oleDay >= kFirstOleDay && ticks % kTicksPerMillisecond == 0) {
        const double back = std::fabs(ole - static_cast<double>(oleDay));
        if (std::llround(back * kTicksPerDay / kTicksPerMillisecond) ==
            ticks / kTicksPerMillisecond) {
            out = automation::Variant::FromDate(ole);
            return true;
        }
    }
    int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromOrdinal(days, y, m, d);
    char text[48];
    int len = std::snprintf(text, sizeof text, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                            static_cast<long long>(y), m, d, static_cast<long long>(seconds / 3600),
                            static_cast<long long>(seconds / 60 % 60),
                            static_cast<long long>(seconds % 60));
    if (fraction != 0)
        std::snprintf(text + len, sizeof text - len, ".%07lld", static_cast<long long>(fraction));
    out = automation::Variant(std::wstring(text, text + std::char_traits<char>::length(text)));
    return true;
}

}  // namespace provider::mdb
