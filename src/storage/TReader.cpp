#include "storage/TReader.h"

#include "core/Exceptions.h"
#include "storage/ValueTag.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {
const char InvalidPropertyValue[] = "Invalid property value";
const char StreamReadError[] = "Stream read error";

// A long string is read straight into its result, which grows by at most this much per read
// past what has already arrived, so a false length cannot make us allocate for it.
constexpr qsizetype MinStringChunk = 64 * 1024;

[[noreturn]] void throwInvalidValue()
{
    throw EReadError(QString::fromLatin1(InvalidPropertyValue));
}

[[noreturn]] void throwShortRead()
{
    throw EReadError(QString::fromLatin1(StreamReadError));
}
} // namespace

TReader::TReader(QIODevice *stream, int bufferSize)
    : m_stream(stream)
    , m_buffer(qMax(bufferSize, 1), Qt::Uninitialized)
{
}

QByteArray TReader::GetString()
{
    qint64 length = 0;
    switch (ValueTag(readTag())) {
    case ValueTag::String:
        length = readLittleEndian<quint8>();
        break;
    case ValueTag::LongString:
        length = readLittleEndian<qint32>();
        if (length < 0)
            throwInvalidValue();
        break;
    default:
        throwInvalidValue();
    }

    QByteArray result;
    qsizetype have = qMin<qsizetype>(m_end - m_pos, length);
    result.resize(have);
    std::memcpy(result.data(), m_buffer.constData() + m_pos, size_t(have));
    m_pos += have;

    // The rest comes from the device directly, in chunks no larger than what is already held.
    while (have < length) {
        const qsizetype chunk = qMin<qsizetype>(length - have, qMax(MinStringChunk, have));
        result.resize(have + chunk);
        const qint64 got = m_stream->read(result.data() + have, chunk);
        if (got <= 0)
            throwShortRead();
        have += got;
        result.resize(have);
    }
    return result;
}

qint32 TReader::GetInteger()
{
    switch (ValueTag(readTag())) {
    case ValueTag::Int8:
        return readLittleEndian<qint8>();
    case ValueTag::Int16:
        return readLittleEndian<qint16>();
    case ValueTag::Int32:
        return readLittleEndian<qint32>();
    default:
        throwInvalidValue();
    }
}

void TReader::ExpectListStart()
{
    if (ValueTag(readTag()) != ValueTag::ListStart)
        throwInvalidValue();
}

void TReader::ExpectListEnd()
{
    if (ValueTag(readTag()) != ValueTag::ListEnd)
        throwInvalidValue();
}

bool TReader::AtListEnd()
{
    return ValueTag(peekByte()) == ValueTag::ListEnd;
}

quint8 TReader::readTag()
{
    const quint8 tag = peekByte();
    ++m_pos;
    return tag;
}

quint8 TReader::peekByte()
{
    if (m_pos == m_end && !refill())
        throwShortRead();
    return quint8(m_buffer.at(m_pos));
}

void TReader::readExact(char *data, qsizetype size)
{
    while (size > 0) {
        if (m_pos == m_end && !refill())
            throwShortRead();
        const qsizetype chunk = qMin(size, m_end - m_pos);
        std::memcpy(data, m_buffer.constData() + m_pos, size_t(chunk));
        m_pos += chunk;
        data += chunk;
        size -= chunk;
    }
}

template<typename T> T TReader::readLittleEndian()
{
    char bytes[sizeof(T)];
    readExact(bytes, sizeof(T));
    return qFromLittleEndian<T>(bytes);
}

bool TReader::refill()
{
    const qint64 got = m_stream->read(m_buffer.data(), m_buffer.size());
    m_pos = 0;
    m_end = got > 0 ? got : 0;
    return m_end > 0;
}
