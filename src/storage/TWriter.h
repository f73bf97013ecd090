#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

class QIODevice;

// Writes tagged values to a device through a buffer; the device gets full buffers, then the rest.
class TWriter
{
public:
    static constexpr int DefaultBufferSize = 1024;

    TWriter(QIODevice *stream, int bufferSize = DefaultBufferSize);
    // Hands the rest of the buffer to the device as a last try; never throws.
    // Call FlushBuffer() first to learn whether the data arrived.
    ~TWriter();

    TWriter(const TWriter &) = delete;
    TWriter &operator=(const TWriter &) = delete;

    // The bytes as they are: short form up to 255 bytes, long form beyond.
    void PutString(QByteArrayView bytes);
    // The smallest of the 8-, 16- and 32-bit forms that holds the value.
    void PutInteger(qint32 value);
    void PutListStart();
    void PutListEnd();

    // Hands the buffered bytes to the device; throws EWriteError when it takes fewer.
    void FlushBuffer();

private:
    void writeBytes(const char *data, qsizetype size);
    void writeByte(quint8 byte);
    template<typename T> void writeLittleEndian(T value);

    QIODevice *m_stream;
    QByteArray m_buffer;
    qsizetype m_used = 0;
    bool m_failed = false;
};
