// A recovery snapshot is offered back at start-up only when it differs from the note file,
// and is left alone when the note file fails to load; a failed write is told and tried again.

#include "app/Main.h"
#include "app/Startup.h"
#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"
#include "editor/RichEdit.h"
#include "support/FileSizeLimit.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <cstring>
#include <memory>
#include <optional>
#include <sys/mount.h>

namespace {

const NotePages OnDisk{{QStringLiteral("Memo"), QStringLiteral("saved")}, {QStringLiteral("Two"), QStringLiteral("2")}};
const NotePages Recovered{{QStringLiteral("Memo"), QStringLiteral("saved and typed")},
                          {QStringLiteral("Three"), QStringLiteral("new page")}};

} // namespace

class TestMainRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        QVERIFY(m_env->isValid());
        m_boxes = std::make_unique<MessageBoxRecorder>();
    }
    void cleanup()
    {
        m_form.reset();
        m_boxes.reset();
        m_env.reset();
    }

    void startUpOffersADifferentSnapshot_data();
    void startUpOffersADifferentSnapshot();
    void failedLoadLeavesTheSnapshotAlone();
    void fullDiskIsToldAndTriedAgain();

private:
    bool startForm();
    QString snapshotPath() const
    {
        return RecoverySnapshot(m_env->notesPath(), [] { return NotePages(); }).path();
    }
    void leaveSnapshot(const NotePages &pages)
    {
        QVERIFY(QDir().mkpath(QFileInfo(snapshotPath()).path()));
        NoteFile(snapshotPath()).save(pages);
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

bool TestMainRecovery::startForm()
{
    m_form = startMainForm();
    return m_form != nullptr;
}

void TestMainRecovery::startUpOffersADifferentSnapshot_data()
{
    QTest::addColumn<NotePages>("snapshot");
    QTest::addColumn<MessageBox::Button>("answer");
    QTest::newRow("Yes") << Recovered << MessageBox::Yes;
    QTest::newRow("No") << Recovered << MessageBox::No;
    QTest::newRow("same as the note file") << OnDisk << MessageBox::NoButton;
}

void TestMainRecovery::startUpOffersADifferentSnapshot()
{
    QFETCH(NotePages, snapshot);
    QFETCH(MessageBox::Button, answer);
    NoteFile(m_env->notesPath()).save(OnDisk);
    leaveSnapshot(snapshot);
    const QDateTime time = QFileInfo(snapshotPath()).lastModified();
    const QString dir = QFileInfo(snapshotPath()).path();

    m_boxes->queueAnswer(answer);
    QVERIFY(startForm());
    if (answer == MessageBox::NoButton) {
        QCOMPARE(m_boxes->texts(), QStringList());
        QCOMPARE(m_form->pages(), OnDisk);
        return;
    }
    QCOMPARE(m_boxes->texts(), QStringList(QStringLiteral("Pinnote was not closed normally. Restore the notes it had at %1?")
                                               .arg(QLocale().toString(time, QLocale::ShortFormat))));
    QCOMPARE(m_boxes->requests().at(0).buttons, MessageBox::Buttons(MessageBox::Yes | MessageBox::No));
    const QStringList left = QDir(dir).entryList(QDir::Files);
    if (answer == MessageBox::Yes) {
        QCOMPARE(m_form->pages(), Recovered);
        QCOMPARE(left, QStringList(QFileInfo(snapshotPath()).fileName()));
    } else {
        QCOMPARE(m_form->pages(), OnDisk);
        QCOMPARE(left.size(), 1);
        QVERIFY(left.at(0).contains(time.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    }
    // Only Save or the close write the note file.
    QCOMPARE(NoteFile(m_env->notesPath()).load(), std::optional<NotePages>(OnDisk));
    QVERIFY(m_form->close());
    QCOMPARE(NoteFile(m_env->notesPath()).load(), std::optional<NotePages>(answer == MessageBox::Yes ? Recovered : OnDisk));
}

void TestMainRecovery::failedLoadLeavesTheSnapshotAlone()
{
    QVERIFY(m_env->writeFile(m_env->notesPath(), "broken"));
    leaveSnapshot(Recovered);
    QVERIFY(!startForm());
    m_form.reset();
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(NoteFile(snapshotPath()).load(), std::optional<NotePages>(Recovered));
    QCOMPARE(QDir(QFileInfo(snapshotPath()).path()).entryList(QDir::Files).size(), 1);
}

void TestMainRecovery::fullDiskIsToldAndTriedAgain()
{
    const QByteArray state = QFile::encodeName(m_env->statePath());
    QVERIFY(QDir().mkpath(m_env->statePath()));
    // A small disk of its own; where mounting is refused, a file size limit fails the same write.
    const bool mounted = ::mount("tmpfs", state.constData(), "tmpfs", 0, "size=64k,mode=0755") == 0;
    const auto unmount = qScopeGuard([&] {
        m_form.reset();
        if (mounted)
            ::umount2(state.constData(), MNT_DETACH);
    });
    const QString filler = m_env->statePath() + QStringLiteral("/filler");
    if (mounted) {
        QVERIFY(QDir().mkpath(QFileInfo(snapshotPath()).path()));
        QFile fill(filler);
        QVERIFY(fill.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        for (const QByteArray block(4096, 'f'); fill.write(block) == block.size();) {
        }
    }
    QVERIFY(startForm());
    RecoverySnapshot *snapshot = m_form->recoverySnapshot();
    snapshot->setDelays(std::chrono::milliseconds(0), std::chrono::milliseconds(0));
    std::optional<FileSizeLimit> limit;
    if (!mounted)
        QVERIFY(limit.emplace(8).isActive());
    const QString why = QString::fromLocal8Bit(::strerror(mounted ? ENOSPC : EFBIG));

    QSignalSpy written(snapshot, &RecoverySnapshot::written);
    m_form->Memo->insertPlainText(QStringLiteral("typed on a full disk"));
    QVERIFY(written.wait());
    QCOMPARE(written.last().at(0).toBool(), false);
    const QString hint = m_form->hint();
    QVERIFY2(hint.startsWith(QStringLiteral("No recovery copy of the notes: ")) && hint.endsWith(why), qPrintable(hint));

    // Space is back: the next change writes it, and the notice goes.
    limit.reset();
    QVERIFY(!mounted || QFile::remove(filler));
    m_form->Memo->insertPlainText(QStringLiteral(", kept"));
    QTRY_VERIFY(!written.isEmpty() && written.last().at(0).toBool());
    QCOMPARE(m_form->hint(), QString());
    const std::optional<NotePages> kept = NoteFile(snapshotPath()).load();
    QCOMPARE(kept.value_or(NotePages()).value(0).text, QStringLiteral("typed on a full disk, kept"));
}

QTEST_MAIN(TestMainRecovery)
#include "tst_mainrecovery.moc"
