#include "core/Exceptions.h"
#include "storage/TWriter.h"
#include "support/ShortDevice.h"
#include "support/TestBytes.h"

#include <QBuffer>
#include <QTest>

#include <limits>

class TestTWriter : public QObject
{
    Q_OBJECT

private slots:
    void putString_data();
    void putString();
    void putInteger_data();
    void putInteger();
    void lists();
    void fullBlocksThenRest_data();
    void fullBlocksThenRest();
    void destructorHandsOverRest();
    void shortDevice_data();
    void shortDevice();
    void destructorSwallowsFailure();
};

void TestTWriter::putString_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("empty") << QByteArray() << hex("0600");
    QTest::newRow("Memo") << QByteArray("Memo") << hex("06044d656d6f");
    QTest::newRow("zero bytes inside") << QByteArray("a\0b", 3) << hex("0603610062");
    QTest::newRow("255 bytes, short form") << QByteArray(255, 'x') << hex("06ff") + QByteArray(255, 'x');
    QTest::newRow("256 bytes, long form") << QByteArray(256, 'y') << hex("0c00010000") + QByteArray(256, 'y');
    // 70000 = 0x00011170
    QTest::newRow("70000 bytes") << QByteArray(70000, 'z') << hex("0c70110100") + QByteArray(70000, 'z');
    QTest::newRow("high bytes") << hex("e980ff") << hex("0603e980ff");
}

void TestTWriter::putString()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TWriter writer(&out, 1024);
    writer.PutString(value);
    writer.FlushBuffer();
    QCOMPARE(out.data(), expected);
}

void TestTWriter::putInteger_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("0") << 0 << hex("0200");
    QTest::newRow("1") << 1 << hex("0201");
    QTest::newRow("-1") << -1 << hex("02ff");
    QTest::newRow("127") << 127 << hex("027f");
    QTest::newRow("-128") << -128 << hex("0280");
    QTest::newRow("128") << 128 << hex("038000");
    QTest::newRow("-129") << -129 << hex("037fff");
    QTest::newRow("32767") << 32767 << hex("03ff7f");
    QTest::newRow("-32768") << -32768 << hex("030080");
    QTest::newRow("32768") << 32768 << hex("0400800000");
    QTest::newRow("-32769") << -32769 << hex("04ff7fffff");
    QTest::newRow("max") << std::numeric_limits<qint32>::max() << hex("04ffffff7f");
    QTest::newRow("min") << std::numeric_limits<qint32>::min() << hex("0400000080");
}

void TestTWriter::putInteger()
{
    QFETCH(int, value);
    QFETCH(QByteArray, expected);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TWriter writer(&out, 1024);
    writer.PutInteger(value);
    writer.FlushBuffer();
    QCOMPARE(out.data(), expected);
}

void TestTWriter::lists()
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TWriter writer(&out, 1024);
    writer.PutListStart();
    writer.PutString("a");
    writer.PutListStart();
    writer.PutListEnd();
    writer.PutListEnd();
    writer.FlushBuffer();
    QCOMPARE(out.data(), hex("01060161010000"));
}

void TestTWriter::fullBlocksThenRest_data()
{
    QTest::addColumn<int>("payload");
    QTest::addColumn<QList<qint64>>("sizes");

    // A string of N > 255 bytes takes N + 5 bytes.
    QTest::newRow("under one block") << 300 << QList<qint64>{305};
    QTest::newRow("exactly one block") << 1019 << QList<qint64>{1024};
    QTest::newRow("one byte over") << 1020 << QList<qint64>{1024, 1};
    QTest::newRow("several blocks") << 2500 << QList<qint64>{1024, 1024, 457};
}

void TestTWriter::fullBlocksThenRest()
{
    QFETCH(int, payload);
    QFETCH(QList<qint64>, sizes);
    ShortDevice out(std::numeric_limits<qint64>::max());
    TWriter writer(&out, 1024);
    writer.PutString(QByteArray(payload, 'q'));
    writer.FlushBuffer();
    QCOMPARE(out.writeSizes, sizes);
    QCOMPARE(out.taken.size(), payload + 5);
}

void TestTWriter::destructorHandsOverRest()
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    {
        TWriter writer(&out, 1024);
        writer.PutInteger(1);
        QVERIFY(out.data().isEmpty());
    }
    QCOMPARE(out.data(), hex("0201"));
}

void TestTWriter::shortDevice_data()
{
    QTest::addColumn<qint64>("capacity");
    QTest::addColumn<bool>("failHard");
    QTest::addColumn<int>("payload");

    QTest::newRow("takes nothing") << qint64(0) << false << 10;
    QTest::newRow("one byte short at the end") << qint64(11) << false << 10;
    QTest::newRow("short in a full block") << qint64(1023) << false << 5000;
    QTest::newRow("short in a later block") << qint64(3000) << false << 5000;
    QTest::newRow("reports an error") << qint64(2048) << true << 5000;
}

void TestTWriter::shortDevice()
{
    QFETCH(qint64, capacity);
    QFETCH(bool, failHard);
    QFETCH(int, payload);
    ShortDevice out(capacity, failHard);
    TWriter writer(&out, 1024);
    try {
        writer.PutString(QByteArray(payload, 'w'));
        writer.FlushBuffer();
        QFAIL("no EWriteError");
    } catch (const EWriteError &e) {
        QCOMPARE(e.message(), QStringLiteral("Stream write error"));
    }
    // Once failed, the writer does not pretend to succeed later.
    QVERIFY_THROWS_EXCEPTION(EWriteError, writer.FlushBuffer());
}

void TestTWriter::destructorSwallowsFailure()
{
    ShortDevice out(0);
    bool threw = false;
    try {
        TWriter writer(&out, 1024);
        writer.PutString("pending");
    } catch (...) {
        threw = true;
    }
    QVERIFY(!threw);
    QCOMPARE(out.writeSizes.size(), 1);
}

QTEST_APPLESS_MAIN(TestTWriter)
#include "tst_twriter.moc"
