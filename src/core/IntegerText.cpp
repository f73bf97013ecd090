#include "core/IntegerText.h"

namespace {

constexpr QChar Blank = u' ';
constexpr QChar HexMark = u'$';
constexpr qint64 DecimalMin = -2147483648LL;
constexpr qint64 DecimalMax = 2147483647LL;
constexpr quint64 HexMax = 0xFFFFFFFFULL;

int decimalDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') ? c.unicode() - u'0' : -1;
}

int hexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

std::optional<qint32> hexadecimal(const QString &text, qsizetype pos)
{
    if (pos >= text.size())
        return std::nullopt;
    quint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hexDigit(text.at(pos));
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + quint64(digit);
        if (value > HexMax)
            return std::nullopt;
    }
    return qint32(quint32(value));
}

std::optional<qint32> decimal(const QString &text, qsizetype pos)
{
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'-' || text.at(pos) == u'+')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    if (pos >= text.size())
        return std::nullopt;
    // Magnitude limit of the negative side; the positive one is checked at the end.
    const qint64 limit = -DecimalMin;
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = decimalDigit(text.at(pos));
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < DecimalMin || value > DecimalMax)
        return std::nullopt;
    return qint32(value);
}

} // namespace

std::optional<qint32> textToInteger(const QString &input)
{
    QString text = input;
    if (text.size() > 2 && text.at(0) == u'0' && (text.at(1) == u'x' || text.at(1) == u'X'))
        text.replace(0, 2, HexMark);

    qsizetype pos = 0;
    while (pos < text.size() && text.at(pos) == Blank)
        ++pos;
    if (pos >= text.size())
        return std::nullopt;

    if (text.at(pos) == HexMark)
        return hexadecimal(text, pos + 1);
    return decimal(text, pos);
}

qint32 parseInteger(const QString &text, qint32 defaultValue)
{
    return textToInteger(text).value_or(defaultValue);
}
