// Printing from the real program on a private X display, driven with xdotool, to a
// CUPS scheduler of the test's own; each job is read back from its PDF.

#include "storage/NoteFile.h"
#include "support/PrivateCups.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QRegularExpression>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;
const QString Alpha = QStringLiteral("Alpha");
const QString Beta = QStringLiteral("Beta");

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')));
    return lines.join(QStringLiteral("\r\n"));
}

QList<int> lineNumbers(const QString &text)
{
    QList<int> numbers;
    static const QRegularExpression line(QStringLiteral("Line (\\d{3})"));
    for (auto it = line.globalMatch(text); it.hasNext();)
        numbers.append(it.next().captured(1).toInt());
    return numbers;
}

} // namespace

class TestEndToEndPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void printsThePageOnShow_data();
    void printsThePageOnShow();
    void cancelPrintsNothingAndSetupChoosesThePrinter();
    void noSchedulerMeansNoDefaultPrinter();

private:
    QString startWithPage(const QString &text);
    QString openDialog(const QString &window, const QString &keys, const QString &title);
    QString waitForJob(const QString &queue, qsizetype before);

    XSession m_x;
    PrivateCups m_cups;
    std::unique_ptr<ProgramUnderTest> m_run;
};

void TestEndToEndPrint::initTestCase()
{
    const QString missing = PrivateCups::missingProgram();
    if (!missing.isEmpty())
        QFAIL(qPrintable(missing + QStringLiteral(" is not installed")));
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
    // The program under test inherits this process's environment.
    m_cups.exportServer();
    m_run = std::make_unique<ProgramUnderTest>(m_x);
    QVERIFY(m_run->isValid());
}

void TestEndToEndPrint::cleanup()
{
    m_run.reset();
}

QString TestEndToEndPrint::startWithPage(const QString &text)
{
    NoteFile(m_run->notesPath()).save({NotePage{QStringLiteral("Memo"), text}});
    if (!m_run->start())
        return {};
    return m_run->waitForWindow(QStringLiteral("^Pinnote$"));
}

QString TestEndToEndPrint::openDialog(const QString &window, const QString &keys, const QString &title)
{
    m_run->key(window, keys);
    return m_run->waitForWindow(title);
}

QString TestEndToEndPrint::waitForJob(const QString &queue, qsizetype before)
{
    QStringList jobs;
    const auto arrived = [&] {
        jobs = m_cups.jobs(queue);
        return jobs.size() > before;
    };
    return QTest::qWaitFor(arrived, WaitMs) ? jobs.last() : QString();
}

void TestEndToEndPrint::printsThePageOnShow_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("severalSheets");

    QTest::newRow("150 numbered lines") << 150 << true;
    QTest::newRow("empty page") << 0 << false;
}

