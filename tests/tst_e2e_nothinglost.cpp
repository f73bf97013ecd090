// The real program on a private X display: a second copy for the same note file, by any
// path, brings the first one forward instead of opening a rival window; typing survives a
// SIGKILL; and what another user plants where the program looks stops nothing and is
// shown nothing.

#include "platform/SingleInstance.h"
#include "storage/FileLock.h"
#include "support/OtherUser.h"
#include "support/ProgramUnderTest.h"
#include "support/TestBytes.h"
#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int WaitMs = ProgramUnderTest::WaitMs;

// The first-start pad, one empty page "Memo".
const QByteArray FirstStartFile = QByteArray::fromHex("060b544b572d50696e6e6f74650201010604" "4d656d6f" "060000");

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Dark text in the status bar's first panel, along the bottom of the window's grab;
// the panel's sunken frame is a lighter grey.
bool firstPanelShowsText(const QImage &image)
{
    constexpr int StatusBarRows = 20;
    constexpr int TextGrey = 60;
    for (int y = qMax(0, image.height() - StatusBarRows); y < image.height(); ++y) {
        for (int x = 0; x < image.width() / 2; ++x) {
            if (qGray(image.pixel(x, y)) < TextGrey)
                return true;
        }
    }
    return false;
}

enum Plant {
    RuntimeFolderWithLock,
    RuntimeFolderWithSocket,
    SymlinkAtRuntimeFolder,
    SymlinkAtLockInOpenFolder,
    SocketInOpenFolder,
    OpenStateFolder,
    ForeignStateFolder,
    DanglingSymlinkAtSnapshot,
    SymlinkToPrivateFileAtSnapshot,
    FifoAtSnapshot,
    DirectoryAtSnapshot,
};

// Takes a bind mount down again however the test ends.
class BindMount
{
public:
    BindMount(const QString &source, const QString &target)
        : m_target(native(target))
    {
        m_error = ::mount(native(source).constData(), m_target.constData(), nullptr, MS_BIND, nullptr) == 0 ? 0 : errno;
    }
    ~BindMount()
    {
        if (m_error == 0)
            ::umount2(m_target.constData(), MNT_DETACH);
    }
    int error() const { return m_error; }

private:
    QByteArray m_target;
    int m_error = 0;
};

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
    void otherPathToTheFolderRaisesTheFirst_data();
    void otherPathToTheFolderRaisesTheFirst();
    void plantedByAnotherUser_data();
    void plantedByAnotherUser();

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

void TestEndToEndNothingLost::otherPathToTheFolderRaisesTheFirst_data()
{
    QTest::addColumn<bool>("bindMount"); // else a symlink to the folder
    QTest::newRow("bind mount") << true;
    QTest::newRow("symlinked folder") << false;
}

void TestEndToEndNothingLost::otherPathToTheFolderRaisesTheFirst()
{
    QFETCH(bool, bindMount);
    ProgramUnderTest first(m_x);
    QTemporaryDir other;
    const QString otherPath = bindMount ? other.path() : other.filePath(QStringLiteral("link"));
    std::optional<BindMount> mounted;
    if (bindMount) {
        mounted.emplace(first.dirPath(), otherPath);
        if (mounted->error() != 0)
            QSKIP(qPrintable(QStringLiteral("mounting is refused here: %1").arg(QString::fromLocal8Bit(::strerror(mounted->error())))));
    } else {
        QVERIFY(QFile::link(first.dirPath(), otherPath));
    }

    QVERIFY(first.start());
    const QString firstWindow = waitForWindowOf(first);
    QVERIFY2(!firstWindow.isEmpty(), first.describeMissingWindow("the first copy showed no window").constData());
    typeIntoEditor(firstWindow, QStringLiteral("+A"));
    first.key(firstWindow, QStringLiteral("ctrl+s"));
    QTRY_VERIFY_WITH_TIMEOUT(readAll(first.notesPath()).contains("+A"), WaitMs);

    ProgramUnderTest second(m_x);
    second.useFolder(otherPath);
    QVERIFY(second.start());
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process().exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), firstWindow, WaitMs);

    // The editor kept the focus; a second click could select the word typed before.
    first.key(firstWindow, QStringLiteral("ctrl+End"));
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral(" +B")});
    first.key(firstWindow, QStringLiteral("alt+F4"));
    QVERIFY(first.waitForExit());
    QCOMPARE(first.process().exitCode(), 0);
    const QByteArray notes = readAll(first.notesPath());
    QVERIFY2(notes.contains("+A") && notes.contains("+B"), notes.constData());
}

