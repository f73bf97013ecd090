// The recovery snapshot's timing: written during continuous changes, never without one,
// and gone after a save even while a write was under way.

#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

QTEST_GUILESS_MAIN(TestRecoverySnapshot)
#include "tst_recoverysnapshot.moc"
