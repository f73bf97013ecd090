// The recovery snapshot's timing: written during continuous changes, never without one,
// and gone after a save even while a write was under way.

#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;

class TestRecoverySnapshot : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void writtenDuringContinuousChanges();
    void nothingWrittenWithoutAChange();
    void saveRemovesItEvenWhileBeingWritten();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecoverySnapshot> m_snapshot;
    NotePages m_pad{{QStringLiteral("Memo"), QStringLiteral("typed")}};
    int m_taken = 0;
};

void TestRecoverySnapshot::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    qputenv("XDG_STATE_HOME", m_dir->filePath(QStringLiteral("state")).toLocal8Bit());
    m_taken = 0;
    m_snapshot = std::make_unique<RecoverySnapshot>(m_dir->filePath(QStringLiteral("Pinnote.set")), [this] {
        ++m_taken;
        return m_pad;
    });
    QCOMPARE(QFileInfo(m_snapshot->path()).path(), m_dir->filePath(QStringLiteral("state/pinnote")));
}

void TestRecoverySnapshot::cleanup()
{
    m_snapshot.reset();
    qunsetenv("XDG_STATE_HOME");
}

void TestRecoverySnapshot::writtenDuringContinuousChanges()
{
    // The quiet delay never passes while a change comes every 20 ms; the longest one does.
    m_snapshot->setDelays(1h, 200ms);
    QTimer typing;
    connect(&typing, &QTimer::timeout, m_snapshot.get(), &RecoverySnapshot::changed);
    typing.start(20);
    QSignalSpy written(m_snapshot.get(), &RecoverySnapshot::written);
    QVERIFY(written.wait());
    QVERIFY(typing.isActive());
    QVERIFY(QFile::exists(m_snapshot->path()));
}

void TestRecoverySnapshot::nothingWrittenWithoutAChange()
{
    m_snapshot->writeNow();
    QVERIFY(!m_snapshot->isWriting());
    QCOMPARE(m_taken, 0);

    QSignalSpy written(m_snapshot.get(), &RecoverySnapshot::written);
    m_snapshot->changed();
    m_snapshot->writeNow();
    QVERIFY(written.wait());
    m_snapshot->writeNow();
    m_snapshot->flush();
    QCOMPARE(m_taken, 1);
}

void TestRecoverySnapshot::saveRemovesItEvenWhileBeingWritten()
{
    m_pad[0].text = QString(4 << 20, QLatin1Char('x'));
    QSignalSpy written(m_snapshot.get(), &RecoverySnapshot::written);
    m_snapshot->changed();
    m_snapshot->writeNow();
    QVERIFY(m_snapshot->isWriting());
    m_snapshot->saved();
    QVERIFY(written.wait());
    QVERIFY(!QFile::exists(m_snapshot->path()));
    QVERIFY(!m_snapshot->isDue());
}

QTEST_GUILESS_MAIN(TestRecoverySnapshot)
#include "tst_recoverysnapshot.moc"
