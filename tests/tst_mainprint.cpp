// Print and Printer Setup as the main window runs them, against a CUPS scheduler of the
// test's own: the dialogs, what reaches the printer, and the failures.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "support/PrivateCups.h"
#include "support/TestEnvironment.h"
#include "text/TPrinter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPrintDialog>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

const QString Front = QStringLiteral("Front");
const QString Back = QStringLiteral("Back");
PrivateCups *cups = nullptr;

// Runs action on the next modal dialog, polling from the event loop that the command's
// dialog runs; stops polling when it goes out of scope.
class DialogAnswer
{
public:
    explicit DialogAnswer(std::function<void(QDialog *)> action)
    {
        poll(m_alive, std::make_shared<std::function<void(QDialog *)>>(std::move(action)));
    }
    ~DialogAnswer() { *m_alive = false; }

private:
    static void poll(std::shared_ptr<bool> alive, std::shared_ptr<std::function<void(QDialog *)>> action)
    {
        QTimer::singleShot(0, qApp, [alive, action] {
            if (!*alive)
                return;
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                *alive = false;
                (*action)(dialog);
            } else {
                poll(alive, action);
            }
        });
    }

    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

enum class Command { Print, PrinterSetup };

} // namespace

class TestMainPrint : public QObject
{
    Q_OBJECT

public:
    // CUPS_SERVER must be set before Qt's printer support first asks for printers.
    static void initMain()
    {
        cups = new PrivateCups;
        cups->exportServer();
    }

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_form.reset(), m_boxes.reset(), m_env.reset(); }
    void cleanupTestCase() { TPrinter::release(), delete cups; }

    void printDialogOutcome_data();
    void printDialogOutcome();
    void secondCommandDuringRunIsRefused_data();
    void secondCommandDuringRunIsRefused();
    void printerGoneWhileDialogOpen();
    void noSchedulerMeansNoDefaultPrinter_data();
    void noSchedulerMeansNoDefaultPrinter(); // last: stops the scheduler

private:
    void run(Command command) { (command == Command::Print ? m_form->FilePrintMenuItem : m_form->PrinterSetup1)->trigger(); }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainPrint::initTestCase()
{
    Startup::initialiseApplication();
    QString error = cups->start();
    for (const QString &queue : {Front, Back}) {
        if (error.isEmpty())
            error = cups->addQueue(queue, queue == Front);
    }
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestMainPrint::init()
{
    TPrinter::release();
    m_env = std::make_unique<TestEnvironment>();
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_form = std::make_unique<TMainForm>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Memo->setText(numberedLines(150));
}

void TestMainPrint::printDialogOutcome_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("copies");
    QTest::newRow("Cancel") << false << 1;
    QTest::newRow("OK") << true << 1;
    QTest::newRow("OK, three copies") << true << 3;
}

