// The real program on a private X display, driven with xdotool as a user would.

#include "support/TestEnvironment.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exitThroughFileMenuWritesFirstStartFile();
    void corruptNoteFileStopsStartupAndIsLeftAlone();

private:

    XSession m_x;
    std::unique_ptr<ProgramUnderTest> m_run;
};

void TestEndToEnd::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEnd::init()
{
    m_run = std::make_unique<ProgramUnderTest>(m_x);
    QVERIFY(m_run->isValid());
}

void TestEndToEnd::cleanup()
{
    m_run.reset();
}

void TestEndToEnd::exitThroughFileMenuWritesFirstStartFile()
{
    QVERIFY(m_run->start());
    const QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());

    const auto exitThroughMenu = [&] {
        // Alt+F opens the File menu; "x" then picks E&xit.
        m_run->key(window, QStringLiteral("alt+f"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("x")});
        return m_run->process().waitForFinished(1000) || m_run->process().state() == QProcess::NotRunning;
    };
    QTRY_VERIFY_WITH_TIMEOUT(exitThroughMenu(), 30000);
    QCOMPARE(m_run->process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->process().exitCode(), 0);

    // A first start closed at once leaves the pad of one empty page "Memo".
    QFile notes(m_run->filePath(QStringLiteral("Pinnote.set")));
    QVERIFY(notes.open(QIODevice::ReadOnly));
    QCOMPARE(notes.readAll().toHex(' '),
             QByteArray("06 0b 54 4b 57 2d 50 69 6e 6e 6f 74 65 02 01 01 06 04 4d 65 6d 6f 06 00 00"));
}

void TestEndToEnd::corruptNoteFileStopsStartupAndIsLeftAlone()
{
    const QByteArray corrupt("\x06\x0bTKW-Pinnote\x02\x01\x01\x06\x04Memo\x06\x10short");
    QFile file(m_run->filePath(QStringLiteral("Pinnote.set")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(corrupt);
    file.close();

    QVERIFY(m_run->start());
    const QString box = m_run->waitForWindow(QStringLiteral("^Error$"));
    QVERIFY2(!box.isEmpty(), m_run->describeMissingWindow("the start-up message did not appear").constData());
    QVERIFY(m_x.findWindows(QStringLiteral("^Pinnote$")).isEmpty());
    QCOMPARE(m_run->process().state(), QProcess::Running);

    m_run->key(box, QStringLiteral("Return"));
    QVERIFY(m_run->waitForExit());
    QCOMPARE(m_run->process().exitStatus(), QProcess::NormalExit);

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), corrupt);
    QVERIFY(!QFile::exists(m_run->filePath(QStringLiteral("config/Brindle Pinnote.ini"))));
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e_pinnote.moc"
