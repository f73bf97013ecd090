// The recovery snapshot's timing: written during continuous changes, never without one,
// and gone after a save even while a write was under way; and what another user plants in
// or as its folder is neither read, nor written through, nor shown the notes.

#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"
#include "support/OtherUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

enum Plant { OpenFolder, ForeignFolder, DanglingSymlink, SymlinkToPrivateFile, Fifo, Directory };

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

struct stat statusOf(const QString &path)
{
    struct stat status{};
    ::lstat(native(path).constData(), &status);
    return status;
}

} // namespace

class TestRecoverySnapshot : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_STATE_HOME", m_dir.filePath(QStringLiteral("state")).toLocal8Bit());
    }
    void cleanup() { qunsetenv("XDG_STATE_HOME"); }

    void writtenDuringContinuousChanges();
    void nothingWrittenWithoutAChange();
    void saveRemovesItEvenWhileBeingWritten();
    void plantedByAnotherUser_data();
    void plantedByAnotherUser();

private:
    QTemporaryDir m_dir;
    NotePages m_pad{{QStringLiteral("Memo"), QStringLiteral("typed")}};
    int m_taken = 0;
    RecoverySnapshot make()
    {
        m_taken = 0;
        return RecoverySnapshot(m_dir.filePath(QStringLiteral("Pinnote.set")), [this] {
            ++m_taken;
            return m_pad;
        });
    }
};

void TestRecoverySnapshot::writtenDuringContinuousChanges()
{
    // The quiet delay never passes while a change comes every 20 ms; the longest one does.
    RecoverySnapshot snapshot = make();
    snapshot.setDelays(1h, 200ms);
    QTimer typing;
    connect(&typing, &QTimer::timeout, &snapshot, &RecoverySnapshot::changed);
    typing.start(20);
    QSignalSpy written(&snapshot, &RecoverySnapshot::written);
    QVERIFY(written.wait());
    QVERIFY(typing.isActive());
    QVERIFY(QFile::exists(snapshot.path()));
}

void TestRecoverySnapshot::nothingWrittenWithoutAChange()
{
    RecoverySnapshot snapshot = make();
    snapshot.writeNow();
    QVERIFY(!snapshot.isWriting());
    QCOMPARE(m_taken, 0);

    QSignalSpy written(&snapshot, &RecoverySnapshot::written);
    snapshot.changed();
    snapshot.writeNow();
    QVERIFY(written.wait());
    snapshot.writeNow();
    snapshot.flush();
    QCOMPARE(m_taken, 1);
}

void TestRecoverySnapshot::saveRemovesItEvenWhileBeingWritten()
{
    m_pad[0].text = QString(4 << 20, QLatin1Char('x'));
    RecoverySnapshot snapshot = make();
    QSignalSpy written(&snapshot, &RecoverySnapshot::written);
    snapshot.changed();
    snapshot.writeNow();
    QVERIFY(snapshot.isWriting());
    snapshot.saved();
    QVERIFY(written.wait());
    QVERIFY(!QFile::exists(snapshot.path()));
    QVERIFY(!snapshot.isDue());
}

void TestRecoverySnapshot::plantedByAnotherUser_data()
{
    QTest::addColumn<int>("plant");
    QTest::addColumn<bool>("writes");
    QTest::newRow("state folder open to others") << int(OpenFolder) << true;
    QTest::newRow("another user's state folder") << int(ForeignFolder) << false;
    QTest::newRow("dangling symlink at the snapshot") << int(DanglingSymlink) << true;
    QTest::newRow("symlink to a root-only file") << int(SymlinkToPrivateFile) << true;
    QTest::newRow("FIFO at the snapshot") << int(Fifo) << true;
    QTest::newRow("directory at the snapshot") << int(Directory) << false;
}

