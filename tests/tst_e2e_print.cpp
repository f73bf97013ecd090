// Printing from the real program on a private X display, driven with xdotool, to a CUPS
// scheduler of the test's own; each job is read back from its PDF.

#include "storage/NoteFile.h"
#include "support/PrivateCups.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString Alpha = QStringLiteral("Alpha");
const QString Beta = QStringLiteral("Beta");
const QString MainTitle = QStringLiteral("^Pinnote$");
const QString PrintTitle = QStringLiteral("^Print$");
const QString SetupTitle = QStringLiteral("^Print Setup$");

QString pdfText(QStringList arguments)
{
    return PrivateCups::run(QStringLiteral("pdftotext"), arguments << QStringLiteral("-"));
}

} // namespace

class TestEndToEndPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_run.reset(); }
    void printsThePageOnShow_data();
    void printsThePageOnShow();
    void cancelPrintsNothingAndSetupChoosesThePrinter();
    void textColourOnPaper_data();
    void textColourOnPaper();

private:
    QString start(const QString &text, const QByteArray &settings = QByteArray());
    // Types the keys (xdotool key syntax, one press per word) and waits for a window titled so.
    QString keysOpen(const QString &keys, const QString &title);

    XSession m_x;
    PrivateCups m_cups;
    std::unique_ptr<ProgramUnderTest> m_run;
    QString m_window;
};

void TestEndToEndPrint::initTestCase()
{
    QString error = m_x.start();
    error = error.isEmpty() ? m_cups.start() : error;
    error = error.isEmpty() ? m_cups.addQueue(Alpha, true) : error;
    error = error.isEmpty() ? m_cups.addQueue(Beta, false) : error;
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndPrint::init()
{
    m_cups.exportServer(); // the program under test inherits it
    m_run = std::make_unique<ProgramUnderTest>(m_x);
}

QString TestEndToEndPrint::start(const QString &text, const QByteArray &settings)
{
    NoteFile(m_run->notesPath()).save({NotePage{QStringLiteral("Memo"), text}});
    if (QFile ini(m_run->settingsPath()); !settings.isEmpty()
        && (!QDir().mkpath(QFileInfo(ini).path()) || !ini.open(QIODevice::WriteOnly) || ini.write(settings) != settings.size()))
        return QString();
    m_window = m_run->start() ? m_run->waitForWindow(MainTitle) : QString();
    return m_window;
}

QString TestEndToEndPrint::keysOpen(const QString &keys, const QString &title)
{
    const QStringList presses = keys.split(u' ');
    m_run->key(m_window, presses.first());
    for (const QString &press : presses.mid(1))
        m_x.xdotool({QStringLiteral("key"), press});
    return m_run->waitForWindow(title);
}

void TestEndToEndPrint::printsThePageOnShow_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("selectKeys");
    QTest::newRow("150 numbered lines") << 150 << QString();
    QTest::newRow("a selection changes nothing") << 150 << QStringLiteral("shift+Down shift+Down shift+End");
    QTest::newRow("empty page") << 0 << QString();
}

