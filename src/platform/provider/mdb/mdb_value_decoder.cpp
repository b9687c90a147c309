// Replication IDs and decimals from their stored bytes.
#include "platform/provider/mdb/mdb_value_decoder.h"

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

}  // namespace provider::mdb