void TestEndToEndNothingLost::plantedByAnotherUser_data()
{
    QTest::addColumn<int>("plant");
    QTest::addColumn<bool>("snapshotWritten");
    QTest::newRow("another user's runtime folder with a lock") << int(RuntimeFolderWithLock) << true;
    QTest::newRow("another user's runtime folder with an answering socket") << int(RuntimeFolderWithSocket) << true;
    QTest::newRow("symlink under the runtime folder's name") << int(SymlinkAtRuntimeFolder) << true;
    QTest::newRow("symlink under the lock's name") << int(SymlinkAtLockInOpenFolder) << true;
    QTest::newRow("unit: answering socket under the socket's name") << int(SocketInOpenFolder) << true;
    QTest::newRow("state folder open to others") << int(OpenStateFolder) << true;
    QTest::newRow("another user's state folder") << int(ForeignStateFolder) << false;
    QTest::newRow("dangling symlink at the snapshot") << int(DanglingSymlinkAtSnapshot) << true;
    QTest::newRow("symlink to a root-only file at the snapshot") << int(SymlinkToPrivateFileAtSnapshot) << true;
    QTest::newRow("FIFO at the snapshot") << int(FifoAtSnapshot) << true;
    QTest::newRow("directory at the snapshot") << int(DirectoryAtSnapshot) << false;
}

