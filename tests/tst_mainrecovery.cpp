// A recovery snapshot is offered back at start-up only when it differs from the note file,
// and is left alone when the note file fails to load.

#include "app/Main.h"
#include "app/Startup.h"
#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTest>

#include <memory>

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

QTEST_MAIN(TestMainRecovery)
#include "tst_mainrecovery.moc"
