#include "storage/TWriter.h"

#include "core/Exceptions.h"
#include "storage/ValueTag.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>
#include <limits>

namespace {
const char StreamWriteError[] = "Stream write error";
const char StringTooLong[] = "String too long for the value stream";
constexpr qsizetype ShortStringMax = 255;
}

TWriter::TWriter(QIODevice *stream, int bufferSize)
    : m_stream(stream)
    , m_buffer(qMax(bufferSize, 1), Qt::Uninitialized)
{
}

TWriter::~TWriter()
{
    if (m_failed || m_used == 0)
        return;
    try {
        FlushBuffer();
    } catch (...) {
    }
}

void TWriter::PutString(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    if (size <= ShortStringMax) {
        writeByte(quint8(ValueTag::String));
        writeByte(quint8(size));
    } else {
        // The reader takes a negative length as malformed, so nothing past 2^31 - 1 is written.
        if (size > std::numeric_limits<qint32>::max())
            throw EWriteError(QString::fromLatin1(StringTooLong));
        writeByte(quint8(ValueTag::LongString));
        writeLittleEndian<qint32>(qint32(size));
    }
    writeBytes(bytes.data(), size);
}

void TWriter::PutInteger(qint32 value)
{
    if (value >= std::numeric_limits<qint8>::min() && value <= std::numeric_limits<qint8>::max()) {
        writeByte(quint8(ValueTag::Int8));
        writeLittleEndian<qint8>(qint8(value));
    } else if (value >= std::numeric_limits<qint16>::min() && value <= std::numeric_limits<qint16>::max()) {
        writeByte(quint8(ValueTag::Int16));
        writeLittleEndian<qint16>(qint16(value));
    } else {
        writeByte(quint8(ValueTag::Int32));
        writeLittleEndian<qint32>(value);
    }
}

void TWriter::PutListStart()
{
    writeByte(quint8(ValueTag::ListStart));
}

void TWriter::PutListEnd()
{
    writeByte(quint8(ValueTag::ListEnd));
}

void TWriter::FlushBuffer()
{
    if (m_failed)
        throw EWriteError(QString::fromLatin1(StreamWriteError));
    if (m_used == 0)
        return;
    const qint64 written = m_stream->write(m_buffer.constData(), m_used);
    if (written != m_used) {
        m_failed = true;
        throw EWriteError(QString::fromLatin1(StreamWriteError));
    }
    m_used = 0;
}

void TWriter::writeBytes(const char *data, qsizetype size)
{
    while (size > 0) {
        const qsizetype room = m_buffer.size() - m_used;
        const qsizetype chunk = qMin(room, size);
        std::memcpy(m_buffer.data() + m_used, data, size_t(chunk));
        m_used += chunk;
        data += chunk;
        size -= chunk;
        if (m_used == m_buffer.size())
            FlushBuffer();
    }
}

void TWriter::writeByte(quint8 byte)
{
    const char c = char(byte);
    writeBytes(&c, 1);
}

template<typename T> void TWriter::writeLittleEndian(T value)
{
    char bytes[sizeof(T)];
    qToLittleEndian<T>(value, bytes);
    writeBytes(bytes, sizeof(T));
}
