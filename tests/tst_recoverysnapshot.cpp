// The recovery snapshot's timing: written during continuous changes, never without one,
// and gone after a save even while a write was under way.

#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/mount.h>

using namespace std::chrono_literals;

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
    void foundByTheNextStart_data();
    void foundByTheNextStart();

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

void TestRecoverySnapshot::foundByTheNextStart_data()
{
    QTest::addColumn<bool>("bindMount"); // else left under the name earlier versions gave it
    QTest::newRow("crashed in a window started through a bind mount") << true;
    QTest::newRow("left by an earlier version") << false;
}

void TestRecoverySnapshot::foundByTheNextStart()
{
    QFETCH(bool, bindMount);
    const QString notes = m_dir.filePath(QStringLiteral("notes/Pinnote.set"));
    const QByteArray folder = QFile::encodeName(QFileInfo(notes).path()), mounted = folder + "-mounted";
    QVERIFY(QDir().mkpath(QFile::decodeName(folder)) && QDir().mkpath(QFile::decodeName(mounted)));
    if (bindMount && ::mount(folder.constData(), mounted.constData(), nullptr, MS_BIND, nullptr) != 0)
        QSKIP("mounting is refused here");
    RecoverySnapshot crashed(QFile::decodeName(bindMount ? mounted : folder) + QStringLiteral("/Pinnote.set"),
                             [this] { return m_pad; });
    crashed.changed();
    crashed.flush();
    const QByteArray earlier = QCryptographicHash::hash(NoteFile::canonicalPath(notes).toUtf8(), QCryptographicHash::Sha256);
    QVERIFY(bindMount ? ::umount2(mounted.constData(), MNT_DETACH) == 0
                      : QFile::rename(crashed.path(), RecoverySnapshot::directory() + u'/'
                                                          + QString::fromLatin1(earlier.toHex().left(32)) + QStringLiteral(".set")));

    RecoverySnapshot next(notes, {});
    const std::optional<RecoverySnapshot::Found> found = next.find();
    QVERIFY(found && found->readable && found->pages == m_pad);
    next.remove();
    QCOMPARE(QDir(RecoverySnapshot::directory()).entryList(QDir::Files), QStringList());
}

QTEST_GUILESS_MAIN(TestRecoverySnapshot)
#include "tst_recoverysnapshot.moc"
