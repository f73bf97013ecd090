// The print run and the printer object, against a CUPS scheduler of the test's own:
// what reaches the printer is read back from the job's PDF.

#include "editor/RichEdit.h"
#include "support/PrivateCups.h"
#include "text/PrintRun.h"
#include "text/TPrinter.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPrinter>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <memory>

#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

const QString Queue = QStringLiteral("Desk");

// CUPS_SERVER must be in place before Qt's printer support first asks for a printer.
PrivateCups *cups = nullptr;

QString numberedLines(int count, int from = 1)
{
    QStringList lines;
    for (int i = from; i < from + count; ++i)
        lines.append(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')));
    return lines.join(QStringLiteral("\r\n"));
}

// The numbers of the "Line NNN" texts in the order they appear.
QList<int> lineNumbers(const QString &text)
{
    QList<int> numbers;
    static const QRegularExpression line(QStringLiteral("Line (\\d{3})"));
    for (auto it = line.globalMatch(text); it.hasNext();)
        numbers.append(it.next().captured(1).toInt());
    return numbers;
}

QList<int> oneTo(int count)
{
    QList<int> numbers;
    for (int i = 1; i <= count; ++i)
        numbers.append(i);
    return numbers;
}

QFont testFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(12);
    return font;
}

} // namespace

class TestPrintRun : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        cups = new PrivateCups;
        cups->exportServer();
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void layoutRectTwips_data();
    void layoutRectTwips();
    void pageLoop_data();
    void pageLoop();

    void wholeTextOverSeveralSheets_data();
    void wholeTextOverSeveralSheets();
    void exactlyOnePage_data();
    void exactlyOnePage();
    void emptyPagePrintsOneSheet();
    void editorFontIsPrinted();
    void selectionOutlivesDefaultChange();
    void jobThatCannotOpenIsNotValid();
    void secondJobWhileOneRunsIsRefused();

private:
    // Prints the editor and returns the job's PDF, or empty when none arrived.
    QString printAndFetch(const RichEdit &editor);
    QRectF printableAreaPoints() const;
};

void TestPrintRun::initTestCase()
{
    const QString error = cups->start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
    const QString queueError = cups->addQueue(Queue, true);
    if (!queueError.isEmpty())
        QFAIL(qPrintable(queueError));
}

void TestPrintRun::init()
{
    TPrinter::release();
}

void TestPrintRun::cleanupTestCase()
{
    TPrinter::release();
    delete cups;
    cups = nullptr;
}

QString TestPrintRun::printAndFetch(const RichEdit &editor)
{
    const qsizetype before = cups->jobs(Queue).size();
    PrintRun::print(editor, QString());
    QStringList jobs;
    const auto arrived = [&] {
        jobs = cups->jobs(Queue);
        return jobs.size() > before;
    };
    if (!QTest::qWaitFor(arrived, PrivateCups::WaitMs))
        return {};
    return jobs.last();
}

QRectF TestPrintRun::printableAreaPoints() const
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(Queue);
    return printer.pageLayout().paintRectPoints();
}

void TestPrintRun::layoutRectTwips_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("ppiX");
    QTest::addColumn<int>("ppiY");
    QTest::addColumn<QRect>("twips");

    QTest::newRow("600 x 300 ppi") << QSize(4800, 3000) << 600 << 300 << QRect(0, 0, 11520, 14400);
    QTest::newRow("remainder dropped") << QSize(7, 11) << 600 << 600 << QRect(0, 0, 16, 26);
    QTest::newRow("A4 at 1200 ppi") << QSize(9921, 14031) << 1200 << 1200 << QRect(0, 0, 11905, 16837);
    // 2 m of paper at 2400 ppi overflows 32 bits before the division.
    QTest::newRow("no overflow") << QSize(188976, 188976) << 2400 << 2400 << QRect(0, 0, 113385, 113385);
    QTest::newRow("no resolution") << QSize(4800, 3000) << 0 << 300 << QRect();
}

void TestPrintRun::layoutRectTwips()
{
    QFETCH(QSize, pixels);
    QFETCH(int, ppiX);
    QFETCH(int, ppiY);
    QFETCH(QRect, twips);
    QCOMPARE(PrintRun::layoutRectTwips(pixels, ppiX, ppiY), twips);
}

