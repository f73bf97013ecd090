// The recovery snapshot: written a little after changes, never without one, gone after a
// save, and moved aside rather than destroyed.

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

    void writtenOnceChangesPause();
    void writtenDuringContinuousChanges();
    void nothingWrittenWithoutAChange();
    void saveRemovesItEvenWhileBeingWritten();
    void flushWritesWhatIsDue();
    void oneSnapshotPerNoteFile();
    void movedAsideWithItsTime();
    void unreadableSnapshotIsFoundAsSuch();

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

void TestRecoverySnapshot::writtenOnceChangesPause()
{
    m_snapshot->setDelays(50ms, 1h);
    QSignalSpy written(m_snapshot.get(), &RecoverySnapshot::written);
    m_snapshot->changed();
    QVERIFY(written.wait());
    QCOMPARE(written.at(0).at(0).toBool(), true);
    QCOMPARE(NoteFile(m_snapshot->path()).load(), std::optional<NotePages>(m_pad));
    QVERIFY(!m_snapshot->isDue());
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

void TestRecoverySnapshot::flushWritesWhatIsDue()
{
    m_snapshot->changed();
    m_snapshot->flush();
    QCOMPARE(NoteFile(m_snapshot->path()).load(), std::optional<NotePages>(m_pad));
    QVERIFY(!m_snapshot->isDue());
}

void TestRecoverySnapshot::oneSnapshotPerNoteFile()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("other")));
    const RecoverySnapshot other(m_dir->filePath(QStringLiteral("other/Pinnote.set")), [] { return NotePages(); });
    const RecoverySnapshot same(m_dir->filePath(QStringLiteral("other/../Pinnote.set")), [] { return NotePages(); });
    QVERIFY(other.path() != m_snapshot->path());
    QCOMPARE(same.path(), m_snapshot->path());
}

void TestRecoverySnapshot::movedAsideWithItsTime()
{
    m_snapshot->changed();
    m_snapshot->flush();
    const QByteArray bytes = [&] {
        QFile file(m_snapshot->path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const std::optional<RecoverySnapshot::Found> found = m_snapshot->find();
    QVERIFY(found && found->readable);
    QCOMPARE(found->pages, m_pad);

    for (int round = 0; round < 2; ++round) {
        m_snapshot->changed();
        m_snapshot->flush();
        QVERIFY(m_snapshot->moveAside(found->time));
    }
    QVERIFY(!QFile::exists(m_snapshot->path()));
    const QFileInfoList aside = QFileInfo(m_snapshot->path()).dir().entryInfoList(QDir::Files, QDir::Name);
    QCOMPARE(aside.size(), 2);
    const QString stamp = found->time.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QFileInfo &file : aside) {
        QVERIFY2(file.fileName().contains(stamp), qPrintable(file.fileName()));
        QFile moved(file.filePath());
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), bytes);
    }
}

void TestRecoverySnapshot::unreadableSnapshotIsFoundAsSuch()
{
    QVERIFY(QDir().mkpath(QFileInfo(m_snapshot->path()).path()));
    QFile file(m_snapshot->path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a pad");
    file.close();
    const std::optional<RecoverySnapshot::Found> found = m_snapshot->find();
    QVERIFY(found.has_value());
    QVERIFY(!found->readable);
}

QTEST_GUILESS_MAIN(TestRecoverySnapshot)
#include "tst_recoverysnapshot.moc"
