#pragma once

#include <QColor>
#include <cstdint>

// A colour value as 0x00BBGGRR, the way colours are written throughout the program.
using TColor = std::uint32_t;

constexpr QRgb ColorToRgb(TColor Color)
{
    return 0xFF000000u | ((Color & 0xFFu) << 16) | (Color & 0xFF00u) | ((Color >> 16) & 0xFFu);
}

inline QColor ColorToQColor(TColor Color)
{
    return QColor::fromRgb(ColorToRgb(Color));
}
