// The real program on a private X display, driven with xdotool as a user would.

#include "support/TestEnvironment.h"
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
    void startProgram();
    QString waitForWindow(const QString &title);
    bool waitForExit();
    void key(const QString &window, const QString &keys);

    XSession m_x;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_program;
};

void TestEndToEnd::initTestCase()
{
    const QString error = m_x.start();
    if (!error.isEmpty())
        QFAIL(qPrintable(error));
}

void TestEndToEnd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestEndToEnd::cleanup()
{
    if (m_program && m_program->state() != QProcess::NotRunning) {
        m_program->kill();
        m_program->waitForFinished(5000);
    }
    m_program.reset();
    m_dir.reset();
}

void TestEndToEnd::startProgram()
{
    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(m_x.environment(m_dir->path(), m_dir->filePath(QStringLiteral("config"))));
    m_program->setWorkingDirectory(m_dir->path());
    m_program->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_program->start(QStringLiteral(PINNOTE_BINARY), {});
    QVERIFY(m_program->waitForStarted(10000));
}

QString TestEndToEnd::waitForWindow(const QString &title)
{
    QStringList windows;
    const auto found = [&] {
        windows = m_x.findWindows(title);
        return !windows.isEmpty() || m_program->state() == QProcess::NotRunning;
    };
    const QDeadlineTimer deadline(30000);
    while (!found() && !deadline.hasExpired())
        QTest::qWait(50);
    return windows.value(0);
}

bool TestEndToEnd::waitForExit()
{
    return m_program->waitForFinished(30000) || m_program->state() == QProcess::NotRunning;
}

void TestEndToEnd::key(const QString &window, const QString &keys)
{
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    m_x.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

void TestEndToEnd::exitThroughFileMenuWritesFirstStartFile()
{
    startProgram();
    const QString window = waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), "no window titled Pinnote appeared");

    const auto exitThroughMenu = [&] {
        // Alt+F opens the File menu; "x" then picks E&xit.
        key(window, QStringLiteral("alt+f"));
        m_x.xdotool({QStringLiteral("key"), QStringLiteral("x")});
        return m_program->waitForFinished(1000) || m_program->state() == QProcess::NotRunning;
    };
    QTRY_VERIFY_WITH_TIMEOUT(exitThroughMenu(), 30000);
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);

    // A first start closed at once leaves the pad of one empty page "Memo".
    QFile notes(m_dir->filePath(QStringLiteral("Pinnote.set")));
    QVERIFY(notes.open(QIODevice::ReadOnly));
    QCOMPARE(notes.readAll().toHex(' '),
             QByteArray("06 0b 54 4b 57 2d 50 69 6e 6e 6f 74 65 02 01 01 06 04 4d 65 6d 6f 06 00 00"));
}

void TestEndToEnd::corruptNoteFileStopsStartupAndIsLeftAlone()
{
    const QByteArray corrupt("\x06\x0bTKW-Pinnote\x02\x01\x01\x06\x04Memo\x06\x10short");
    QFile file(m_dir->filePath(QStringLiteral("Pinnote.set")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(corrupt);
    file.close();

    startProgram();
    const QString box = waitForWindow(QStringLiteral("^Error$"));
    QVERIFY2(!box.isEmpty(), "the start-up message did not appear");
    QVERIFY(m_x.findWindows(QStringLiteral("^Pinnote$")).isEmpty());
    QCOMPARE(m_program->state(), QProcess::Running);

    key(box, QStringLiteral("Return"));
    QVERIFY(waitForExit());
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), corrupt);
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("config/Brindle Pinnote.ini"))));
}

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "tst_e2e_pinnote.moc"
