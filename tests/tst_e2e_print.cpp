// Printing from the real program on a private X display, driven with xdotool, to a CUPS
// scheduler of the test's own; each job is read back from its PDF.

#include "storage/NoteFile.h"
#include "support/PrivateCups.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;
const QString Alpha = QStringLiteral("Alpha");
const QString Beta = QStringLiteral("Beta");

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
    void noSchedulerMeansNoDefaultPrinter();

private:
    QString start(const QString &text);
    // Types the keys (xdotool key syntax, one press per word) into the window and waits
    // for a window with the title to show.
    QString keysOpen(const QString &window, const QString &keys, const QString &title);

    XSession m_x;
    PrivateCups m_cups;
    std::unique_ptr<ProgramUnderTest> m_run;
};

void TestEndToEndPrint::initTestCase()
{
    QString error = m_x.start();
    if (error.isEmpty())
        error = m_cups.start();
    if (error.isEmpty())
        error = m_cups.addQueue(Alpha, true);
    if (error.isEmpty())
        error = m_cups.addQueue(Beta, false);
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndPrint::init()
{
    m_cups.exportServer(); // the program under test inherits it
    m_run = std::make_unique<ProgramUnderTest>(m_x);
}

QString TestEndToEndPrint::start(const QString &text)
{
    NoteFile(m_run->notesPath()).save({NotePage{QStringLiteral("Memo"), text}});
    return m_run->start() ? m_run->waitForWindow(QStringLiteral("^Pinnote$")) : QString();
}

QString TestEndToEndPrint::keysOpen(const QString &window, const QString &keys, const QString &title)
{
    const QStringList presses = keys.split(u' ');
    m_run->key(window, presses.first());
    for (const QString &press : presses.mid(1))
        m_x.xdotool({QStringLiteral("key"), press});
    return m_run->waitForWindow(title);
}

void TestEndToEndPrint::printsThePageOnShow_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("selectKeys");
    QTest::addColumn<bool>("severalSheets");
    QTest::newRow("150 numbered lines") << 150 << QString() << true;
    QTest::newRow("a selection changes nothing") << 150 << QStringLiteral("shift+Down shift+Down shift+End") << true;
    QTest::newRow("empty page") << 0 << QString() << false;
}

void TestEndToEndPrint::printsThePageOnShow()
{
    QFETCH(int, lines);
    QFETCH(QString, selectKeys);
    QFETCH(bool, severalSheets);

    const qsizetype before = m_cups.jobs(Alpha).size();
    const QString window = start(numberedLines(lines));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    if (!selectKeys.isEmpty())
        keysOpen(window, QStringLiteral("ctrl+Home ") + selectKeys, QStringLiteral("^Pinnote$"));
    const QString dialog = keysOpen(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open");
    if (const QString shot = ProgramUnderTest::screenshotPath(QStringLiteral("print-dialog.png")); !shot.isEmpty())
        m_x.screenshot(shot);
    m_run->key(dialog, QStringLiteral("Return"));

    const QString job = m_cups.waitForJob(Alpha, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    QCOMPARE(lineNumbers(PrivateCups::run(QStringLiteral("pdftotext"), {job, QStringLiteral("-")})), oneTo(lines));
    const QString bbox = PrivateCups::run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), job, QStringLiteral("-")});
    const QStringList pages = bbox.split(QStringLiteral("<page ")).mid(1);
    QCOMPARE(pages.size() > 1, severalSheets);
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
        QVERIFY2(qAbs(word.captured(1).toDouble() - area.left()) < 2 && qAbs(word.captured(2).toDouble() - area.top()) < 4,
                 qPrintable(QStringLiteral("text starts at %1, %2; printable area at %3, %4")
                                .arg(word.captured(1), word.captured(2)).arg(area.left()).arg(area.top())));
    }
}

void TestEndToEndPrint::cancelPrintsNothingAndSetupChoosesThePrinter()
{
    const qsizetype alphaBefore = m_cups.jobs(Alpha).size();
    const qsizetype betaBefore = m_cups.jobs(Beta).size();
    const QString window = start(numberedLines(3));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    // Alt+F, r: P&rinter Setup; b picks Beta from the list.
    const QString setupKeys = QStringLiteral("alt+f r");
    const QString setupTitle = QStringLiteral("^Print Setup$");

    // Cancel in either dialog: nothing printed, the printer unchanged.
    QString dialog = keysOpen(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open");
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Print$")));
    dialog = keysOpen(window, setupKeys, setupTitle);
    QVERIFY2(!dialog.isEmpty(), "the Print Setup dialog did not open");
    m_run->key(dialog, QStringLiteral("b"));
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(setupTitle));
    dialog = keysOpen(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    m_run->key(dialog, QStringLiteral("Return"));
    QVERIFY2(!m_cups.waitForJob(Alpha, alphaBefore).isEmpty(), "no job reached the default printer");
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);

    // Beta on Letter paper, landscape, chosen in Printer Setup, takes the next print.
    dialog = keysOpen(window, setupKeys, setupTitle);
    QVERIFY2(!dialog.isEmpty(), "the Print Setup dialog did not open again");
    // A mnemonic clicks its radio button only after a short animation; Space at once.
    for (const char *press : {"b", "alt+z", "l", "alt+a", "space"})
        m_run->key(dialog, QString::fromLatin1(press));
    if (const QString shot = ProgramUnderTest::screenshotPath(QStringLiteral("print-setup.png")); !shot.isEmpty())
        m_x.screenshot(shot);
    m_run->key(dialog, QStringLiteral("Return"));
    QVERIFY(m_run->waitForNoWindow(setupTitle));
    dialog = keysOpen(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    m_run->key(dialog, QStringLiteral("Return"));
    const QString job = m_cups.waitForJob(Beta, betaBefore);
    QVERIFY2(!job.isEmpty(), "no job reached the printer chosen in Printer Setup");
    QCOMPARE(lineNumbers(PrivateCups::run(QStringLiteral("pdftotext"), {job, QStringLiteral("-")})), oneTo(3));
    const QString info = PrivateCups::run(QStringLiteral("pdfinfo"), {job});
    QVERIFY2(info.contains(QStringLiteral("Page size:       792 x 612")), qPrintable(info));
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);
}

void TestEndToEndPrint::noSchedulerMeansNoDefaultPrinter()
{
    qputenv("CUPS_SERVER", m_run->filePath(QStringLiteral("nobody-listens.sock")).toLocal8Bit());
    const QString window = start(numberedLines(3));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    for (const QString &keys : {QStringLiteral("ctrl+p"), QStringLiteral("alt+f r")}) {
        keysOpen(window, keys, QStringLiteral("^Pinnote$"));
        // The error box, titled like the main window; no dialog.
        QTRY_COMPARE_WITH_TIMEOUT(m_x.findWindows(QStringLiteral("^Pinnote$")).size(), 2, WaitMs);
        QVERIFY(m_x.findWindows(QStringLiteral("^Print")).isEmpty());
        QStringList boxes = m_x.findWindows(QStringLiteral("^Pinnote$"));
        boxes.removeAll(window);
        m_run->key(boxes.value(0), QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(m_x.findWindows(QStringLiteral("^Pinnote$")).size(), 1, WaitMs);
    }
}

// A QGuiApplication for QPrinter; the program under test runs on the X display.
QTEST_MAIN(TestEndToEndPrint)
#include "tst_e2e_print.moc"