void TestMainPrint::printDialogOutcome()
{
    QFETCH(bool, accept);
    QFETCH(int, copies);

    const int acceptedBefore = cups->acceptedJobs(Front);
    const qsizetype before = cups->jobs(Front).size();
    m_form->Memo->setDefaultFont(QFont(QStringLiteral("DejaVu Serif"), 14, QFont::Bold), std::nullopt);
    QRect frame;
    QStringList offered;
    DialogAnswer answer([&](QDialog *dialog) {
        frame = dialog->frameGeometry();
        auto *printers = dialog->findChild<QComboBox *>(QStringLiteral("printers"));
        for (int i = 0; printers && i < printers->count(); ++i)
            offered.append(printers->itemText(i));
        // All pages, always: no range, page set or selection to choose.
        QVERIFY(dialog->findChild<QWidget *>(QStringLiteral("gbPrintRange"))->isHidden());
        dialog->findChild<QSpinBox *>(QStringLiteral("copies"))->setValue(copies);
        accept ? dialog->accept() : dialog->reject();
    });
    run(Command::Print);
    QCOMPARE(m_boxes->texts(), QStringList());
    // Centred across, a third of the free height above; the system's printers only.
    const QRect screen = m_form->screen()->availableGeometry();
    QCOMPARE(frame.topLeft(), QPoint(screen.x() + (screen.width() - frame.width()) / 2,
                                     screen.y() + (screen.height() - frame.height()) / 3));
    QCOMPARE(offered, QStringList({Back, Front}));

    if (!accept) {
        // A job is with the scheduler by the time the command returns.
        QCOMPARE(cups->acceptedJobs(Front), acceptedBefore);
        return;
    }
    const QString job = cups->waitForJob(Front, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    QCOMPARE(lineNumbers(PrivateCups::run(QStringLiteral("pdftotext"), {job, QStringLiteral("-")})), oneTo(150));
    // In the editor's font; the printer makes the copies, the document holds each sheet once.
    QVERIFY(PrivateCups::run(QStringLiteral("pdffonts"), {job}).contains(QStringLiteral("DejaVuSerif-Bold")));
    QCOMPARE(PrivateCups::copiesOf(job), QString::number(copies));
}

void TestMainPrint::secondCommandDuringRunIsRefused_data()
{
    QTest::addColumn<Command>("second");
    QTest::newRow("Print") << Command::Print;
    QTest::newRow("Printer Setup") << Command::PrinterSetup;
}

void TestMainPrint::secondCommandDuringRunIsRefused()
{
    QFETCH(Command, second);

    const qsizetype before = cups->jobs(Front).size();
    std::unique_ptr<DialogAnswer> secondAnswer;
    bool wasPrinting = false;
    DialogAnswer firstAnswer([&](QDialog *dialog) {
        dialog->accept();
        // Comes up between two sheets of the run this OK starts: the window stays live.
        QTimer::singleShot(0, this, [&, second] {
            wasPrinting = TPrinter::instance().printing();
            m_form->Memo->setText(QStringLiteral("Changed meanwhile"));
            secondAnswer = std::make_unique<DialogAnswer>([](QDialog *d) { d->accept(); });
            run(second);
        });
    });
    run(Command::Print);
    QVERIFY(wasPrinting);
    QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("Printing in progress.")}));
    QCOMPARE(m_boxes->requests().value(0).icon, MessageBox::Icon::Error);
    // The running job went on to the end with the text as it was when it started.
    const QString job = cups->waitForJob(Front, before);
    QVERIFY2(!job.isEmpty(), "the running job did not reach the printer");
    QCOMPARE(lineNumbers(PrivateCups::run(QStringLiteral("pdftotext"), {job, QStringLiteral("-")})), oneTo(150));
}

void TestMainPrint::printerGoneWhileDialogOpen()
{
    const QString doomed = QStringLiteral("Doomed");
    QVERIFY(cups->addQueue(doomed, false).isEmpty());
    DialogAnswer answer([&](QDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("printers"))->setCurrentText(doomed);
        QVERIFY(cups->removeQueue(doomed).isEmpty());
        dialog->accept();
    });
    run(Command::Print);
    QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("Operation not supported on selected printer.")}));
}

void TestMainPrint::noSchedulerMeansNoDefaultPrinter_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("Print") << Command::Print;
    QTest::newRow("Printer Setup") << Command::PrinterSetup;
}

void TestMainPrint::noSchedulerMeansNoDefaultPrinter()
{
    QFETCH(Command, command);
    cups->stop();
    bool dialogShown = false;
    DialogAnswer answer([&](QDialog *dialog) {
        dialogShown = true;
        dialog->reject();
    });
    run(command);
    QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("There is no default printer currently selected.")}));
    QCOMPARE(m_boxes->requests().value(0).caption, QStringLiteral("Pinnote"));
    QVERIFY(!dialogShown);
}

QTEST_MAIN(TestMainPrint)
#include "tst_mainprint.moc"
