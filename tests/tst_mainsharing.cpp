// Another program changes the note file while the window is open: the change is merged
// into the window, never written over, whether a notification came or not.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "widgets/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/PadNotation.h"
#include "support/TestBytes.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>
#include <QTest>
#include <QTextCursor>

#include <memory>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
enum class Other { RenamesOver, Garbles, LeavesConflictCopy, RenamesOverMidSave, RewritesKeepingTime };
enum class Then { WaitsForTheWindow, SavesAtOnce };

// Another writer's pad, ready beside the file, renamed over it at the last moment before a
// save puts its own in place: after every check that the save makes beforehand.
QString theirPad;
void renameTheirPadOver(const QString &path)
{
    NoteFile::beforePuttingInPlace = nullptr;
    ::rename(QFile::encodeName(theirPad).constData(), QFile::encodeName(path).constData());
}

} // namespace

Q_DECLARE_METATYPE(Other)
Q_DECLARE_METATYPE(Then)

class TestMainSharing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void changeOnDiskIsMerged_data();
    void changeOnDiskIsMerged();
    void pageOnShowTakesTheirTextWhereTheReaderWas();
    void untouchedPadIsReadOnce();

private:
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainSharing::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestMainSharing::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

void TestMainSharing::changeOnDiskIsMerged_data()
{
    QTest::addColumn<QString>("typed");     // appended to the page on show, Shop
    QTest::addColumn<Other>("other");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<Then>("then");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("notice");    // what the status line starts with

    const QString merged = QStringLiteral("Merged changes from disk");
    QTest::newRow("their page, seen at once") << "" << Other::RenamesOver << "Shop=eggs|Work=mail post"
                                              << Then::WaitsForTheWindow << "Shop=eggs|Work=mail post" << merged;
    QTest::newRow("their page, no notification before the save")
        << " milk" << Other::RenamesOver << "Shop=eggs|Work=mail post" << Then::SavesAtOnce
        << "Shop=eggs milk|Work=mail post" << merged;
    QTest::newRow("both changed the page on show")
        << " milk" << Other::RenamesOver << "Shop=eggs tea|Work=mail" << Then::WaitsForTheWindow
        << "Shop=eggs milk|Shop (2)=eggs tea|Work=mail" << merged;
    QTest::newRow("unreadable at the save is moved aside")
        << " milk" << Other::Garbles << "" << Then::SavesAtOnce << "Shop=eggs milk|Work=mail"
        << "Pinnote.set on disk could not be read";
    QTest::newRow("conflict copy") << "" << Other::LeavesConflictCopy << "Shop=eggs|Work=mail|Home=keys"
                                   << Then::WaitsForTheWindow << "Shop=eggs|Work=mail|Home=keys" << merged;
    QTest::newRow("their pad renamed over it in the moment the save puts its own in place")
        << " milk" << Other::RenamesOverMidSave << "Shop=eggs|Work=mail post" << Then::SavesAtOnce
        << "Shop=eggs milk|Work=mail post" << merged;
    QTest::newRow("rewritten in place, same size, modification time set back")
        << " milk" << Other::RewritesKeepingTime << "Shop=eggs|Work=mall" << Then::SavesAtOnce
        << "Shop=eggs milk|Work=mall" << merged;
}

