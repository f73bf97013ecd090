#include "core/Exceptions.h"
#include "storage/TReader.h"
#include "storage/TWriter.h"
#include "support/TestBytes.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <limits>

namespace {

// Serves its data in pieces of at most `piece` bytes and counts the reads asked of it.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(QByteArray data, qint64 piece)
        : m_data(std::move(data))
        , m_piece(piece)
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    int reads = 0;
    qint64 largestRequest = 0;
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *out, qint64 size) override
    {
        ++reads;
        largestRequest = qMax(largestRequest, size);
        const qint64 n = std::min({size, m_piece, qint64(m_data.size()) - m_pos});
        memcpy(out, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_piece;
    qint64 m_pos = 0;
};

enum class Value { String, Integer, ListStart, ListEnd, AtListEnd };

} // namespace

Q_DECLARE_METATYPE(Value)

class TestTReader : public QObject
{
    Q_OBJECT

private slots:
    void getString_data();
    void getString();
    void getInteger_data();
    void getInteger();
    void failures_data();
    void failures();
    void lookAheadServedFromBuffer();
    void readsInPieces();
    void roundTripRandomStrings_data();
    void roundTripRandomStrings();
};

void TestTReader::getString_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << hex("0600") << QByteArray();
    QTest::newRow("short") << hex("06044d656d6f") << QByteArray("Memo");
    QTest::newRow("long form of a short string") << hex("0c040000004d656d6f") << QByteArray("Memo");
    QTest::newRow("long form, empty") << hex("0c00000000") << QByteArray();
    QTest::newRow("255 bytes") << hex("06ff") + QByteArray(255, 'x') << QByteArray(255, 'x');
    QTest::newRow("256 bytes") << hex("0c00010000") + QByteArray(256, 'y') << QByteArray(256, 'y');
    QTest::newRow("bytes after are left") << hex("060161ffff") << QByteArray("a");
}

void TestTReader::getString()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    TReader reader(&in, 1024);
    QCOMPARE(reader.GetString(), expected);
}

void TestTReader::getInteger_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");

    QTest::newRow("8-bit 1") << hex("0201") << 1;
    QTest::newRow("8-bit -1") << hex("02ff") << -1;
    QTest::newRow("8-bit -128") << hex("0280") << -128;
    QTest::newRow("16-bit 1") << hex("030100") << 1;
    QTest::newRow("16-bit -32768") << hex("030080") << -32768;
    QTest::newRow("16-bit -2") << hex("03feff") << -2;
    QTest::newRow("32-bit 1") << hex("0401000000") << 1;
    QTest::newRow("32-bit min") << hex("0400000080") << std::numeric_limits<qint32>::min();
    QTest::newRow("32-bit 305419896") << hex("0478563412") << 0x12345678;
}

void TestTReader::getInteger()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    TReader reader(&in, 1024);
    QCOMPARE(reader.GetInteger(), expected);
}

void TestTReader::failures_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("message");

    const QString invalid = QStringLiteral("Invalid property value");
    const QString shortRead = QStringLiteral("Stream read error");

    QTest::newRow("string: integer tag") << hex("0201") << Value::String << invalid;
    QTest::newRow("string: list tag") << hex("01") << Value::String << invalid;
    QTest::newRow("string: nothing") << QByteArray() << Value::String << shortRead;
    QTest::newRow("string: no length") << hex("06") << Value::String << shortRead;
    QTest::newRow("string: cut length") << hex("0c0500") << Value::String << shortRead;
    QTest::newRow("string: cut bytes") << hex("06056162") << Value::String << shortRead;
    QTest::newRow("string: long, cut bytes") << hex("0c00010000") + QByteArray(255, 'x') << Value::String
                                             << shortRead;
    QTest::newRow("string: negative length") << hex("0cffffffff41") << Value::String << invalid;
    QTest::newRow("string: length -2^31") << hex("0c00000080") << Value::String << invalid;
    QTest::newRow("string: 2 GB length in 20 bytes") << hex("0cffffff7f") + QByteArray(15, 'a') << Value::String
                                                     << shortRead;
    QTest::newRow("integer: string tag") << hex("060131") << Value::Integer << invalid;
    QTest::newRow("integer: 64-bit tag") << hex("130100000000000000") << Value::Integer << invalid;
    QTest::newRow("integer: nothing") << QByteArray() << Value::Integer << shortRead;
    QTest::newRow("integer: cut 16-bit") << hex("0301") << Value::Integer << shortRead;
    QTest::newRow("integer: cut 32-bit") << hex("04010000") << Value::Integer << shortRead;
    QTest::newRow("list start: end tag") << hex("00") << Value::ListStart << invalid;
    QTest::newRow("list start: nothing") << QByteArray() << Value::ListStart << shortRead;
    QTest::newRow("list end: start tag") << hex("01") << Value::ListEnd << invalid;
    QTest::newRow("list end: nothing") << QByteArray() << Value::ListEnd << shortRead;
    QTest::newRow("at list end: nothing") << QByteArray() << Value::AtListEnd << shortRead;
}