void TestPrintRun::pageLoop_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<QList<int>>("answers"); // what each page pass returns
    QTest::addColumn<QList<int>>("firsts");  // where each pass is asked to start
    QTest::addColumn<int>("sheets");

    QTest::newRow("empty text") << 0 << QList<int>{0} << QList<int>{0} << 1;
    QTest::newRow("fits on one page") << 100 << QList<int>{100} << QList<int>{0} << 1;
    QTest::newRow("three pages") << 100 << QList<int>{40, 80, 100} << QList<int>{0, 40, 80} << 3;
    QTest::newRow("layout reports the end") << 100 << QList<int>{40, -1} << QList<int>{0, 40} << 2;
    QTest::newRow("nothing fits on a page") << 100 << QList<int>{40, 40, 100} << QList<int>{0, 40} << 2;
    QTest::newRow("nothing fits on the first") << 100 << QList<int>{0, 100} << QList<int>{0} << 1;
}

void TestPrintRun::pageLoop()
{
    QFETCH(int, total);
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, firsts);
    QFETCH(int, sheets);

    QList<int> asked;
    int newPages = 0;
    const int result = PrintRun::pageLoop(
        total,
        [&](int first) {
            asked.append(first);
            return answers.value(asked.size() - 1, total);
        },
        [&] { ++newPages; });
    QCOMPARE(asked, firsts);
    QCOMPARE(result, sheets);
    QCOMPARE(newPages, sheets - 1);
}

void TestPrintRun::wholeTextOverSeveralSheets_data()
{
    QTest::addColumn<bool>("withSelection");
    QTest::addColumn<bool>("editedMeanwhile");

    QTest::newRow("plain") << false << false;
    QTest::newRow("a selection changes nothing") << true << false;
    QTest::newRow("edits during the run wait for the next") << false << true;
}

void TestPrintRun::wholeTextOverSeveralSheets()
{
    QFETCH(bool, withSelection);
    QFETCH(bool, editedMeanwhile);

    RichEdit editor;
    editor.setDefaultFont(testFont(), std::nullopt);
    editor.setText(numberedLines(150));
    if (withSelection)
        editor.setSelection(20, 60);
    bool editedWhilePrinting = false;
    if (editedMeanwhile) {
        // Runs while the first sheet spools: the window stays live during a run.
        QTimer::singleShot(0, &editor, [&] {
            editedWhilePrinting = TPrinter::instance().printing();
            editor.setText(QStringLiteral("Replaced"));
        });
    }

    const QString pdf = printAndFetch(editor);
    QVERIFY2(!pdf.isEmpty(), "no job reached the printer");
    QCOMPARE(editedWhilePrinting, editedMeanwhile);

    QCOMPARE(lineNumbers(PrivateCups::pdfText(pdf)), oneTo(150));
    const int pages = PrivateCups::pdfPages(pdf);
    QVERIFY2(pages >= 2, qPrintable(QStringLiteral("%1 pages").arg(pages)));

    // Every sheet starts at the top left corner of the printable area.
    const QRectF area = printableAreaPoints();
    const QList<PrivateCups::Word> words = PrivateCups::pdfWords(pdf);
    QCOMPARE(words.value(0).text, QStringLiteral("Line"));
    for (int page = 1; page <= pages; ++page) {
        const auto first = std::find_if(words.cbegin(), words.cend(),
                                        [page](const PrivateCups::Word &w) { return w.page == page; });
        QVERIFY(first != words.cend());
        QVERIFY2(qAbs(first->xMin - area.left()) < 2.0,
                 qPrintable(QStringLiteral("page %1 starts at x %2, area at %3").arg(page).arg(first->xMin).arg(area.left())));
        QVERIFY2(first->yMin >= area.top() - 0.5 && first->yMin < area.top() + 4.0,
                 qPrintable(QStringLiteral("page %1 starts at y %2, area at %3").arg(page).arg(first->yMin).arg(area.top())));
    }
    QVERIFY(!TPrinter::instance().printing());
}

void TestPrintRun::exactlyOnePage_data()
{
    QTest::addColumn<int>("extraLines");
    QTest::addColumn<int>("sheets");

    QTest::newRow("one line short") << -1 << 1;
    QTest::newRow("exactly full") << 0 << 1;
    QTest::newRow("one line over") << 1 << 2;
}

void TestPrintRun::exactlyOnePage()
{
    QFETCH(int, extraLines);
    QFETCH(int, sheets);

    // How many lines fill the printable height, from the font's own measures.
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(Queue);
    // The height goes through whole twips and back, as the layout's does.
    const qint64 twips = qint64(printer.height()) * 1440 / printer.logicalDpiY();
    const qreal height = qreal(twips * printer.logicalDpiY() / 1440);
    const QFontMetricsF metrics(testFont(), &printer);
    const int perPage = int(height / metrics.height());
    QVERIFY(perPage > 10);

    RichEdit editor;
    editor.setDefaultFont(testFont(), std::nullopt);
    editor.setText(numberedLines(perPage + extraLines));
    const QString pdf = printAndFetch(editor);
    QVERIFY2(!pdf.isEmpty(), "no job reached the printer");
    QCOMPARE(PrivateCups::pdfPages(pdf), sheets);
    QCOMPARE(lineNumbers(PrivateCups::pdfText(pdf)), oneTo(perPage + extraLines));
}

