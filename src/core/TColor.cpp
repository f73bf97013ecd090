#include "core/TColor.h"

namespace {
constexpr quint32 SystemColourMark = 0x80000000u;
constexpr quint32 TopByteMask = 0xFF000000u;
constexpr quint32 IndexMask = 0x000000FFu;
} // namespace

bool isSystemColour(TColor colour)
{
    return (quint32(colour) & TopByteMask) == SystemColourMark;
}

quint32 systemColourIndex(TColor colour)
{
    return quint32(colour) & IndexMask;
}
