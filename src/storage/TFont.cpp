#include "storage/TFont.h"

#include <QColor>
#include <QFont>

#include <limits>

namespace {
constexpr int PointsPerInch = 72;
constexpr int CharsetMask = 0xFF;
}

const char TFont::DefaultName[] = "MS Sans Serif";

qint32 mulDiv(qint32 a, qint32 b, qint32 c)
{
    if (c == 0)
        return -1;
    const qint64 product = qint64(a) * qint64(b);
    const bool negative = (product < 0) != (c < 0);
    const quint64 magnitude = product < 0 ? quint64(-product) : quint64(product);
    const quint64 divisor = c < 0 ? quint64(-qint64(c)) : quint64(c);
    const quint64 quotient = (magnitude + divisor / 2) / divisor;
    const qint64 result = negative ? -qint64(quotient) : qint64(quotient);
    if (result < std::numeric_limits<qint32>::min() || result > std::numeric_limits<qint32>::max())
        return -1;
    return qint32(result);
}

TFont::TFont(int ppi)
    : m_ppi(ppi)
    , m_height(-mulDiv(DefaultPointSize, ppi, PointsPerInch))
    , m_name(QString::fromLatin1(DefaultName))
{
}

void TFont::setCharset(int charset)
{
    m_charset = charset & CharsetMask;
}

void TFont::setName(const QString &name)
{
    if (name.isEmpty())
        return;
    m_name = name.left(MaxNameLength);
}

int TFont::size() const
{
    return -mulDiv(m_height, PointsPerInch, m_ppi);
}

void TFont::setSize(int points)
{
    m_height = -mulDiv(points, m_ppi, PointsPerInch);
}

QFont TFont::toQFont() const
{
    QFont font;
    font.setFamily(m_name);
    const int points = size();
    if (points > 0)
        font.setPointSize(points);
    else if (m_height > 0) // a cell height in pixels
        font.setPixelSize(m_height);
    font.setBold(m_style.testFlag(fsBold));
    font.setItalic(m_style.testFlag(fsItalic));
    font.setUnderline(m_style.testFlag(fsUnderline));
    font.setStrikeOut(m_style.testFlag(fsStrikeOut));
    return font;
}

std::optional<QColor> TFont::textColour() const
{
    if (m_color == clWindowText)
        return std::nullopt;
    return resolveColour(m_color);
}
