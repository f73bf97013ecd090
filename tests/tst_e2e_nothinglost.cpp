// The real program on a private X display: a second copy for the same note file, by any
// path, brings the first one forward instead of opening a rival window; typing survives a
// SIGKILL; and what another user plants where the program looks stops nothing, shows nothing.

#include "platform/SingleInstance.h"
#include "storage/FileLock.h"
#include "storage/RecoverySnapshot.h"
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

using namespace Qt::StringLiterals;

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
    constexpr int StatusBarRows = 20, TextGrey = 60;
    for (int y = qMax(0, image.height() - StatusBarRows); y < image.height(); ++y)
        for (int x = 0; x < image.width() / 2; ++x)
            if (qGray(image.pixel(x, y)) < TextGrey)
                return true;
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
    RuntimeFolderOpenToAll,
    ForeignFlockOnNotes,
    HardLinkedLock,
    SymlinkToPadAtConflictCopy,
    ForeignConflictCopy,
    FifoAtConflictCopy,
    HugeConflictCopy,
    DanglingLinkAtNotes,
    ForeignLinkAtNotesToPad,
    DeletedNotes,
};

// The first-start pad with its page named otherwise.
const QByteArray RootOnlyPad = QByteArray(FirstStartFile).replace("\x04Memo", "\x09root only");

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
    const QString otherPath = bindMount ? other.path() : other.filePath(u"link"_s);
    if (!bindMount)
        QVERIFY(QFile::link(first.dirPath(), otherPath));
    else if (::mount(native(first.dirPath()), native(otherPath), nullptr, MS_BIND, nullptr) != 0)
        QSKIP(qPrintable(u"mounting is refused here: "_s + QString::fromLocal8Bit(::strerror(errno))));
    // Down before `other` goes, which would empty the first copy's folder through it.
    const auto unmount = qScopeGuard([&] {
        if (bindMount)
            ::umount2(native(otherPath), MNT_DETACH);
    });

    QVERIFY(first.start());
    const QString firstWindow = waitForWindowOf(first);
    QVERIFY2(!firstWindow.isEmpty(), first.describeMissingWindow("the first copy showed no window").constData());
    typeIntoEditor(firstWindow, u"+A"_s);

    ProgramUnderTest second(m_x);
    second.useFolder(otherPath);
    QVERIFY(second.start());
    QVERIFY(second.waitForExit());
    QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.process().exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(activeWindow(), firstWindow, WaitMs);

    // Typed straight on: the editor must have kept the focus (a click could select "+A").
    first.key(firstWindow, u"ctrl+End"_s);
    m_x.xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral(" +B")});
    first.key(firstWindow, u"alt+F4"_s);
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
    QTest::newRow("symlink to a root-only pad under a conflict copy's name in a 1777 note folder")
        << int(SymlinkToPadAtConflictCopy) << true;
    QTest::newRow("another user's 0666 conflict copy") << int(ForeignConflictCopy) << true;
    QTest::newRow("FIFO under a conflict copy's name") << int(FifoAtConflictCopy) << true;
    QTest::newRow("a copy claiming a huge page") << int(HugeConflictCopy) << true;
    QTest::newRow("dangling link at Pinnote.set into a 0700 folder") << int(DanglingLinkAtNotes) << true;
    QTest::newRow("another user's link at Pinnote.set to another pad") << int(ForeignLinkAtNotesToPad) << true;
    QTest::newRow("a deleted note file comes back 0600") << int(DeletedNotes) << true;
    QTest::newRow("a 1777 runtime folder keeps its mode") << int(RuntimeFolderOpenToAll) << true;
    QTest::newRow("a foreign flock on the note folder") << int(ForeignFlockOnNotes) << true;
    QTest::newRow("a hard-linked lock") << int(HardLinkedLock) << true;
}

