#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>

// A write-only device with room for capacity bytes in all, as a full disk is: a write
// takes what still fits and says so, or with failHard fails outright once it does not fit.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 capacity, bool failHard = false)
        : m_capacity(capacity)
        , m_failHard(failHard)
    {
        open(QIODevice::WriteOnly);
    }

    QByteArray taken;         // the bytes taken, in order
    QList<qint64> writeSizes; // the size each write asked for
    int writesAfterShort = 0; // writes asked for after one was refused or cut short

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *bytes, qint64 size) override
    {
        writeSizes.append(size);
        writesAfterShort += m_short ? 1 : 0;
        const qint64 room = m_capacity - taken.size();
        const qint64 n = qMin(room, size);
        m_short = m_short || n < size;
        if (n < size && m_failHard)
            return -1;
        taken.append(bytes, n);
        return n;
    }

private:
    qint64 m_capacity;
    bool m_failHard;
    bool m_short = false;
};
