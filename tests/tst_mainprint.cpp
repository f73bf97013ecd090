// Print and Printer Setup as the main window runs them: the dialogs, what reaches the
// printer, and the failures, against a CUPS scheduler of the test's own.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TPrinterSetupDialog.h"
#include "editor/RichEdit.h"
#include "support/PrivateCups.h"
#include "support/TestEnvironment.h"
#include "text/TPrinter.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const QString Default = QStringLiteral("Front");
const QString Other = QStringLiteral("Back");

PrivateCups *cups = nullptr;

// Runs action on the next modal dialog that opens, unless cancel() comes first.
class DialogAnswer
{
public:
    explicit DialogAnswer(std::function<void(QDialog *)> action)
        : m_alive(std::make_shared<bool>(true))
    {
        poll(m_alive, std::make_shared<std::function<void(QDialog *)>>(std::move(action)));
    }
    ~DialogAnswer() { *m_alive = false; }
    DialogAnswer(const DialogAnswer &) = delete;
    DialogAnswer &operator=(const DialogAnswer &) = delete;

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

    std::shared_ptr<bool> m_alive;
};

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')));
    return lines.join(QStringLiteral("\r\n"));
}

int countLines(const QString &text)
{
    static const QRegularExpression line(QStringLiteral("Line \\d{3}"));
    int count = 0;
    for (auto it = line.globalMatch(text); it.hasNext(); it.next())
        ++count;
    return count;
}

QComboBox *printerComboOf(QPrintDialog *dialog)
{
    return dialog->findChild<QComboBox *>(QStringLiteral("printers"));
}

enum class Command { Print, PrinterSetup };

} // namespace

Q_DECLARE_METATYPE(Command)

class TestMainPrint : public QObject
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
    void cleanup();
    void cleanupTestCase();

    void printDialogOutcome_data();
    void printDialogOutcome();
    void setupChoiceServesLaterPrints_data();
    void setupChoiceServesLaterPrints();
    void secondCommandDuringRunIsRefused_data();
    void secondCommandDuringRunIsRefused();
    void printerGoneWhileDialogOpen();
    // Last: it stops the scheduler.
    void noSchedulerMeansNoDefaultPrinter_data();
    void noSchedulerMeansNoDefaultPrinter();

private:
    void run(Command command);
    QString waitForJob(const QString &queue, qsizetype before);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainPrint::initTestCase()
{
    Startup::initialiseApplication();
    const QString error = cups->start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
    for (const QString &queue : {Default, Other}) {
        const QString queueError = cups->addQueue(queue, queue == Default);
        if (!queueError.isEmpty())
            QFAIL(qPrintable(queueError));
    }
}

void TestMainPrint::init()
{
    TPrinter::release();
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_form = std::make_unique<TMainForm>();
    QVERIFY(m_form->notesLoaded());
    m_form->createDialogs();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->Memo->setText(numberedLines(150));
}

void TestMainPrint::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

void TestMainPrint::cleanupTestCase()
{
    TPrinter::release();
    delete cups;
    cups = nullptr;
}

void TestMainPrint::run(Command command)
{
    (command == Command::Print ? m_form->FilePrintMenuItem : m_form->PrinterSetup1)->trigger();
}

