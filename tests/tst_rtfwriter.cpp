// The RTF writer on its own: escaping, the tables, and a device that takes less than
// it is given.

#include "text/RtfWriter.h"

#include <QBuffer>
#include <QTest>

namespace {

// Takes at most limit bytes in all; past that every write falls short.
class ShortDevice : public QIODevice
{
public:
    explicit ShortDevice(qint64 limit)
        : m_limit(limit)
    {
        open(QIODevice::WriteOnly);
    }

    QByteArray taken;
    int writesAfterShort = 0;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (m_short)
            ++writesAfterShort;
        const qint64 n = std::min(size, m_limit - qint64(taken.size()));
        taken.append(data, n);
        m_short = m_short || n < size;
        return n;
    }

private:
    qint64 m_limit;
    bool m_short = false;
};

RtfCharFormat plain(const QString &face = QStringLiteral("DejaVu Sans"), int halfPoints = 20)
{
    RtfCharFormat format;
    format.face = face;
    format.halfPoints = halfPoints;
    return format;
}

QByteArray document(const QList<std::pair<QString, RtfCharFormat>> &runs)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    RtfWriter writer(&buffer);
    for (const auto &run : runs)
        writer.addFormat(run.second);
    writer.begin();
    for (const auto &run : runs) {
        if (run.first == QStringLiteral("\n"))
            writer.paragraph();
        else
            writer.text(run.first, run.second);
    }
    writer.end();
    return buffer.data();
}

bool allAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) < 0x80; });
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
    void emptyDocumentHasNoText();
    void everyByteIsAscii();
    void shortDeviceStopsTheWriting_data();
    void shortDeviceStopsTheWriting();
};

void TestRtfWriter::escapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("rtf");

    QTest::newRow("plain") << QStringLiteral("Plain text 123.") << QByteArray("Plain text 123.");
    QTest::newRow("backslash and braces") << QStringLiteral("a\\b{c}") << QByteArray("a\\\\b\\{c\\}");
    QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray("a\\tab b");
    QTest::newRow("latin-1") << QStringLiteral("é") << QByteArray("\\u233\\'3f");
    QTest::newRow("euro") << QStringLiteral("€") << QByteArray("\\u8364\\'3f");
    QTest::newRow("above 32767 goes negative") << QString(QChar(0xFFFD)) << QByteArray("\\u-3\\'3f");
    QTest::newRow("emoji as two surrogates")
        << QString::fromUtf8("\xF0\x9F\x98\x80") << QByteArray("\\u-10179\\'3f\\u-8704\\'3f");
    QTest::newRow("control character") << QString(QChar(1)) << QByteArray("\\u1\\'3f");
    QTest::newRow("delete") << QString(QChar(0x7F)) << QByteArray("\\u127\\'3f");
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
    RtfCharFormat red = plain(QStringLiteral("Serif"));
    red.colour = 0xFF0000;
    RtfCharFormat blue = plain(QStringLiteral("Sans"));
    blue.colour = 0x0000FF;
    const QByteArray rtf = document({{QStringLiteral("a"), plain(QStringLiteral("Sans"))},
                                     {QStringLiteral("b"), red},
                                     {QStringLiteral("c"), blue},
                                     {QStringLiteral("d"), red}});
    QVERIFY(rtf.startsWith("{\\rtf1"));
    QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fnil\\fcharset0 Sans;}{\\f1\\fnil\\fcharset0 Serif;}}"));
    QVERIFY(rtf.contains("{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"));
    QVERIFY(rtf.contains("\\f1\\fs20\\cf1 b"));
    QVERIFY(rtf.contains("\\f0\\fs20\\cf2 c"));
    QVERIFY(rtf.trimmed().endsWith('}'));
}

void TestRtfWriter::runsCarryTheirFormatting_data()
{
    QTest::addColumn<RtfCharFormat>("format");
    QTest::addColumn<QByteArray>("controls");

    RtfCharFormat f = plain(QStringLiteral("F"), 27);
    QTest::newRow("size in half points") << f << QByteArray("\\plain\\f0\\fs27\\cf0 x");
    f = plain(QStringLiteral("F"));
    f.bold = true;
    QTest::newRow("bold") << f << QByteArray("\\fs20\\b\\cf0 x");
    f.bold = false;
    f.italic = true;
    QTest::newRow("italic") << f << QByteArray("\\fs20\\i\\cf0 x");
    f.italic = false;
    f.underline = true;
    QTest::newRow("underline") << f << QByteArray("\\fs20\\ul\\cf0 x");
    f.underline = false;
    f.strikeOut = true;
    QTest::newRow("strikeout") << f << QByteArray("\\fs20\\strike\\cf0 x");
    f.strikeOut = false;
    f.colour = 0x102030;
    QTest::newRow("colour") << f << QByteArray("\\fs20\\cf1 x");
}

void TestRtfWriter::runsCarryTheirFormatting()
{
    QFETCH(RtfCharFormat, format);
    QFETCH(QByteArray, controls);
    const QByteArray rtf = document({{QStringLiteral("x"), format}});
    QVERIFY2(rtf.contains(controls), rtf.constData());
}

void TestRtfWriter::emptyDocumentHasNoText()
{
    const QByteArray rtf = document({});
    QVERIFY(rtf.startsWith("{\\rtf1"));
    // After the tables only the paragraph reset and the closing brace are left.
    QVERIFY2(rtf.endsWith("}\r\n\\pard}\r\n"), rtf.constData());
}

void TestRtfWriter::everyByteIsAscii()
{
    QString text;
    for (char32_t c : {U'a', U'\u00FF', U'\u0100', U'\u4E2D', U'\uFFFF', U'\U0001F600', U'\U0010FFFF'})
        text += QString::fromUcs4(&c, 1);
    const QByteArray rtf = document({{text, plain(QStringLiteral("Fönt"))}});
    QVERIFY(allAscii(rtf));
    QVERIFY(rtf.contains("F\\u246\\'3fnt;"));
}

void TestRtfWriter::shortDeviceStopsTheWriting_data()
{
    QTest::addColumn<qint64>("limit");
    QTest::newRow("nothing taken") << qint64(0);
    QTest::newRow("inside the header") << qint64(10);
    QTest::newRow("inside the text") << qint64(100000);
    QTest::newRow("all but the last byte") << qint64(-1);
}

void TestRtfWriter::shortDeviceStopsTheWriting()
{
    QFETCH(qint64, limit);
    // A text long enough to need several writes.
    QList<std::pair<QString, RtfCharFormat>> runs;
    RtfCharFormat bold = plain();
    bold.bold = true;
    for (int i = 0; i < 2000; ++i) {
        runs.append({QStringLiteral("line %1 with ü and some more text to fill it up").arg(i),
                     i % 3 ? plain() : bold});
        runs.append({QStringLiteral("\n"), plain()});
    }
    const QByteArray whole = document(runs);
    if (limit < 0)
        limit = whole.size() - 1;

    ShortDevice device(limit);
    RtfWriter writer(&device);
    for (const auto &run : std::as_const(runs))
        writer.addFormat(run.second);
    writer.begin();
    for (const auto &run : std::as_const(runs)) {
        if (run.first == QStringLiteral("\n"))
            writer.paragraph();
        else
            writer.text(run.first, run.second);
    }
    QVERIFY(!writer.end());
    QCOMPARE(device.taken, whole.left(limit));
    QCOMPARE(device.writesAfterShort, 0);
}

QTEST_APPLESS_MAIN(TestRtfWriter)
#include "tst_rtfwriter.moc"
