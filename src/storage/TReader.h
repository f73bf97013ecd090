#pragma once

#include <QByteArray>
#include <QtGlobal>

class QIODevice;

// Reads tagged values from a device through a buffer, strictly in order.
// Lengths in the data are never trusted: memory grows only with bytes actually read.
class TReader
{
public:
    static constexpr int DefaultBufferSize = 1024;

    TReader(QIODevice *stream, int bufferSize = DefaultBufferSize);

    TReader(const TReader &) = delete;
    TReader &operator=(const TReader &) = delete;

    // Throws EReadError "Invalid property value" for a value of another type or a negative
    // length, and EReadError "Stream read error" when the data ends before the value does.
    QByteArray GetString();
    // Any of the 8-, 16- and 32-bit forms, sign-extended.
    qint32 GetInteger();
    void ExpectListStart();
    void ExpectListEnd();
    // Whether the next tag ends the list; the tag is left unread.
    bool AtListEnd();

private:
    quint8 readTag();
    quint8 peekByte();
    void readExact(char *data, qsizetype size);
    template<typename T> T readLittleEndian();
    bool refill();

    QIODevice *m_stream;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
};
