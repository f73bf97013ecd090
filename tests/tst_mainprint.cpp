// Print and Printer Setup in the main window with no CUPS scheduler to reach.

#include "app/Main.h"
#include "app/Startup.h"
#include "support/TestEnvironment.h"
#include "print/TPrinter.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>

class TestMainPrint : public QObject
{
    Q_OBJECT

public:
    // Before Qt's printer support first asks for printers: nobody listens on this socket.
    static void initMain() { qputenv("CUPS_SERVER", "/nonexistent/pinnote-test/cups.sock"); }

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void cleanupTestCase() { TPrinter::release(); }
    void noSchedulerMeansNoDefaultPrinter_data();
    void noSchedulerMeansNoDefaultPrinter();
};

void TestMainPrint::noSchedulerMeansNoDefaultPrinter_data()
{
    QTest::addColumn<bool>("print");
    QTest::newRow("Print") << true;
    QTest::newRow("Printer Setup") << false;
}

void TestMainPrint::noSchedulerMeansNoDefaultPrinter()
{
    QFETCH(bool, print);
    TPrinter::release();
    TestEnvironment env;
    MessageBoxRecorder boxes;
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // Any dialog the command opens is noted and closed.
    bool dialogShown = false;
    QTimer watch;
    watch.setInterval(0);
    connect(&watch, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialogShown = true, dialog->reject();
    });
    watch.start();
    (print ? form.FilePrintMenuItem : form.PrinterSetup1)->trigger();
    watch.stop();
    QCOMPARE(boxes.texts(), QStringList({QStringLiteral("There is no default printer currently selected.")}));
    QCOMPARE(boxes.requests().value(0).caption, QStringLiteral("Pinnote"));
    QVERIFY(!dialogShown);
}

QTEST_MAIN(TestMainPrint)
#include "tst_mainprint.moc"