void TestPrintRun::emptyPagePrintsOneSheet()
{
    RichEdit editor;
    const QString pdf = printAndFetch(editor);
    QVERIFY2(!pdf.isEmpty(), "no job reached the printer");
    QCOMPARE(PrivateCups::pdfPages(pdf), 1);
    QCOMPARE(PrivateCups::pdfText(pdf).trimmed(), QString());
}

void TestPrintRun::editorFontIsPrinted()
{
    RichEdit editor;
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSize(20);
    font.setBold(true);
    editor.setDefaultFont(font, std::nullopt);
    editor.setText(QStringLiteral("Heavy words"));
    const QString pdf = printAndFetch(editor);
    QVERIFY2(!pdf.isEmpty(), "no job reached the printer");
    QVERIFY2(PrivateCups::pdfFonts(pdf).contains(QStringLiteral("DejaVuSerif-Bold")), qPrintable(PrivateCups::pdfFonts(pdf)));
    const QList<PrivateCups::Word> words = PrivateCups::pdfWords(pdf);
    QVERIFY(!words.isEmpty());
    // 20 points tall letters, not the 12 of a default font.
    QVERIFY2(words.first().yMax - words.first().yMin > 18, qPrintable(QString::number(words.first().yMax - words.first().yMin)));
}

void TestPrintRun::selectionOutlivesDefaultChange()
{
    TPrinter &printer = TPrinter::instance();
    QVERIFY(!printer.hasSelection());
    printer.ensureSelected();
    QCOMPARE(printer.printerName(), Queue);

    // Another default later in the run does not move the selection.
    const QString other = QStringLiteral("Shelf");
    QVERIFY(cups->addQueue(other, true).isEmpty());
    printer.ensureSelected();
    QCOMPARE(printer.printerName(), Queue);
    // A new printer object starts from the default as it is then.
    TPrinter::release();
    TPrinter::instance().ensureSelected();
    QCOMPARE(TPrinter::instance().printerName(), other);

    int status = -1;
    cups->runClient(QStringLiteral("lpadmin"), {QStringLiteral("-d"), Queue}, &status);
    QCOMPARE(status, 0);
}

void TestPrintRun::jobThatCannotOpenIsNotValid()
{
    TPrinter &printer = TPrinter::instance();
    printer.ensureSelected();
    const int acceptedBefore = cups->acceptedJobs(Queue);
    // With no file descriptor left, the job's spool file cannot be made.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::dup(0);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);
    rlimit none = saved;
    none.rlim_cur = rlim_t(lowestFree);
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &none), 0);
    QString message;
    try {
        printer.beginDoc();
    } catch (const EPrinter &error) {
        message = error.message();
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);
    QCOMPARE(message, QStringLiteral("Printer selected is not valid"));
    QVERIFY(!printer.printing());
    QCOMPARE(cups->acceptedJobs(Queue), acceptedBefore);

    // The printer is still there for the next job.
    RichEdit editor;
    editor.setText(QStringLiteral("Line 001"));
    const QString pdf = printAndFetch(editor);
    QVERIFY2(!pdf.isEmpty(), "no job reached the printer");
    QCOMPARE(lineNumbers(PrivateCups::pdfText(pdf)), oneTo(1));
}

void TestPrintRun::secondJobWhileOneRunsIsRefused()
{
    RichEdit editor;
    editor.setText(numberedLines(400));
    QString message;
    bool ran = false;
    // Comes up while the first sheet spools.
    QTimer::singleShot(0, &editor, [&] {
        ran = true;
        try {
            PrintRun::print(editor, QString());
        } catch (const EPrinter &error) {
            message = error.message();
        }
    });
    const QString pdf = printAndFetch(editor);
    QVERIFY(ran);
    QCOMPARE(message, QStringLiteral("Printing in progress"));
    QVERIFY2(!pdf.isEmpty(), "the running job did not reach the printer");
    QCOMPARE(lineNumbers(PrivateCups::pdfText(pdf)), oneTo(400));
}

QTEST_MAIN(TestPrintRun)
#include "tst_printrun.moc"