// `nobody` plants while the state folder's parent is open to all, as /tmp is.
void TestRecoverySnapshot::plantedByAnotherUser()
{
    QFETCH(int, plant);
    QFETCH(bool, writes);
    if (!OtherUser::available())
        QSKIP("acting as another user needs root");

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state"));
    const QString folder = state + QStringLiteral("/pinnote");
    const QString theirs = dir.filePath(QStringLiteral("theirs"));
    const QString secret = dir.filePath(QStringLiteral("private/secret"));
    QVERIFY(QDir().mkpath(state) && QDir().mkpath(theirs) && QDir().mkpath(QFileInfo(secret).path()));
    QVERIFY(::chmod(native(dir.path()), 0755) == 0 && ::chmod(native(state), 01777) == 0
            && ::chown(native(theirs), OtherUser::Uid, OtherUser::Gid) == 0);
    const QByteArray secretBytes("root only");
    QFile secretFile(secret);
    QVERIFY(secretFile.open(QIODevice::WriteOnly) && secretFile.write(secretBytes) == secretBytes.size());
    secretFile.close();
    QVERIFY(::chmod(native(secret), 0600) == 0 && ::chmod(native(QFileInfo(secret).path()), 0700) == 0);
    qputenv("XDG_STATE_HOME", native(state));

    RecoverySnapshot snapshot = make();
    const QString name = QFileInfo(snapshot.path()).fileName();
    const QString at = folder + QLatin1Char('/') + name;
    // Worked out here: the other user's child keeps to system calls.
    const QByteArray folderBytes = native(folder), atBytes = native(at);
    if (plant == ForeignFolder) {
        QVERIFY(OtherUser::run([&] { return ::mkdir(folderBytes, 0777) == 0 && ::chmod(folderBytes, 0777) == 0; }));
    } else {
        // The user's own folder, as a mkdir under umask 000 leaves it.
        QVERIFY(::mkdir(native(folder), 0777) == 0 && ::chmod(native(folder), 0777) == 0);
    }
    const QByteArray link = native(plant == DanglingSymlink ? theirs + QStringLiteral("/copy") : secret);
    QVERIFY(OtherUser::run([&] {
        switch (Plant(plant)) {
        case DanglingSymlink:
        case SymlinkToPrivateFile:
            return ::symlink(link.constData(), atBytes.constData()) == 0;
        case Fifo:
            return ::mkfifo(atBytes.constData(), 0666) == 0;
        case Directory:
            return ::mkdir(atBytes.constData(), 0777) == 0;
        case OpenFolder:
        case ForeignFolder:
            break;
        }
        return true;
    }));

    QVERIFY2(!snapshot.find(), "took what was planted for a snapshot");

    QSignalSpy written(&snapshot, &RecoverySnapshot::written);
    const mode_t umask = ::umask(0);
    snapshot.changed();
    snapshot.writeNow();
    const bool done = written.wait();
    ::umask(umask);
    QVERIFY(done);
    QCOMPARE(written.at(0).at(0).toBool(), writes);
    QCOMPARE(snapshot.lastError().isEmpty(), writes);
    if (plant == ForeignFolder)
        QVERIFY2(snapshot.lastError().contains(QStringLiteral("Another user's folder")), qPrintable(snapshot.lastError()));

    QCOMPARE(QDir(theirs).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    QVERIFY(secretFile.open(QIODevice::ReadOnly));
    QCOMPARE(secretFile.readAll(), secretBytes);
    if (plant == ForeignFolder) {
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
        return;
    }
    QCOMPARE(statusOf(folder).st_mode & 07777, mode_t(0700));
    if (!writes)
        return;
    const struct stat file = statusOf(at);
    QVERIFY(S_ISREG(file.st_mode));
    QCOMPARE(file.st_mode & 07777, mode_t(0600));
    QCOMPARE(NoteFile(at).load(), std::optional<NotePages>(m_pad));
    QVERIFY2(!OtherUser::run([&] { return ::open(atBytes.constData(), O_RDONLY) >= 0; }),
             "another user can read the snapshot");
}

QTEST_GUILESS_MAIN(TestRecoverySnapshot)
#include "tst_recoverysnapshot.moc"
