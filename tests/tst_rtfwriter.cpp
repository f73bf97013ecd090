// The RTF writer on its own: escaping, the tables and run formats, and a device that
// takes less than it is given.

#include "text/RtfWriter.h"

#include <QBuffer>
#include <QTest>

namespace {

// Takes at most limit bytes in all; past that every write falls short.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 limit) : m_limit(limit) { open(QIODevice::WriteOnly); }
    QByteArray taken;
    int writesAfterShort = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        writesAfterShort += m_short;
        const qint64 n = std::min(size, m_limit - qint64(taken.size()));
        taken.append(data, n);
        m_short = m_short || n < size;
        return n;
    }

private:
    qint64 m_limit;
    bool m_short = false;
};

using Runs = QList<std::pair<QString, RtfCharFormat>>; // "\n" stands for a paragraph break

RtfCharFormat face(const char *name)
{
    RtfCharFormat format;
    format.face = QString::fromLatin1(name);
    format.halfPoints = 20;
    return format;
}

bool write(QIODevice *device, const Runs &runs)
{
    RtfWriter writer(device);
    for (const auto &run : runs)
        writer.addFormat(run.second);
    writer.begin();
    for (const auto &[text, format] : runs) {
        if (text == u"\n")
            writer.paragraph();
        else
            writer.text(text, format);
    }
    return writer.end();
}

QByteArray document(const Runs &runs)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return write(&buffer, runs) ? buffer.data() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(RtfCharFormat)

class TestRtfWriter : public QObject
{
    Q_OBJECT

private slots:
    void escapes_data();
    void escapes();
    void tablesNameEachFaceAndColourOnce();
    void runsCarryTheirFormatting_data();
    void runsCarryTheirFormatting();
    void shortDeviceStopsTheWriting_data();
    void shortDeviceStopsTheWriting();
};

void TestRtfWriter::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("rtf");
    QTest::newRow("plain") << QStringLiteral("Plain 123.") << QByteArray("Plain 123.");
    QTest::newRow("backslash and braces") << QStringLiteral("a\\b{c}") << QByteArray("a\\\\b\\{c\\}");
    QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray("a\\tab b");
    QTest::newRow("latin-1") << QStringLiteral("é") << QByteArray("\\u233\\'3f");
    QTest::newRow("above 32767 goes negative") << QString(QChar(0xFFFD)) << QByteArray("\\u-3\\'3f");
    QTest::newRow("emoji as two surrogates")
        << QString::fromUtf8("\xF0\x9F\x98\x80") << QByteArray("\\u-10179\\'3f\\u-8704\\'3f");
    QTest::newRow("control character") << QString(QChar(1)) << QByteArray("\\u1\\'3f");
}

void TestRtfWriter::escapes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, rtf);
    QByteArray out;
    RtfWriter::appendEscaped(out, text);
    QCOMPARE(out, rtf);
}

void TestRtfWriter::tablesNameEachFaceAndColourOnce()
{
    RtfCharFormat red = face("Serif");
    red.colour = 0xFF0000;
    RtfCharFormat blue = face("");
    blue.face = QString::fromUtf8("Sö");
    blue.colour = 0x0000FF;
    const QByteArray rtf = document({{QStringLiteral("a"), face("Sans")}, {QStringLiteral("b"), red},
                                     {QStringLiteral("c"), blue}, {QStringLiteral("d"), red}});
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Sans;}{\\f1\\fnil\\fcharset0 Serif;}"
                         "{\\f2\\fnil\\fcharset0 S\\u246\\'3f;}}"));
    QVERIFY(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"));
    QVERIFY(rtf.contains("\\f1\\fs20\\cf1 b"));
    QVERIFY(rtf.contains("\\f2\\fs20\\cf2 c"));
}

void TestRtfWriter::runsCarryTheirFormatting_data()
{
    QTest::addColumn<RtfCharFormat>("format");
    QTest::addColumn<QByteArray>("controls");
    RtfCharFormat f = face("F");
    f.halfPoints = 27;
    QTest::newRow("size in half points") << f << QByteArray("\\plain\\f0\\fs27\\cf0 x");
    f = face("F");
    f.bold = f.italic = f.underline = f.strikeOut = true;
    QTest::newRow("every style") << f << QByteArray("\\fs20\\b\\i\\ul\\strike\\cf0 x");
    f = face("F");
    f.colour = 0x102030;
    QTest::newRow("colour") << f << QByteArray("\\fs20\\cf1 x");
}

void TestRtfWriter::runsCarryTheirFormatting()
{
    QFETCH(RtfCharFormat, format);
    QFETCH(QByteArray, controls);
    const QByteArray rtf = document({{QStringLiteral("x"), format}, {QStringLiteral("\n"), format},
                                     {QStringLiteral("y"), format}});
    QVERIFY2(rtf.contains(controls + "\\par\r\ny}"), rtf.constData());
}

void TestRtfWriter::shortDeviceStopsTheWriting_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::newRow("nothing taken") << qint64(0);
    QTest::newRow("inside the text") << qint64(100000);
    QTest::newRow("all but the last byte") << qint64(-1);
}

void TestRtfWriter::shortDeviceStopsTheWriting()
{
    QFETCH(qint64, limit);
    Runs runs; // long enough for several writes
    RtfCharFormat bold = face("F");
    bold.bold = true;
    for (int i = 0; i < 2000; ++i)
        runs << std::pair{QStringLiteral("line %1 with ü and more text to fill it").arg(i), i % 3 ? face("F") : bold}
             << std::pair{QStringLiteral("\n"), face("F")};
    const QByteArray whole = document(runs);
    if (limit < 0)
        limit = whole.size() - 1;

    ShortDevice device(limit);
    QVERIFY(!write(&device, runs));
    QCOMPARE(device.taken, whole.left(limit));
    QCOMPARE(device.writesAfterShort, 0);
}

QTEST_APPLESS_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