// As a su session or cron starts it: no runtime folder, and `nobody` has been through the
// temporary folder and the folder above the state folder, both open to all as /tmp is.
void TestEndToEndNothingLost::plantedByAnotherUser()
{
    QFETCH(int, plant);
    QFETCH(bool, snapshotWritten);
    if (!OtherUser::available())
        QSKIP("acting as another user needs root");

    QTemporaryDir shared;
    const QString temporary = shared.filePath(QStringLiteral("tmp"));
    const QString state = shared.filePath(QStringLiteral("state"));
    const QString theirs = shared.filePath(QStringLiteral("theirs"));
    const QString secret = shared.filePath(QStringLiteral("private/secret"));
    QVERIFY(QDir().mkpath(temporary) && QDir().mkpath(state) && QDir().mkpath(theirs)
            && QDir().mkpath(QFileInfo(secret).path()));
    QVERIFY(::chmod(native(shared.path()), 0755) == 0 && ::chmod(native(temporary), 01777) == 0
            && ::chmod(native(state), 01777) == 0 && ::chown(native(theirs), OtherUser::Uid, OtherUser::Gid) == 0);
    QFile secretFile(secret);
    QVERIFY(secretFile.open(QIODevice::WriteOnly) && secretFile.write("root only") == 9);
    secretFile.close();
    QVERIFY(::chmod(native(secret), 0600) == 0);

    ProgramUnderTest run(m_x);
    run.setVariable(QStringLiteral("XDG_RUNTIME_DIR"), QString());
    run.setVariable(QStringLiteral("TMPDIR"), temporary);
    run.setVariable(QStringLiteral("XDG_CACHE_HOME"), run.filePath(QStringLiteral("cache")));
    run.setVariable(QStringLiteral("XDG_STATE_HOME"), state);
    const QString runtime = temporary + QStringLiteral("/pinnote-%1").arg(::geteuid());
    const QString snapshots = state + QStringLiteral("/pinnote");

    // `nobody` can work out every name the program uses; here a first run shows them.
    QString lockName, socketName, snapshotName;
    {
        ProgramUnderTest probe(m_x);
        probe.useFolder(run.dirPath());
        const QString probeRuntime = run.filePath(QStringLiteral("probe-runtime"));
        QVERIFY(QDir().mkpath(probeRuntime) && ::chmod(native(probeRuntime), 0700) == 0);
        probe.setVariable(QStringLiteral("XDG_RUNTIME_DIR"), probeRuntime);
        probe.setVariable(QStringLiteral("XDG_STATE_HOME"), run.filePath(QStringLiteral("probe-state")));
        QVERIFY(probe.start());
        const QString window = waitForWindowOf(probe);
        QVERIFY2(!window.isEmpty(), probe.describeMissingWindow("the first run showed no window").constData());
        typeIntoEditor(window, QStringLiteral("probe"));
        const QDir probeState(run.filePath(QStringLiteral("probe-state/pinnote")));
        QTRY_COMPARE_WITH_TIMEOUT(probeState.entryList(QDir::Files).size(), 1, WaitMs);
        snapshotName = probeState.entryList(QDir::Files).at(0);
        for (const QString &name : QDir(probeRuntime).entryList(QDir::System | QDir::Files))
            (name.endsWith(QLatin1String(".lock")) ? lockName : socketName) = name;
        QCOMPARE(::kill(pid_t(probe.process().processId()), SIGKILL), 0);
        QVERIFY(probe.waitForExit());
    }
    QVERIFY(!lockName.isEmpty() && !socketName.isEmpty());

    std::optional<OtherUser::AnsweringSocket> socket;
    // Worked out here: the other user's child keeps to system calls.
    const QByteArray runtimeBytes = native(runtime), lockBytes = native(runtime + QLatin1Char('/') + lockName);
    const QByteArray theirBytes = native(theirs), snapshotsBytes = native(snapshots);
    const QByteArray at = native(snapshots + QLatin1Char('/') + snapshotName);
    const QByteArray target = native(plant == DanglingSymlinkAtSnapshot ? theirs + QStringLiteral("/copy") : secret);
    switch (Plant(plant)) {
    case RuntimeFolderWithLock:
    case RuntimeFolderWithSocket:
        QVERIFY(OtherUser::run([&] {
            return ::mkdir(runtimeBytes, 0777) == 0 && ::chmod(runtimeBytes, 0777) == 0
                   && ::close(::open(lockBytes, O_CREAT | O_WRONLY, 0)) == 0;
        }));
        if (plant == RuntimeFolderWithSocket) {
            socket.emplace(native(runtime + QLatin1Char('/') + socketName), native(theirs + QStringLiteral("/asked")));
            QVERIFY(socket->isListening());
        }
        break;
    case SymlinkAtRuntimeFolder:
        QVERIFY(OtherUser::run([&] { return ::symlink(theirBytes, runtimeBytes) == 0; }));
        break;
    case SymlinkAtLockInOpenFolder:
    case SocketInOpenFolder:
        // The user's own folder, left open for a while.
        QVERIFY(::mkdir(runtimeBytes, 0777) == 0 && ::chmod(runtimeBytes, 0777) == 0);
        if (plant == SymlinkAtLockInOpenFolder) {
            const QByteArray lockTarget = native(theirs + QStringLiteral("/lock-target"));
            QVERIFY(OtherUser::run([&] { return ::symlink(lockTarget, lockBytes) == 0; }));
        } else {
            socket.emplace(native(runtime + QLatin1Char('/') + socketName), native(theirs + QStringLiteral("/asked")));
            QVERIFY(socket->isListening());
        }
        break;
    case ForeignStateFolder:
        QVERIFY(OtherUser::run([&] { return ::mkdir(snapshotsBytes, 0777) == 0 && ::chmod(snapshotsBytes, 0777) == 0; }));
        break;
    default:
        // The user's own state folder, left open as a mkdir under umask 000 leaves it.
        QVERIFY(::mkdir(native(snapshots), 0777) == 0 && ::chmod(native(snapshots), 0777) == 0);
        QVERIFY(OtherUser::run([&] {
            switch (Plant(plant)) {
            case DanglingSymlinkAtSnapshot:
            case SymlinkToPrivateFileAtSnapshot:
                return ::symlink(target.constData(), at.constData()) == 0;
            case FifoAtSnapshot:
                return ::mkfifo(at.constData(), 0666) == 0;
            case DirectoryAtSnapshot:
                return ::mkdir(at.constData(), 0777) == 0;
            default:
                return true;
            }
        }));
        break;
    }

    if (plant == SocketInOpenFolder) {
        // With a copy of the user's holding the lock the next one asks over the socket, as
        // only this process can arrange: the planted socket must hear nothing.
        QVERIFY(::close(::open(lockBytes, O_CREAT | O_WRONLY, 0600)) == 0);
        FileLock held;
        QCOMPARE(held.acquire(QFile::decodeName(lockBytes), std::chrono::milliseconds(0)), FileLock::Result::Locked);
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR"), savedTmp = qgetenv("TMPDIR");
        const auto restore = qScopeGuard([&] {
            savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime);
            savedTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTmp);
        });
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", native(temporary));
        SingleInstance copy(run.notesPath());
        QCOMPARE(copy.claim(std::chrono::milliseconds(300)), SingleInstance::Claim::OtherSilent);
        QVERIFY2(!socket->wasAsked(), "spoke to another user's socket");
        return;
    }

    // Under umask 000 nothing of the program's may come out open to others.
    const mode_t umask = ::umask(0);
    const bool started = run.start();
    ::umask(umask);
    QVERIFY(started);
    const QString window = waitForWindowOf(run);
    QVERIFY2(!window.isEmpty(), run.describeMissingWindow("the user's start showed no window").constData());
    m_x.screenshot(ProgramUnderTest::screenshotPath(QStringLiteral("planted.png")));
    typeIntoEditor(window, QStringLiteral("private words"));
    if (snapshotWritten) {
        const auto snapshotFiles = [&] {
            QStringList found;
            for (const QFileInfo &file : QDir(snapshots).entryInfoList(QDir::Files | QDir::NoSymLinks))
                if (readAll(file.filePath()).contains("private words"))
                    found << file.filePath();
            return found;
        };
        QTRY_COMPARE_WITH_TIMEOUT(snapshotFiles().size(), 1, WaitMs);
        const QByteArray written = native(snapshotFiles().at(0));
        struct stat status{};
        QCOMPARE(::lstat(written.constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
        QCOMPARE(::lstat(snapshotsBytes.constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0700));
        QVERIFY2(!OtherUser::run([&] { return ::open(written.constData(), O_RDONLY) >= 0; }),
                 "another user can read the snapshot");
    } else {
        QTRY_VERIFY2_WITH_TIMEOUT(firstPanelShowsText(m_x.grabWindow(window)), "no notice in the status bar", WaitMs);
        m_x.grabWindow(window, ProgramUnderTest::screenshotPath(QStringLiteral("notice.png")));
    }
    run.key(window, QStringLiteral("alt+F4"));
    QVERIFY(run.waitForExit());
    QCOMPARE(run.process().exitCode(), 0);
    QVERIFY(readAll(run.notesPath()).contains("private words"));

    QVERIFY2(!socket || !socket->wasAsked(), "spoke to another user's socket");
    QCOMPARE(readAll(secret), QByteArray("root only"));
    for (const QString &theirFolder : {theirs, plant == ForeignStateFolder ? snapshots : theirs})
        QCOMPARE(QDir(theirFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TestEndToEndNothingLost)
#include "tst_e2e_nothinglost.moc"