QString TestMainPrint::waitForJob(const QString &queue, qsizetype before)
{
    QStringList jobs;
    const auto arrived = [&] {
        jobs = cups->jobs(queue);
        return jobs.size() > before;
    };
    return QTest::qWaitFor(arrived, PrivateCups::WaitMs) ? jobs.last() : QString();
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

    const int acceptedBefore = cups->acceptedJobs(Default);
    const qsizetype before = cups->jobs(Default).size();
    QPoint position;
    QSize size;
    QStringList offered;
    DialogAnswer answer([&](QDialog *dialog) {
        position = dialog->frameGeometry().topLeft();
        size = dialog->frameGeometry().size();
        auto *print = qobject_cast<QPrintDialog *>(dialog);
        QVERIFY(print);
        QComboBox *printers = printerComboOf(print);
        QVERIFY(printers);
        for (int i = 0; i < printers->count(); ++i)
            offered.append(printers->itemText(i));
        QCOMPARE(printers->currentText(), Default);
        // All pages, always: no range, page set or selection to choose.
        QWidget *range = dialog->findChild<QWidget *>(QStringLiteral("gbPrintRange"));
        QVERIFY(range);
        QVERIFY(range->isHidden());
        if (auto *count = dialog->findChild<QSpinBox *>(QStringLiteral("copies")))
            count->setValue(copies);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
    run(Command::Print);
    QCOMPARE(m_boxes->texts(), QStringList());

    // Placed centred across, a third of the free height above it.
    const QRect screen = m_form->screen()->availableGeometry();
    QCOMPARE(position, QPoint(screen.x() + (screen.width() - size.width()) / 2,
                              screen.y() + (screen.height() - size.height()) / 3));
    // Only the system's printers: no print-to-file entry.
    offered.sort();
    QCOMPARE(offered, QStringList({Other, Default}));

    if (!accept) {
        // A job is with the scheduler by the time the command returns.
        QCOMPARE(cups->acceptedJobs(Default), acceptedBefore);
        return;
    }
    const QString job = waitForJob(Default, before);
    QVERIFY2(!job.isEmpty(), "no job reached the printer");
    QCOMPARE(countLines(PrivateCups::pdfText(job)), 150);
    // The printer makes the copies; the document holds each sheet once.
    QCOMPARE(cups->jobArgument(job, QStringLiteral("copies")), QString::number(copies));
    QVERIFY(PrivateCups::pdfPages(job) >= 2);
}

void TestMainPrint::setupChoiceServesLaterPrints_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<QString>("expectedQueue");

    QTest::newRow("OK") << true << Other;
    QTest::newRow("Cancel") << false << Default;
}

void TestMainPrint::setupChoiceServesLaterPrints()
{
    QFETCH(bool, accept);
    QFETCH(QString, expectedQueue);

    {
        DialogAnswer answer([&](QDialog *dialog) {
            auto *setup = qobject_cast<TPrinterSetupDialog *>(dialog);
            QVERIFY(setup);
            QCOMPARE(setup->printerCombo()->currentText(), Default);
            setup->printerCombo()->setCurrentText(Other);
            // A queue without a driver description still offers the common sizes.
            QComboBox *papers = setup->paperCombo();
            QVERIFY(papers->count() > 1);
            for (int i = 0; i < papers->count(); ++i) {
                if (papers->itemData(i).value<QPageSize>().id() == QPageSize::Letter)
                    papers->setCurrentIndex(i);
            }
            setup->findChild<QRadioButton *>(QString::fromLatin1(TPrinterSetupDialog::LandscapeName))->setChecked(true);
            if (accept)
                dialog->accept();
            else
                dialog->reject();
        });
        run(Command::PrinterSetup);
    }
    QCOMPARE(m_boxes->texts(), QStringList());

    const qsizetype before = cups->jobs(expectedQueue).size();
    QString offered;
    DialogAnswer answer([&](QDialog *dialog) {
        offered = printerComboOf(qobject_cast<QPrintDialog *>(dialog))->currentText();
        dialog->accept();
    });
    run(Command::Print);
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(offered, expectedQueue);
    const QString job = waitForJob(expectedQueue, before);
    QVERIFY2(!job.isEmpty(), "no job reached the chosen printer");
    QCOMPARE(countLines(PrivateCups::pdfText(job)), 150);

    // The paper and orientation chosen with the printer came along, or stayed as they were.
    QPrinter defaultPaper(QPrinter::HighResolution);
    defaultPaper.setPrinterName(Default);
    const QSizeF expected = accept ? QSizeF(792, 612) : defaultPaper.pageLayout().fullRectPoints().size();
    const QRegularExpressionMatch pageSize = QRegularExpression(QStringLiteral("Page size:\\s*([\\d.]+) x ([\\d.]+)"))
                                                 .match(cups->runClient(QStringLiteral("pdfinfo"), {job}));
    QVERIFY(pageSize.hasMatch());
    QCOMPARE(QSizeF(pageSize.captured(1).toDouble(), pageSize.captured(2).toDouble()), expected);
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

    const qsizetype before = cups->jobs(Default).size();
    std::unique_ptr<DialogAnswer> secondAnswer;
    bool wasPrinting = false;
    DialogAnswer firstAnswer([&](QDialog *dialog) {
        dialog->accept();
        // Comes up between two sheets of the run that this OK starts.
        QTimer::singleShot(0, this, [&, second] {
            wasPrinting = TPrinter::instance().printing();
            secondAnswer = std::make_unique<DialogAnswer>([](QDialog *d) { d->accept(); });
            run(second);
        });
    });
    run(Command::Print);
    QVERIFY(wasPrinting);
    QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("Printing in progress.")}));
    QCOMPARE(m_boxes->requests().value(0).caption, QStringLiteral("Pinnote"));
    QCOMPARE(m_boxes->requests().value(0).icon, MessageBox::Icon::Error);

    // The first job went on to the end.
    const QString job = waitForJob(Default, before);
    QVERIFY2(!job.isEmpty(), "the running job did not reach the printer");
    QCOMPARE(countLines(PrivateCups::pdfText(job)), 150);
    QVERIFY(!TPrinter::instance().printing());
}

void TestMainPrint::printerGoneWhileDialogOpen()
{
    const QString doomed = QStringLiteral("Doomed");
    QVERIFY(cups->addQueue(doomed, false).isEmpty());
    // Chosen in Printer Setup, then removed while the Print dialog shows it.
    {
        DialogAnswer answer([&](QDialog *dialog) {
            qobject_cast<TPrinterSetupDialog *>(dialog)->printerCombo()->setCurrentText(doomed);
            dialog->accept();
        });
        run(Command::PrinterSetup);
    }
    QCOMPARE(TPrinter::instance().printerName(), doomed);
    DialogAnswer answer([&](QDialog *dialog) {
        QVERIFY(cups->removeQueue(doomed).isEmpty());
        dialog->accept();
    });
    run(Command::Print);
    QCOMPARE(m_boxes->texts(), QStringList({QStringLiteral("Operation not supported on selected printer.")}));
    QVERIFY(!TPrinter::instance().printing());
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
    QCOMPARE(m_boxes->requests().value(0).icon, MessageBox::Icon::Error);
    QVERIFY(!dialogShown);
}

QTEST_MAIN(TestMainPrint)
#include "tst_mainprint.moc"