void TestEndToEndPrint::printsThePageOnShow()
{
    QFETCH(int, lines);
    QFETCH(bool, severalSheets);

    const qsizetype before = m_cups.jobs(Alpha).size();
    const QString window = startWithPage(numberedLines(lines));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    const QString dialog = openDialog(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open");
    const QString shot = ProgramUnderTest::screenshotPath(QStringLiteral("print-dialog.png"));
    if (!shot.isEmpty())
        m_x.screenshot(shot);
    m_run->key(dialog, QStringLiteral("Return"));

    const QString job = waitForJob(Alpha, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    QList<int> expected;
    for (int i = 1; i <= lines; ++i)
        expected.append(i);
    QCOMPARE(lineNumbers(PrivateCups::pdfText(job)), expected);
    const int pages = PrivateCups::pdfPages(job);
    if (severalSheets)
        QVERIFY2(pages >= 2, qPrintable(QStringLiteral("%1 pages").arg(pages)));
    else
        QCOMPARE(pages, 1);
}

void TestEndToEndPrint::cancelPrintsNothingAndSetupChoosesThePrinter()
{
    const qsizetype alphaBefore = m_cups.jobs(Alpha).size();
    const qsizetype betaBefore = m_cups.jobs(Beta).size();
    const QString window = startWithPage(numberedLines(3));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    // Cancel in either dialog: nothing printed, the printer unchanged.
    QString dialog = openDialog(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open");
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Print$")));
    // Alt+F opens the File menu; "r" picks P&rinter Setup; "b" picks Beta in the list.
    m_run->key(window, QStringLiteral("alt+f"));
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("r")});
    dialog = m_run->waitForWindow(QStringLiteral("^Print Setup$"));
    QVERIFY2(!dialog.isEmpty(), "the Print Setup dialog did not open");
    m_run->key(dialog, QStringLiteral("b"));
    m_run->key(dialog, QStringLiteral("Escape"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Print Setup$")));

    dialog = openDialog(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open again");
    m_run->key(dialog, QStringLiteral("Return"));
    const QString first = waitForJob(Alpha, alphaBefore);
    QVERIFY2(!first.isEmpty(), "no job reached the default printer");
    // The cancelled dialogs sent nothing before it.
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);
    QCOMPARE(m_cups.jobs(Beta).size(), betaBefore);
    QCOMPARE(lineNumbers(PrivateCups::pdfText(first)), QList<int>({1, 2, 3}));

    // Beta chosen in Printer Setup is what the next Print sends to.
    m_run->key(window, QStringLiteral("alt+f"));
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("r")});
    dialog = m_run->waitForWindow(QStringLiteral("^Print Setup$"));
    QVERIFY2(!dialog.isEmpty(), "the Print Setup dialog did not open again");
    m_run->key(dialog, QStringLiteral("b"));
    m_run->key(dialog, QStringLiteral("Return"));
    QVERIFY(m_run->waitForNoWindow(QStringLiteral("^Print Setup$")));
    dialog = openDialog(window, QStringLiteral("ctrl+p"), QStringLiteral("^Print$"));
    QVERIFY2(!dialog.isEmpty(), "the Print dialog did not open a third time");
    m_run->key(dialog, QStringLiteral("Return"));
    const QString second = waitForJob(Beta, betaBefore);
    QVERIFY2(!second.isEmpty(), "no job reached the printer chosen in Printer Setup");
    QCOMPARE(lineNumbers(PrivateCups::pdfText(second)), QList<int>({1, 2, 3}));
    QCOMPARE(m_cups.jobs(Alpha).size(), alphaBefore + 1);
}

void TestEndToEndPrint::noSchedulerMeansNoDefaultPrinter()
{
    // A socket where nothing listens.
    qputenv("CUPS_SERVER", m_run->filePath(QStringLiteral("nobody.sock")).toLocal8Bit());
    const QString window = startWithPage(numberedLines(3));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    for (const char *keys : {"ctrl+p", "alt+f r"}) {
        const QStringList words = QString::fromLatin1(keys).split(QLatin1Char(' '));
        m_run->key(window, words.first());
        if (words.size() > 1)
            m_x.xdotool({QStringLiteral("key"), words.at(1)});
        // The error box carries the program's title beside the main window; no dialog.
        QTRY_COMPARE_WITH_TIMEOUT(m_x.findWindows(QStringLiteral("^Pinnote$")).size(), 2, WaitMs);
        QVERIFY(m_x.findWindows(QStringLiteral("^Print")).isEmpty());
        QStringList boxes = m_x.findWindows(QStringLiteral("^Pinnote$"));
        boxes.removeAll(window);
        QCOMPARE(boxes.size(), 1);
        m_run->key(boxes.first(), QStringLiteral("Return"));
        QTRY_COMPARE_WITH_TIMEOUT(m_x.findWindows(QStringLiteral("^Pinnote$")).size(), 1, WaitMs);
    }
    QCOMPARE(m_run->process().state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestEndToEndPrint)
#include "tst_e2e_print.moc"
