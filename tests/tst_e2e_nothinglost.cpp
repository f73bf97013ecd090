// The real program on a private X display: a second copy for the same note file brings the
// first one forward instead of opening a rival window, and typing survives a SIGKILL.

#include "support/ProgramUnderTest.h"
#include "support/TestBytes.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <signal.h>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

// The first-start pad, one empty page "Memo".
const QByteArray FirstStartFile = QByteArray::fromHex("060b544b572d50696e6e6f74650201010604" "4d656d6f" "060000");

} // namespace

class TestEndToEndNothingLost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString error = m_x.start();
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void secondCopyRaisesTheFirst();
    void typingSurvivesAKill_data();
    void typingSurvivesAKill();

private:
    // A window titled Pinnote of this run, other than `other`; empty when none shows.
    QString waitForWindowOf(ProgramUnderTest &run, const QString &other = QString()) const;
    void typeIntoEditor(const QString &window, const QString &text) const;
    QString activeWindow() const { return m_x.xdotool({QStringLiteral("getactivewindow")}); }

    XSession m_x;
};

QString TestEndToEndNothingLost::waitForWindowOf(ProgramUnderTest &run, const QString &other) const
{
    const QDeadlineTimer deadline(WaitMs);
    for (;;) {
        QStringList windows = m_x.xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                                           QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                           QString::number(run.process().processId()), QStringLiteral("--name"),
                                           QStringLiteral("^Pinnote$")})
                                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        windows.removeAll(other);
        if (!windows.isEmpty())
            return windows.at(0);
        if (run.process().state() == QProcess::NotRunning || deadline.hasExpired())
            return {};
        QTest::qWait(50);
    }
}

void TestEndToEndNothingLost::typeIntoEditor(const QString &window, const QString &text) const
{
    // The tab strip has the focus at start; a click puts it into the editor.
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    const QRect client = m_x.clientGeometry(window);
    m_x.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(client.width() / 2),
                 QString::number(client.height() / 2), QStringLiteral("click"), QStringLiteral("1")});
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), text});
}

void TestEndToEndNothingLost::secondCopyRaisesTheFirst()
{
    ProgramUnderTest first(m_x);
    QVERIFY(first.start());
    const QString firstWindow = waitForWindowOf(first);
    QVERIFY2(!firstWindow.isEmpty(), first.describeMissingWindow("the first copy showed no window").constData());

    // A copy in another folder is a pad of its own, and takes the front from the first.
    ProgramUnderTest elsewhere(m_x);
    QVERIFY(elsewhere.start());
    const QString otherWindow = waitForWindowOf(elsewhere);
    QVERIFY2(!otherWindow.isEmpty(), elsewhere.describeMissingWindow("the copy elsewhere showed no window").constData());
    m_x.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), otherWindow});
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), otherWindow, WaitMs);

    ProgramUnderTest second(m_x);
    second.shareFolderWith(first);
    QVERIFY(second.start());
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process().exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), firstWindow, WaitMs);
    // It wrote nothing: neither notes nor settings exist before the first copy closes.
    QVERIFY(!QFile::exists(first.notesPath()));
    QVERIFY(!QFile::exists(first.settingsPath()));

    typeIntoEditor(firstWindow, QStringLiteral("kept by the first"));
    first.key(firstWindow, QStringLiteral("alt+F4"));
    QVERIFY(first.waitForExit());
    QCOMPARE(first.process().exitCode(), 0);
    QVERIFY(readAll(first.notesPath()).contains("kept by the first"));
}

void TestEndToEndNothingLost::typingSurvivesAKill_data()
{
    QTest::addColumn<bool>("restore");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestEndToEndNothingLost::typingSurvivesAKill()
{
    QFETCH(bool, restore);
    const QByteArray typed("typed before the kill");

    ProgramUnderTest crashed(m_x);
    QVERIFY(crashed.start());
    const QString window = waitForWindowOf(crashed);
    QVERIFY2(!window.isEmpty(), crashed.describeMissingWindow("no window appeared").constData());
    typeIntoEditor(window, QString::fromLatin1(typed));

    const QString snapshotDir = crashed.snapshotDir();
    const auto snapshots = [&] { return QDir(snapshotDir).entryList(QDir::Files); };
    QTRY_VERIFY_WITH_TIMEOUT(snapshots().size() == 1 && readAll(snapshotDir + u'/' + snapshots().at(0)).contains(typed),
                             WaitMs);
    const QString snapshotName = snapshots().at(0);
    QCOMPARE(::kill(pid_t(crashed.process().processId()), SIGKILL), 0);
    QVERIFY(crashed.waitForExit());
    QVERIFY(!QFile::exists(crashed.notesPath()));

    ProgramUnderTest next(m_x);
    next.shareFolderWith(crashed);
    QVERIFY(next.start());
    // The question comes before the main window, under the application's title.
    const QString box = waitForWindowOf(next);
    QVERIFY2(!box.isEmpty(), next.describeMissingWindow("the restore question did not appear").constData());
    next.key(box, restore ? QStringLiteral("alt+y") : QStringLiteral("alt+n"));

    const QString mainWindow = waitForWindowOf(next, box);
    QVERIFY2(!mainWindow.isEmpty(), next.describeMissingWindow("no main window after the question").constData());
    next.key(mainWindow, QStringLiteral("alt+F4"));
    QVERIFY(next.waitForExit());
    QCOMPARE(next.process().exitCode(), 0);

    const QStringList left = snapshots();
    if (restore) {
        QVERIFY(readAll(next.notesPath()).contains(typed));
        // Saved at the close, so nothing is left to recover.
        QCOMPARE(left, QStringList());
    } else {
        QCOMPARE(readAll(next.notesPath()), FirstStartFile);
        QCOMPARE(left.size(), 1);
        QVERIFY(left.at(0) != snapshotName);
        QVERIFY(readAll(snapshotDir + u'/' + left.at(0)).contains(typed));
    }
}

QTEST_GUILESS_MAIN(TestEndToEndNothingLost)
#include "tst_e2e_nothinglost.moc"