void TestTReader::failures()
{
    QFETCH(QByteArray, data);
    QFETCH(Value, value);
    QFETCH(QString, message);
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    TReader reader(&in, 1024);
    try {
        switch (value) {
        case Value::String:
            reader.GetString();
            break;
        case Value::Integer:
            reader.GetInteger();
            break;
        case Value::ListStart:
            reader.ExpectListStart();
            break;
        case Value::ListEnd:
            reader.ExpectListEnd();
            break;
        case Value::AtListEnd:
            reader.AtListEnd();
            break;
        }
        QFAIL("no EReadError");
    } catch (const EReadError &e) {
        QCOMPARE(e.message(), message);
    }
}

void TestTReader::lookAheadServedFromBuffer()
{
    TrickleDevice in(hex("010601610000"), 1024);
    TReader reader(&in, 1024);
    reader.ExpectListStart();
    QVERIFY(!reader.AtListEnd());
    QVERIFY(!reader.AtListEnd());
    QCOMPARE(reader.GetString(), QByteArray("a"));
    QVERIFY(reader.AtListEnd());
    QVERIFY(reader.AtListEnd());
    reader.ExpectListEnd();
    const int readsForAll = in.reads;
    // The second end tag is still in the buffer: looking at it asks nothing more of the device.
    QVERIFY(reader.AtListEnd());
    QCOMPARE(in.reads, readsForAll);
    QVERIFY(in.largestRequest <= 1024);
}

void TestTReader::readsInPieces()
{
    // A device may deliver fewer bytes than asked; only a read of nothing ends the data.
    const QByteArray body(3000, 'p');
    TrickleDevice in(hex("01") + hex("0cb80b0000") + body + hex("0603616263") + hex("00"), 7);
    TReader reader(&in, 1024);
    reader.ExpectListStart();
    QVERIFY(!reader.AtListEnd());
    QCOMPARE(reader.GetString(), body);
    QCOMPARE(reader.GetString(), QByteArray("abc"));
    QVERIFY(reader.AtListEnd());
    reader.ExpectListEnd();
    QVERIFY(in.largestRequest <= 64 * 1024);
}

void TestTReader::roundTripRandomStrings_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 20240607u})
        QTest::newRow(qPrintable(QString::number(seed))) << seed;
}

void TestTReader::roundTripRandomStrings()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QList<QByteArray> strings;
    QList<qint32> integers;
    const int count = random.bounded(1, 40);
    for (int i = 0; i < count; ++i) {
        // Lengths around the form boundary and the buffer size are picked more often.
        static const int edges[] = {0, 1, 254, 255, 256, 1023, 1024, 1025, 70000};
        const int length = random.bounded(3) == 0 ? edges[random.bounded(int(std::size(edges)))]
                                                  : random.bounded(70001);
        QByteArray bytes(length, Qt::Uninitialized);
        for (char &c : bytes)
            c = char(random.bounded(256));
        strings.append(bytes);
        integers.append(qint32(random.generate()));
    }

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        TWriter writer(&out, 1024);
        writer.PutListStart();
        for (int i = 0; i < count; ++i) {
            writer.PutString(strings.at(i));
            writer.PutInteger(integers.at(i));
        }
        writer.PutListEnd();
        writer.FlushBuffer();
    }

    QByteArray data = out.data();
    QBuffer in(&data);
    in.open(QIODevice::ReadOnly);
    TReader reader(&in, 1024);
    reader.ExpectListStart();
    for (int i = 0; i < count; ++i) {
        QVERIFY(!reader.AtListEnd());
        QCOMPARE(reader.GetString(), strings.at(i));
        QCOMPARE(reader.GetInteger(), integers.at(i));
    }
    QVERIFY(reader.AtListEnd());
    reader.ExpectListEnd();
    QCOMPARE(in.pos(), in.size());
}

QTEST_APPLESS_MAIN(TestTReader)
#include "tst_treader.moc"
