#include "platform/TextEncoding.h"

#include <QStringDecoder>

#include <array>

namespace {

// 0x80 to 0x9F; the five bytes Windows-1252 leaves undefined map to the C1 control of the same value.
constexpr std::array<char16_t, 32> Windows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr unsigned char FirstHighByte = 0x80;
constexpr unsigned char LastHighByte = 0x9F;
constexpr unsigned char ContinuationMask = 0xC0;
constexpr unsigned char ContinuationBits = 0x80;

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & ContinuationMask) == ContinuationBits;
}

} // namespace

QByteArray TextEncoding::encode(const QString &text)
{
    return text.toUtf8();
}

QByteArray TextEncoding::encodePrefix(const QString &text, qsizetype maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype end = qMax<qsizetype>(maxBytes, 0);
    // bytes[end] is the first byte left out; back off while it continues a character.
    while (end > 0 && isContinuationByte(bytes.at(end)))
        --end;
    bytes.truncate(end);
    return bytes;
}

QString TextEncoding::decode(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    return decodeWindows1252(bytes);
}

QString TextEncoding::decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        *out++ = (byte >= FirstHighByte && byte <= LastHighByte) ? Windows1252High[byte - FirstHighByte]
                                                                   : char16_t(byte);
    }
    return text;
}
