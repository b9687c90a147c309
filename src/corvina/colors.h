// The program's colours are given as Windows COLORREF values (0x00BBGGRR); this is the one place
// that turns them into Qt colours.
#pragma once

#include <QColor>
#include <cstdint>

constexpr QRgb RgbFromColorRef(std::uint32_t colorRef)
{
    return qRgb(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

inline QColor ColorFromColorRef(std::uint32_t colorRef)
{
    return QColor(RgbFromColorRef(colorRef));
}
