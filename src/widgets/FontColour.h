#pragma once

#include "core/TColor.h"
#include "storage/TFont.h"

#include <QColor>
#include <QFont>

#include <optional>

// The stored colours and font as the widgets paint with them.

// Resolves a system colour through the application palette.
QColor resolveColour(TColor colour);
TColor fromQColor(const QColor &colour); // always an explicit colour

// The font as the editor takes it: face, point size and the four styles.
QFont toQFont(const TFont &stored);
// The text colour for the editor; empty for clWindowText, the editor's automatic colour.
std::optional<QColor> textColour(const TFont &stored);

// The contrast ratio of two colours by their relative luminance, from 1 to 21.
double contrastRatio(const QColor &a, const QColor &b);