void TestEndToEndPrint::printsThePageOnShow()
{
    QFETCH(int, lines);
    QFETCH(QString, selectKeys);

    const qsizetype before = m_cups.jobs(Alpha).size();
    QVERIFY2(!start(numberedLines(lines)).isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    if (!selectKeys.isEmpty())
        keysOpen(QStringLiteral("ctrl+Home ") + selectKeys, MainTitle);
    const QString dialog = keysOpen(QStringLiteral("ctrl+p"), PrintTitle);
    QVERIFY2(!dialog.isEmpty(), m_run->describeMissingWindow("the Print dialog did not open").constData());
    if (const QString shot = ProgramUnderTest::screenshotPath(QStringLiteral("print-dialog.png")); !shot.isEmpty())
        m_x.screenshot(shot);
    m_run->key(dialog, QStringLiteral("Return"));

    const QString job = m_cups.waitForJob(Alpha, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    QCOMPARE(printedLines(pdfText({job})), numberedLines(lines).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
    const QStringList pages = pdfText({QStringLiteral("-bbox"), job}).split(QStringLiteral("<page ")).mid(1);
    QCOMPARE(pages.size() > 1, lines > 0); // several sheets, or one for the empty page
    QVERIFY(!pages.isEmpty());

    // Every sheet starts at the top left corner of the printable area.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(Alpha);
    const QRectF area = printer.pageLayout().paintRectPoints();
    static const QRegularExpression firstWord(QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\""));
    for (const QString &page : pages) {
        const QRegularExpressionMatch word = firstWord.match(page);
        if (!word.hasMatch())
            continue; // the empty page
        const QPointF at(word.captured(1).toDouble(), word.captured(2).toDouble());
        QVERIFY2(qAbs(at.x() - area.left()) < 2 && qAbs(at.y() - area.top()) < 4,
                 qPrintable(word.captured() + QStringLiteral(" vs. printable area at %1, %2").arg(area.left()).arg(area.top())));
    }
}

void TestEndToEndPrint::cancelPrintsNothingAndSetupChoosesThePrinter()
{
    const qsizetype alphaBefore = m_cups.jobs(Alpha).size();
    const qsizetype betaBefore = m_cups.jobs(Beta).size();
    QVERIFY2(!start(numberedLines(3)).isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    const QString setupKeys = QStringLiteral("alt+f r"); // P&rinter Setup

    // Cancel in either dialog: nothing printed, the printer unchanged (b picks Beta).
    QString dialog = keysOpen(QStringLiteral("ctrl+p"), PrintTitle);
    QVERIFY2(!dialog.isEmpty(), m_run->describeMissingWindow("the Print dialog did not open").constData());
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(PrintTitle));
    dialog = keysOpen(setupKeys, SetupTitle);
    QVERIFY2(!dialog.isEmpty(), m_run->describeMissingWindow("the Print Setup dialog did not open").constData());
    m_run->key(dialog, QStringLiteral("b"));
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(SetupTitle));
    m_run->key(keysOpen(QStringLiteral("ctrl+p"), PrintTitle), QStringLiteral("Return"));
    QVERIFY2(!m_cups.waitForJob(Alpha, alphaBefore).isEmpty(), "no job reached the default printer");
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);

    // Beta on Letter paper, landscape, chosen in Printer Setup, takes the next print.
    dialog = keysOpen(setupKeys, SetupTitle);
    QVERIFY2(!dialog.isEmpty(), m_run->describeMissingWindow("the Print Setup dialog did not open again").constData());
    // A mnemonic clicks its radio button only after a short animation; Space at once.
    for (const char *press : {"b", "alt+z", "l", "alt+a", "space", "Return"})
        m_run->key(dialog, QString::fromLatin1(press));
    QVERIFY(m_run->waitForNoWindow(SetupTitle));
    m_run->key(keysOpen(QStringLiteral("ctrl+p"), PrintTitle), QStringLiteral("Return"));
    const QString job = m_cups.waitForJob(Beta, betaBefore);
    QVERIFY2(!job.isEmpty(), "no job reached the printer chosen in Printer Setup");
    QCOMPARE(printedLines(pdfText({job})), numberedLines(3).split(QStringLiteral("\r\n")));
    const QString info = PrivateCups::run(QStringLiteral("pdfinfo"), {job});
    QVERIFY2(info.contains(QStringLiteral("Page size:       792 x 612")), qPrintable(info));
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);
}

void TestEndToEndPrint::textColourOnPaper_data()
{
    QTest::addColumn<QByteArray>("colours"); // the stored page and text colours, 0x00BBGGRR
    QTest::addColumn<QColor>("ink");
    QTest::newRow("light page, automatic colour") << QByteArray("65535 -2147483640") << QColor(Qt::black);
    QTest::newRow("dark page, automatic colour") << QByteArray("8388608 -2147483640") << QColor(Qt::black);
    QTest::newRow("dark page, yellow chosen") << QByteArray("8388608 65535") << QColor(Qt::black);
    QTest::newRow("dark page, white chosen") << QByteArray("0 16777215") << QColor(Qt::black);
    QTest::newRow("orange, under 3:1") << QByteArray("65535 33023") << QColor(Qt::black);
    QTest::newRow("red, 4:1") << QByteArray("65535 255") << QColor(Qt::red);
    QTest::newRow("green, 5:1") << QByteArray("65535 32768") << QColor(0, 128, 0);
}

void TestEndToEndPrint::textColourOnPaper()
{
    QFETCH(QByteArray, colours);
    QFETCH(QColor, ink);
    const qsizetype before = m_cups.jobs(Alpha).size();
    const QList<QByteArray> stored = colours.split(' ');
    QVERIFY(!start(numberedLines(3), "[Settings]\nColour=" + stored[0] + "\n[Font]\nColor=" + stored[1] + "\nSize=24\nBold=1\n").isEmpty());
    m_run->key(keysOpen(QStringLiteral("ctrl+p"), PrintTitle), QStringLiteral("Return"));
    const QString job = m_cups.waitForJob(Alpha, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    const QString sheet = m_run->filePath(QStringLiteral("sheet"));
    PrivateCups::run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"),
                                                  QStringLiteral("-singlefile"), job, sheet});
    const QImage image(sheet + QStringLiteral(".png"));
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            inked += qAbs(pixel.red() - ink.red()) + qAbs(pixel.green() - ink.green()) + qAbs(pixel.blue() - ink.blue()) < 60;
        }
    }
    QVERIFY2(inked >= 50, qPrintable(QStringLiteral("%1 pixels of %2 on the sheet").arg(inked).arg(ink.name())));
}

// A QGuiApplication for QPrinter; the program under test runs on the X display.
QTEST_MAIN(TestEndToEndPrint)
#include "tst_e2e_print.moc"