void TestMainSharing::changeOnDiskIsMerged()
{
    QFETCH(QString, typed);
    QFETCH(Other, other);
    QFETCH(QString, theirs);
    QFETCH(Then, then);
    QFETCH(QString, saved);
    QFETCH(QString, notice);

    NoteFile notes(m_env->notesPath());
    notes.save(padFrom(QStringLiteral("Shop=eggs|Work=mail")));
    m_form = startMainForm();
    QVERIFY(m_form);
    m_form->Memo->moveCursor(QTextCursor::End);
    m_form->Memo->insertPlainText(typed);

    const QString copy = m_env->filePath(QStringLiteral("Pinnote.sync-conflict-20261209-101112-ABCDEFG.set"));
    switch (other) {
    case Other::RenamesOver:
        notes.save(padFrom(theirs)); // written aside and renamed over, as sync engines do
        break;
    case Other::Garbles:
        QVERIFY(m_env->writeFile(m_env->notesPath(), QByteArrayLiteral("half-written")));
        break;
    case Other::LeavesConflictCopy:
        NoteFile(copy).save(padFrom(theirs));
        break;
    case Other::RenamesOverMidSave:
        NoteFile(theirPad = m_env->filePath(QStringLiteral("theirs.set"))).save(padFrom(theirs));
        NoteFile::beforePuttingInPlace = renameTheirPadOver;
        break;
    case Other::RewritesKeepingTime: {
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(m_env->notesPath()).constData(), &before), 0);
        NoteFile(theirPad = m_env->filePath(QStringLiteral("theirs.set"))).save(padFrom(theirs));
        QFile file(m_env->notesPath());
        QVERIFY(file.open(QIODevice::ReadWrite) && file.write(readAll(theirPad)) == before.st_size);
        file.close();
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(m_env->notesPath()).constData(), times, 0), 0);
        break;
    }
    }

    auto *hintPanel = m_form->findChild<QLabel *>(QStringLiteral("HintPanel"));
    if (then == Then::WaitsForTheWindow)
        QTRY_VERIFY(hintPanel->text().startsWith(notice));
    m_form->FileSaveMenuItem->trigger();
    QVERIFY2(!NoteFile::beforePuttingInPlace, "the save put nothing in place");
    QVERIFY(hintPanel->text().startsWith(notice));
    QCOMPARE(m_boxes->requests().size(), 0);
    QCOMPARE(notationOfFile(m_env->notesPath()), saved);

    const QStringList kept = QDir(m_env->statePath() + QStringLiteral("/pinnote")).entryList(QDir::Files);
    if (other == Other::Garbles)
        QVERIFY(kept.contains(QStringLiteral("Pinnote.set")));
    if (other == Other::RenamesOverMidSave)
        QCOMPARE(kept.filter(QStringLiteral("Pinnote.set.")).size(), 1);
    if (other == Other::LeavesConflictCopy) {
        QVERIFY(!QFile::exists(copy));
        QVERIFY(kept.contains(QFileInfo(copy).fileName()));
    }
}

void TestMainSharing::pageOnShowTakesTheirTextWhereTheReaderWas()
{
    const QString lines = QStringLiteral("line\r\n").repeated(400);
    NoteFile notes(m_env->notesPath());
    notes.save({{QStringLiteral("Shop"), lines}});
    m_form = startMainForm(QSize(400, 300));
    QVERIFY(m_form);
    m_form->TabControl->setFocus();
    QTextCursor cursor = m_form->Memo->textCursor();
    cursor.setPosition(1200);
    m_form->Memo->setTextCursor(cursor);
    m_form->Memo->ensureCursorVisible();
    const int scrolled = m_form->Memo->verticalScrollBar()->value();
    QVERIFY(scrolled > 0);

    notes.save({{QStringLiteral("Shop"), lines + QStringLiteral("added")}});
    QTRY_VERIFY(m_form->Memo->text().endsWith(QStringLiteral("added")));
    QCOMPARE(m_form->Memo->textCursor().position(), 1200);
    QCOMPARE(m_form->Memo->verticalScrollBar()->value(), scrolled);
    QVERIFY(m_form->TabControl->hasFocus());
    QVERIFY(!m_form->Memo->document()->isModified());
}

void TestMainSharing::untouchedPadIsReadOnce()
{
    NoteFile notes(m_env->notesPath());
    notes.save(padFrom(QStringLiteral("Shop=eggs")));
    const int events = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(events >= 0);
    QVERIFY(::inotify_add_watch(events, QFile::encodeName(m_env->path()).constData(), IN_OPEN) >= 0);

    m_form = startMainForm();
    QVERIFY(m_form);
    m_form->Memo->insertPlainText(QStringLiteral("milk "));
    m_form->FileSaveMenuItem->trigger();
    QVERIFY(m_form->close());

    int opens = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(events, buffer, sizeof buffer)) > 0;) {
        for (char *at = buffer; at < buffer + got; at += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(at)->len) {
            const auto *event = reinterpret_cast<inotify_event *>(at);
            opens += event->len > 0 && qstrcmp(event->name, "Pinnote.set") == 0;
        }
    }
    ::close(events);
    QCOMPARE(opens, 1);
    QCOMPARE(notationOfFile(m_env->notesPath()), QStringLiteral("Shop=milk eggs"));
}

QTEST_MAIN(TestMainSharing)
#include "tst_mainsharing.moc"