// As a su session or cron starts it: no runtime folder, and `nobody` has been through the
// temporary folder and the folder above the state folder, both open to all as /tmp is.
void TestEndToEndNothingLost::plantedByAnotherUser()
{
    QFETCH(int, plant);
    QFETCH(bool, snapshotWritten);
    if (::geteuid() != 0)
        QSKIP("acting as another user needs root");

    QTemporaryDir shared;
    const QString temporary = shared.filePath(u"tmp"_s), state = shared.filePath(u"state"_s);
    const QString theirs = shared.filePath(u"theirs"_s), secret = shared.filePath(u"secret"_s);
    QVERIFY(QDir().mkpath(temporary) && QDir().mkpath(state) && QDir().mkpath(theirs));
    QVERIFY(::chmod(native(shared.path()), 0755) == 0 && ::chmod(native(temporary), 01777) == 0
            && ::chmod(native(state), 01777) == 0 && ::chown(native(theirs), OtherUser::Uid, OtherUser::Gid) == 0);
    QFile secretFile(secret);
    QVERIFY(secretFile.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner)
            && secretFile.write(RootOnlyPad) == RootOnlyPad.size() && secretFile.flush());

    ProgramUnderTest run(m_x);
    // Conflict copies are planted beside the user's 0600 pad in a note folder open to all.
    const bool besidePad = plant >= SymlinkToPadAtConflictCopy && plant <= HugeConflictCopy;
    const QString notes = shared.filePath(u"notes"_s);
    QFile pad(notes + u"/Pinnote.set"_s), huge(notes + u"/Pinnote.sync-conflict-20261209-101010-ABCDEFG.set"_s);
    if (besidePad) {
        QVERIFY(QDir().mkpath(notes) && ::chmod(native(notes), 01777) == 0);
        QVERIFY(pad.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner) && pad.write(FirstStartFile) > 0
                && pad.flush());
        run.useFolder(notes);
    }
    const QByteArray copyAt = native(huge.fileName());
    // The same open note folder; the pad's own name is what is planted, or deleted under the window.
    const bool linkAtNotes = plant == DanglingLinkAtNotes || plant == ForeignLinkAtNotesToPad;
    const QByteArray padAt = native(notes + u"/Pinnote.set"_s), planted = native(shared.filePath(u"private/planted"_s));
    if (plant >= DanglingLinkAtNotes) {
        QVERIFY(QDir().mkpath(notes) && ::chmod(native(notes), 01777) == 0 && QDir().mkpath(shared.filePath(u"private"_s)));
        run.useFolder(notes);
    }
    if (plant == DeletedNotes)
        QVERIFY(pad.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner) && pad.write(FirstStartFile) > 0
                && pad.flush());
    const QByteArray theirPad = QByteArray(FirstStartFile).replace("\x04Memo", "\x0Atheir page");
    // The user's own copy, really 128 MiB (sparse): only its size keeps it out.
    const QByteArray hugeStart = FirstStartFile.left(16) + QByteArray::fromHex("060468756765" "0c00000008");
    if (plant == HugeConflictCopy)
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write(hugeStart) > 0
                && huge.resize(hugeStart.size() + (128 << 20) + 1));
    run.setVariable(u"XDG_RUNTIME_DIR"_s, QString());
    run.setVariable(u"TMPDIR"_s, temporary);
    run.setVariable(u"XDG_CACHE_HOME"_s, run.filePath(u"cache"_s));
    run.setVariable(u"XDG_STATE_HOME"_s, state);
    // The slip of a hand-written profile: the shared temporary folder as the runtime folder.
    if (plant == RuntimeFolderOpenToAll)
        run.setVariable(u"XDG_RUNTIME_DIR"_s, temporary);
    // A note folder anyone may read, and so flock, with the user's 0600 pad in it.
    if (plant == ForeignFlockOnNotes) {
        QVERIFY(QDir().mkpath(notes) && ::chmod(native(notes), 0755) == 0);
        QVERIFY(pad.open(QIODevice::WriteOnly, QFile::ReadOwner | QFile::WriteOwner) && pad.write(FirstStartFile) > 0
                && pad.flush());
        run.useFolder(notes);
    }
    const QString runtime = temporary + u"/pinnote-%1"_s.arg(::geteuid()), snapshots = state + u"/pinnote"_s;

    // `nobody` can work out every name the program uses; this process does so in a runtime
    // folder of its own, and puts its environment back afterwards.
    const auto restore = qScopeGuard([runtime = qgetenv("XDG_RUNTIME_DIR"), tmp = qgetenv("TMPDIR")] {
        runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
        tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    });
    const QString ownRuntime = run.filePath(u"own-runtime"_s);
    QVERIFY(QDir().mkpath(ownRuntime) && ::chmod(native(ownRuntime), 0700) == 0);
    qputenv("XDG_RUNTIME_DIR", native(ownRuntime));
    const SingleInstance names(run.notesPath());
    QCOMPARE(names.folderPath(), ownRuntime);
    const QString lock = runtime + names.lockPath().mid(ownRuntime.size());
    const QString server = runtime + names.serverPath().mid(ownRuntime.size());
    const QString snapshot = snapshots + u'/' + QFileInfo(RecoverySnapshot(run.notesPath(), {}).path()).fileName();

    // Worked out here: the other user's child keeps to system calls.
    const QByteArray runtimeBytes = native(runtime), lockBytes = native(lock);
    const QByteArray snapshotsBytes = native(snapshots), at = native(snapshot), theirBytes = native(theirs);
    const QByteArray target = native(plant == SymlinkAtLockInOpenFolder ? theirs + u"/lock-target"_s
                                     : plant == DanglingSymlinkAtSnapshot ? theirs + u"/copy"_s
                                                                          : secret);
    const auto openFolder = [](const char *path) { return ::mkdir(path, 0777) == 0 && ::chmod(path, 0777) == 0; };
    // The user's own folder, left open for a while, as a mkdir under umask 000 leaves it.
    if (plant == SymlinkAtLockInOpenFolder || plant == SocketInOpenFolder || plant == HardLinkedLock)
        QVERIFY(openFolder(runtimeBytes));
    else if (plant >= OpenStateFolder && plant != ForeignStateFolder)
        QVERIFY(openFolder(snapshotsBytes));
    QVERIFY(OtherUser::run([&] {
        switch (Plant(plant)) {
        case RuntimeFolderWithLock:
        case RuntimeFolderWithSocket: return openFolder(runtimeBytes) && ::close(::open(lockBytes, O_CREAT, 0)) == 0;
        case SymlinkAtRuntimeFolder: return ::symlink(theirBytes, runtimeBytes) == 0;
        case SymlinkAtLockInOpenFolder: return ::symlink(target, lockBytes) == 0;
        case ForeignStateFolder: return openFolder(snapshotsBytes);
        case DanglingSymlinkAtSnapshot:
        case SymlinkToPrivateFileAtSnapshot: return ::symlink(target, at) == 0;
        case FifoAtSnapshot: return ::mkfifo(at, 0666) == 0;
        case DirectoryAtSnapshot: return ::mkdir(at, 0777) == 0;
        case SymlinkToPadAtConflictCopy: return ::symlink(target, copyAt) == 0;
        case DanglingLinkAtNotes: return ::symlink(planted, padAt) == 0;
        case ForeignLinkAtNotesToPad: return ::symlink(target, padAt) == 0;
        case FifoAtConflictCopy: return ::mkfifo(copyAt, 0666) == 0;
        case ForeignConflictCopy: {
            const int fd = ::open(copyAt, O_CREAT | O_EXCL | O_WRONLY, 0666);
            return ::fchmod(fd, 0666) == 0 && ::write(fd, theirPad.constData(), size_t(theirPad.size())) > 0;
        }
        default: return true;
        }
    }));
    // A flock needs no more than a descriptor, which `nobody` can get for a 0755 folder or a
    // 0644 file, so this process takes it in their place. Linked by root: with protected
    // hardlinks on, `nobody` may link only a file it could write.
    const QString linked = shared.filePath(u"linked"_s);
    QFile linkedFile(linked);
    if (plant == HardLinkedLock)
        QVERIFY(linkedFile.open(QIODevice::WriteOnly) && linkedFile.write("root's") == 6 && linkedFile.flush()
                && ::link(native(linked), lockBytes) == 0);
    FileLock flocked;
    if (plant == ForeignFlockOnNotes || plant == HardLinkedLock)
        QCOMPARE(flocked.acquire(plant == HardLinkedLock ? linked : notes, {}), FileLock::Result::Locked);
    std::optional<OtherUser::AnsweringSocket> socket;
    if (plant == RuntimeFolderWithSocket || plant == SocketInOpenFolder) {
        socket.emplace(native(server), native(theirs + u"/asked"_s));
        QVERIFY(socket->isListening());
    }

    if (plant == SocketInOpenFolder) {
        // With a copy of the user's holding the lock the next one asks over the socket, as
        // only this process can arrange: the planted socket must hear nothing.
        QVERIFY(::close(::open(lockBytes, O_CREAT | O_WRONLY, 0600)) == 0);
        FileLock held;
        QCOMPARE(held.acquire(QFile::decodeName(lockBytes), std::chrono::milliseconds(0)), FileLock::Result::Locked);
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
    if (besidePad)
        QTRY_VERIFY2_WITH_TIMEOUT(firstPanelShowsText(m_x.grabWindow(window)), "no notice of the copy", WaitMs);
    if (plant == DeletedNotes)
        QVERIFY(QFile::remove(run.notesPath()));
    typeIntoEditor(window, u"private words"_s);
    if (snapshotWritten) {
        struct stat status{};
        QTRY_VERIFY_WITH_TIMEOUT(::lstat(at, &status) == 0 && S_ISREG(status.st_mode)
                                     && readAll(snapshot).contains("private words"),
                                 WaitMs);
        QCOMPARE(status.st_mode & 07777, mode_t(0600));
        QCOMPARE(::lstat(snapshotsBytes, &status), 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0700));
        QVERIFY2(!OtherUser::run([&] { return ::open(at, O_RDONLY) >= 0; }), "another user can read the snapshot");
    } else {
        QTRY_VERIFY2_WITH_TIMEOUT(firstPanelShowsText(m_x.grabWindow(window)), "no notice in the status bar", WaitMs);
        m_x.grabWindow(window, ProgramUnderTest::screenshotPath(u"notice.png"_s));
    }
    run.key(window, u"alt+F4"_s);
    if (linkAtNotes) {
        // The save refuses the link, so the close asks; Yes leaves the words in the snapshot.
        const QStringList search{u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(run.process().processId()),
                                 u"--name"_s, u"^Error$"_s};
        QTRY_VERIFY_WITH_TIMEOUT(!m_x.xdotool(search).isEmpty(), WaitMs);
        run.key(m_x.xdotool(search).section(u'\n', 0, 0), u"alt+y"_s);
    }
    QVERIFY(run.waitForExit());
    QCOMPARE(run.process().exitCode(), 0);
    QVERIFY(readAll(linkAtNotes ? snapshot : run.notesPath()).contains("private words"));
    if (linkAtNotes) {
        struct stat link{};
        QVERIFY2(::lstat(padAt, &link) == 0 && S_ISLNK(link.st_mode), "the planted link was replaced");
        QVERIFY2(!QFile::exists(shared.filePath(u"private/planted"_s)), "wrote through the link");
        QVERIFY2(!readAll(snapshot).contains("root only"), "read through the link");
    }
    if (plant == DeletedNotes) {
        struct stat status{};
        QVERIFY(::lstat(padAt, &status) == 0 && (status.st_mode & 07777) == 0600);
        QVERIFY2(!OtherUser::run([&] { return ::open(padAt, O_RDONLY) >= 0; }), "another user can read the notes");
    }

    QVERIFY2(!socket || !socket->wasAsked(), "spoke to another user's socket");
    struct stat kept{};
    if (plant == RuntimeFolderOpenToAll)
        QVERIFY2(::stat(native(temporary), &kept) == 0 && (kept.st_mode & 07777) == 01777, "changed the folder's mode");
    if (plant == HardLinkedLock)
        QVERIFY2(readAll(linked) == "root's" && ::stat(native(linked), &kept) == 0 && kept.st_nlink == 1, "kept the link");
    QCOMPARE(readAll(secret), RootOnlyPad);
    if (besidePad) {
        const QByteArray saved = readAll(run.notesPath()), notesAt = native(run.notesPath());
        QVERIFY2(!saved.contains("root only") && !saved.contains("their page") && !saved.contains("huge"), "merged");
        struct stat left{};
        QVERIFY2(::lstat(copyAt, &left) == 0, "the planted copy was moved");
        QVERIFY2(!OtherUser::run([&] { return ::open(notesAt, O_RDONLY) >= 0; }), "another user can read the notes");
    }
    for (const QString &theirFolder : {theirs, plant == ForeignStateFolder ? snapshots : theirs})
        QCOMPARE(QDir(theirFolder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

QTEST_GUILESS_MAIN(TestEndToEndNothingLost)
#include "tst_e2e_nothinglost.moc"
