// Little-endian integers at a byte position, as every structure of the file
// format stores them.
#pragma once

#include <cstdint>

namespace provider::mdb {

inline uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

}  // namespace provider::mdb
