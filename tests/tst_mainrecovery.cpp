// The main window's side of crash recovery: a snapshot while there are unsaved changes,
// gone after a save, and offered back at the next start.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "platform/TabStrip.h"
#include "storage/NoteFile.h"
#include "storage/RecoverySnapshot.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

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
    void init();
    void cleanup();

    void typingWritesASnapshotAndSavingRemovesIt();
    void startUpOffersADifferentSnapshot_data();
    void startUpOffersADifferentSnapshot();
    void snapshotLikeTheFileIsNotOffered();
    void failedLoadLeavesTheSnapshotAlone();
    void exitAnywayKeepsTheLatestTyping();

private:
    bool startForm();
    QString snapshotPath() const;
    QStringList asideFiles() const;

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainRecovery::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestMainRecovery::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

bool TestMainRecovery::startForm()
{
    m_form = std::make_unique<TMainForm>();
    if (!m_form->notesLoaded())
        return false;
    m_form->createDialogs();
    m_form->show();
    return QTest::qWaitForWindowExposed(m_form.get());
}

QString TestMainRecovery::snapshotPath() const
{
    return RecoverySnapshot(m_env->notesPath(), [] { return NotePages(); }).path();
}

QStringList TestMainRecovery::asideFiles() const
{
    QStringList names = QFileInfo(snapshotPath()).dir().entryList(QDir::Files);
    names.removeAll(QFileInfo(snapshotPath()).fileName());
    return names;
}

void TestMainRecovery::typingWritesASnapshotAndSavingRemovesIt()
{
    NoteFile(m_env->notesPath()).save(OnDisk);
    QVERIFY(startForm());
    RecoverySnapshot *snapshot = m_form->recoverySnapshot();
    QVERIFY(snapshot);
    snapshot->setDelays(20ms, 1h);
    QSignalSpy written(snapshot, &RecoverySnapshot::written);

    // Showing pages changes nothing.
    QTest::mouseClick(m_form->TabControl, Qt::LeftButton, {}, m_form->TabControl->tabRect(1).center());
    QTest::mouseClick(m_form->TabControl, Qt::LeftButton, {}, m_form->TabControl->tabRect(0).center());
    QVERIFY(!snapshot->isDue());

    m_form->Memo->setFocus();
    m_form->Memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_form->Memo, " and typed");
    QVERIFY(written.wait());
    const std::optional<NotePages> kept = NoteFile(snapshotPath()).load();
    QVERIFY(kept.has_value());
    QCOMPARE(kept->at(0).text, QStringLiteral("saved and typed"));
    // The note file is not touched by it.
    QCOMPARE(NoteFile(m_env->notesPath()).load(), std::optional<NotePages>(OnDisk));

    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(!QFileInfo::exists(snapshotPath()));
    QVERIFY(!snapshot->isDue());
    QCOMPARE(m_boxes->texts(), QStringList());
}

void TestMainRecovery::startUpOffersADifferentSnapshot_data()
{
    QTest::addColumn<MessageBox::Button>("answer");
    QTest::addColumn<bool>("noteFile");
    QTest::newRow("Yes") << MessageBox::Yes << true;
    QTest::newRow("No") << MessageBox::No << true;
    QTest::newRow("Yes, no note file yet") << MessageBox::Yes << false;
    QTest::newRow("No, no note file yet") << MessageBox::No << false;
}

void TestMainRecovery::startUpOffersADifferentSnapshot()
{
    QFETCH(MessageBox::Button, answer);
    QFETCH(bool, noteFile);
    if (noteFile)
        NoteFile(m_env->notesPath()).save(OnDisk);
    QVERIFY(QDir().mkpath(QFileInfo(snapshotPath()).path()));
    NoteFile(snapshotPath()).save(Recovered);
    const QDateTime time = QFileInfo(snapshotPath()).lastModified();

    m_boxes->queueAnswer(answer);
    QVERIFY(startForm());
    QCOMPARE(m_boxes->requests().size(), 1);
    const MessageBox::Request &question = m_boxes->requests().constFirst();
    QCOMPARE(question.text, QStringLiteral("Pinnote was not closed normally. Restore the notes it had at %1?")
                                .arg(QLocale().toString(time, QLocale::ShortFormat)));
    QCOMPARE(question.buttons, MessageBox::Buttons(MessageBox::Yes | MessageBox::No));

    const NotePages fromFile = noteFile ? OnDisk : NotePages{{QStringLiteral("Memo"), QString()}};
    if (answer == MessageBox::Yes) {
        QCOMPARE(m_form->pages(), Recovered);
        QCOMPARE(m_form->Memo->text(), Recovered.at(0).text);
        QVERIFY(QFileInfo::exists(snapshotPath()));
        QVERIFY(asideFiles().isEmpty());
    } else {
        QCOMPARE(m_form->pages(), fromFile);
        QVERIFY(!QFileInfo::exists(snapshotPath()));
        QCOMPARE(asideFiles().size(), 1);
        QVERIFY(asideFiles().at(0).contains(time.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    }
    // The note file is only written by Save or the close, as ever.
    if (noteFile)
        QCOMPARE(NoteFile(m_env->notesPath()).load(), std::optional<NotePages>(OnDisk));
    else
        QVERIFY(!QFileInfo::exists(m_env->notesPath()));

    QVERIFY(m_form->close());
    const NotePages expected = answer == MessageBox::Yes ? Recovered : fromFile;
    QCOMPARE(NoteFile(m_env->notesPath()).load(), std::optional<NotePages>(expected));
    QVERIFY(!QFileInfo::exists(snapshotPath()));
}

void TestMainRecovery::snapshotLikeTheFileIsNotOffered()
{
    NoteFile(m_env->notesPath()).save(OnDisk);
    QVERIFY(QDir().mkpath(QFileInfo(snapshotPath()).path()));
    NoteFile(snapshotPath()).save(OnDisk);
    QVERIFY(startForm());
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(m_form->pages(), OnDisk);
}

void TestMainRecovery::failedLoadLeavesTheSnapshotAlone()
{
    QVERIFY(m_env->writeFile(m_env->notesPath(), "broken"));
    QVERIFY(QDir().mkpath(QFileInfo(snapshotPath()).path()));
    NoteFile(snapshotPath()).save(Recovered);
    m_form = std::make_unique<TMainForm>();
    QVERIFY(!m_form->notesLoaded());
    m_form.reset();
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(NoteFile(snapshotPath()).load(), std::optional<NotePages>(Recovered));
    QVERIFY(asideFiles().isEmpty());
}

void TestMainRecovery::exitAnywayKeepsTheLatestTyping()
{
    QVERIFY(startForm());
    // A directory in its place: the save fails, and the user ends the program anyway.
    QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("Pinnote.set")));
    m_form->Memo->setFocus();
    QTest::keyClicks(m_form->Memo, "last words");
    m_boxes->queueAnswer(MessageBox::Yes);
    QVERIFY(m_form->close());
    QCOMPARE(m_boxes->requests().size(), 1);
    QCOMPARE(m_boxes->requests().at(0).informativeText, QString::fromLocal8Bit(strerror(EISDIR)));

    const std::optional<NotePages> kept = NoteFile(snapshotPath()).load();
    QVERIFY(kept.has_value());
    QCOMPARE(kept->at(0).text, QStringLiteral("last words"));
}

QTEST_MAIN(TestMainRecovery)
#include "tst_mainrecovery.moc"
