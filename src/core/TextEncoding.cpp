#include "core/TextEncoding.h"

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

    // One stray byte must not turn the valid UTF-8 around it into mojibake.
    text.clear();
    text.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = at;
        while (end < bytes.size()) {
            const qsizetype length = utf8SequenceLength(bytes, end);
            if (length == 0)
                break;
            end += length;
        }
        if (end > at) {
            text += QString::fromUtf8(bytes.sliced(at, end - at));
            at = end;
        } else {
            text += decodeWindows1252(bytes.sliced(at, 1));
            ++at;
        }
    }
    return text;
}

qsizetype TextEncoding::utf8SequenceLength(QByteArrayView bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const qsizetype left = bytes.size() - at;
    if (left <= 0)
        return 0;
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length;
    unsigned char low = 0x80, high = 0xBF; // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // overlong
        else if (lead == 0xED)
            high = 0x9F; // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90; // overlong
        else if (lead == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (left < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (!isContinuationByte(char(byte(i))))
            return 0;
    }
    return length;
}

QByteArray TextEncoding::cutBytes(const QByteArray &bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    qsizetype end = 0;
    while (end < maxBytes) {
        const qsizetype length = qMax<qsizetype>(utf8SequenceLength(bytes, end), 1);
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return bytes.left(end);
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
