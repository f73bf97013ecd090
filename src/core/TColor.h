#pragma once

#include <QtGlobal>

// A colour as the settings store it: 0x00BBGGRR from 0 upwards, or a system colour
// (top byte 0x80, index in the low byte) resolved only when it is used.
using TColor = qint32;

constexpr TColor clYellow = 0x0000FFFF;
constexpr TColor clWindowText = qint32(0x80000008u);

bool isSystemColour(TColor colour);
// The system colour's index; meaningful only where isSystemColour holds.
quint32 systemColourIndex(TColor colour);
