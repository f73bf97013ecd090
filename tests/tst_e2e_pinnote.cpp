// The real program on a private X display, driven with xdotool as a user would.

#include "support/TestEnvironment.h"
#include "support/ProgramUnderTest.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
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
    void dialogsCannotBeMinimised_data();
    void dialogsCannotBeMinimised();

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

void TestEndToEnd::dialogsCannotBeMinimised_data()
{
    QTest::addColumn<QStringList>("openKeys"); // "Caption: keys" waits for that window first
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("closeKey");

    QTest::newRow("About") << QStringList{QStringLiteral("alt+h"), QStringLiteral("a")} << QStringLiteral("About")
                           << QStringLiteral("Return");
    QTest::newRow("Find Text") << QStringList{QStringLiteral("ctrl+f")} << QStringLiteral("Find Text")
                               << QStringLiteral("Escape");
    QTest::newRow("New Memo") << QStringList{QStringLiteral("alt+p"), QStringLiteral("m")}
                              << QStringLiteral("New Memo") << QStringLiteral("Escape");
    QTest::newRow("Not found") << QStringList{QStringLiteral("ctrl+f"), QStringLiteral("Find Text: z Return")}
                               << QStringLiteral("Pinnote") << QStringLiteral("Return");
    QTest::newRow("Select Color") << QStringList{QStringLiteral("alt+v"), QStringLiteral("c")}
                                  << QStringLiteral("Select Color") << QStringLiteral("Escape");
    QTest::newRow("Font") << QStringList{QStringLiteral("alt+v"), QStringLiteral("f")} << QStringLiteral("Font")
                          << QStringLiteral("Escape");
}

// Regression: the window manager minimised a modal window, and the main window behind it
// went down with it or took no input with nothing on show to answer.
void TestEndToEnd::dialogsCannotBeMinimised()
{
    QFETCH(QStringList, openKeys);
    QFETCH(QString, caption);
    QFETCH(QString, closeKey);
    QVERIFY(m_run->start());
    const QString window = m_run->waitForWindow(QStringLiteral("^Pinnote$"));
    QVERIFY2(!window.isEmpty(), m_run->describeMissingWindow("no window titled Pinnote appeared").constData());
    m_run->key(window, openKeys.first());
    for (const QString &step : openKeys.mid(1)) {
        const QStringList parts = step.split(QLatin1String(": "));
        if (parts.size() > 1)
            m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_run->waitForWindow(u'^' + parts.first() + u'$')});
        m_x.xdotool(QStringList{QStringLiteral("key")} + parts.last().split(u' '));
    }
    const QString pattern = QLatin1Char('^') + caption + QLatin1Char('$');
    QString dialog; // a box may have the main window's caption
    const auto other = [&] { QStringList found = m_x.findWindows(pattern); found.removeAll(window); return found.value(0); };
    QTRY_VERIFY2_WITH_TIMEOUT(!(dialog = other()).isEmpty(), m_run->describeMissingWindow("the dialog did not open").constData(),
                              ProgramUnderTest::WaitMs);

    // The Motif hints (flags, functions, decorations) ask for neither minimise nor
    // maximise: the functions are given (flag 1) without "all" (1), minimise (8) or
    // maximise (16), and the decorations, if given (flag 2), without 1, 32 or 64.
    const QString hints = m_x.run(QStringLiteral("xprop"), {QStringLiteral("-id"), dialog, QStringLiteral("_MOTIF_WM_HINTS")});
    const QRegularExpressionMatch hint = QRegularExpression(QStringLiteral("= (\\w+), (\\w+), (\\w+)")).match(hints);
    const uint flags = hint.captured(1).toUInt(nullptr, 16);
    QVERIFY2((flags & 1) && !(hint.captured(2).toUInt(nullptr, 16) & (1 | 8 | 16)), qPrintable(hints));
    QVERIFY2(!(flags & 2) || !(hint.captured(3).toUInt(nullptr, 16) & (1 | 32 | 64)), qPrintable(hints));

    // openbox minimises all the same, and the main window with it; both come back.
    const auto shown = [this](const QString &id) {
        return m_x.run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("WM_STATE")}).contains(QLatin1String("Normal"));
    };
    m_x.xdotool({QStringLiteral("windowminimize"), QStringLiteral("--sync"), dialog});
    QTRY_VERIFY_WITH_TIMEOUT(m_x.findWindows(pattern).contains(dialog) && shown(dialog) && shown(window),
                             ProgramUnderTest::WaitMs);
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("dialog-back.png")));
    m_run->key(dialog, closeKey);
    QTRY_VERIFY_WITH_TIMEOUT(!m_x.findWindows(pattern).contains(dialog), ProgramUnderTest::WaitMs);
    // The main window takes input again: Alt+F4 closes it.
    m_run->key(window, QStringLiteral("alt+F4"));
    QVERIFY(m_run->waitForExit());
    QCOMPARE(m_run->process().exitCode(), 0);
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
