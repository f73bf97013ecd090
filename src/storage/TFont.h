#pragma once

#include "core/DesignFont.h"
#include "core/TColor.h"

#include <QFlags>
#include <QString>
#include <QtGlobal>

enum TFontStyle {
    fsBold = 1,
    fsItalic = 2,
    fsUnderline = 4,
    fsStrikeOut = 8,
};
Q_DECLARE_FLAGS(TFontStyles, TFontStyle)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFontStyles)

// a * b / c on the exact product, rounded to the nearest integer with halves away from
// zero; -1 when c is 0 or the result does not fit. Sizes and heights convert this way
// so that a font setting written on Windows gives the same size here and back.
qint32 mulDiv(qint32 a, qint32 b, qint32 c);

// A font as the settings describe it. Size (points) and Height (pixels, negative for
// the character height) are two views of one quantity through the screen's ppi.
class TFont
{
public:
    static constexpr int DefaultCharset = 1;
    static constexpr int DefaultPointSize = 8;
    static constexpr int MaxNameLength = 31;
    static constexpr const char *DefaultName = DesignFontFace;

    explicit TFont(int ppi);

    int ppi() const { return m_ppi; }

    int charset() const { return m_charset; }
    void setCharset(int charset); // keeps the low 8 bits

    TColor color() const { return m_color; }
    void setColor(TColor color) { m_color = color; }

    int height() const { return m_height; }
    void setHeight(int height) { m_height = height; }

    QString name() const { return m_name; }
    void setName(const QString &name); // empty keeps the face; longer names are cut

    int size() const;
    void setSize(int points);

    TFontStyles style() const { return m_style; }
    void setStyle(TFontStyles style) { m_style = style; }

    friend bool operator==(const TFont &, const TFont &) = default;

private:
    int m_ppi;
    int m_charset = DefaultCharset;
    TColor m_color = clWindowText;
    int m_height = 0;
    QString m_name;
    TFontStyles m_style;
};
