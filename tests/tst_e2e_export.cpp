// The real program on a private X display: a page exported as text through the File
// menu and the save dialog, then as Rich Text onto the same name the dialog offers.

#include "support/ProgramUnderTest.h"
#include "support/TestBytes.h"
#include "support/XSession.h"

#include <QFile>
#include <QTest>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

// The note file of one page "Memo" holding "alpha\r\nbeta", laid out byte by byte.
const QByteArray OneMemoFile("\x06\x0bTKW-Pinnote\x02\x01\x01\x06\x04Memo\x06\x0b" "alpha\r\nbeta\0", 36);

} // namespace

class TestEndToEndExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void textThenRtfOntoTheOfferedName();

private:
    XSession m_x;
};

void TestEndToEndExport::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEndExport::textThenRtfOntoTheOfferedName()
{
    ProgramUnderTest run(m_x);
    QVERIFY(run.isValid());
    QFile notes(run.notesPath());
    QVERIFY(notes.open(QIODevice::WriteOnly));
    QVERIFY(notes.write(OneMemoFile) == OneMemoFile.size());
    notes.close();

    QVERIFY(run.start());
    const QString window = run.waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("no window titled Pinnote appeared").constData());

    // Alt+F opens the File menu, "e" its Export submenu, and "t" or "r" picks the command;
    // a key that came before its menu was up is tried again.
    QString dialog;
    const auto openExport = [&](const char *command) {
        dialog = m_x.findWindows(QStringLiteral("^Export file$")).value(0);
        if (!dialog.isEmpty())
            return true;
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("Escape"), QStringLiteral("Escape")});
        run.key(window, QStringLiteral("alt+f"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("e")});
        m_x.xdotool({QStringLiteral("key"), QString::fromLatin1(command)});
        dialog = run.waitForWindow(QStringLiteral("^Export file$"), 1000);
        return !dialog.isEmpty();
    };
    QTRY_VERIFY_WITH_TIMEOUT(openExport("t"), WaitMs);
    m_x.grabWindow(dialog, ProgramUnderTest::screenshotPath(QStringLiteral("export-dialog.png")));
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral("notes")});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    const QString exported = run.filePath(QStringLiteral("notes.txt"));
    QTRY_COMPARE_WITH_TIMEOUT(readAll(exported), QByteArray("alpha\r\nbeta"), WaitMs);
    QVERIFY(run.waitForNoWindow(QStringLiteral("^Export file$")));

    // The dialog offers notes.txt again; Save writes Rich Text into it.
    QTRY_VERIFY_WITH_TIMEOUT(openExport("r"), WaitMs);
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(readAll(exported).startsWith("{\\rtf1"), WaitMs);
    QVERIFY(readAll(exported).contains("alpha\\par"));
    QVERIFY(readAll(exported).contains("beta"));
}

QTEST_MAIN(TestEndToEndExport)
#include "tst_e2e_export.moc"
