#include "storage/TFont.h"

#include <limits>

namespace {
constexpr int PointsPerInch = 72;
constexpr int CharsetMask = 0xFF;
}

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
