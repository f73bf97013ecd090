// Find and Find again through the real window: Ctrl+F, the Find Text dialog, F3 and
// the "Not found" message.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TFindDlg.h"
#include "editor/RichEdit.h"
#include "platform/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// Runs action on the modal dialog as soon as the command has opened it.
void whenModalOpens(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action]() mutable {
        if (QWidget *modal = QApplication::activeModalWidget())
            action(modal);
        else
            whenModalOpens(std::move(action));
    });
}

struct Typed
{
    QString text;
    bool wholeWord = false;
    bool matchCase = false;
};

} // namespace

class TestMainFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void findSelectsTheFirstMatchFromTheSelectionStart_data();
    void findSelectsTheFirstMatchFromTheSelectionStart();
    void notFoundLeavesSelectionAndFocus();
    void findAgainStepsPastEachMatch();
    void findAgainBeforeAnyFindDoesNothing();
    void cancelKeepsTheLastConfirmedSearch();
    void findAgainSearchesThePageOnShow();
    void findAllIsNeverOffered();

private:
    bool startForm();
    // Presses Ctrl+F on widget and answers the dialog: OK with what is given, or Escape.
    void find(QWidget *widget, const Typed &typed, bool ok = true);
    void findAgain(QWidget *widget) { QTest::keyClick(widget, Qt::Key_F3); }
    RichEdit::CharRange selection() const { return m_form->Memo->selection(); }
    int notFoundCount() const;

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainFind::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
}

void TestMainFind::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

bool TestMainFind::startForm()
{
    m_form = std::make_unique<TMainForm>();
    if (!m_form->notesLoaded())
        return false;
    m_form->createDialogs();
    m_form->show();
    m_form->activateWindow();
    return QTest::qWaitForWindowActive(m_form.get());
}

void TestMainFind::find(QWidget *widget, const Typed &typed, bool ok)
{
    whenModalOpens([typed, ok](QWidget *modal) {
        auto *text = modal->findChild<QLineEdit *>(QStringLiteral("FindText"));
        auto *wholeWord = modal->findChild<QCheckBox *>(QStringLiteral("WholeWord"));
        auto *matchCase = modal->findChild<QCheckBox *>(QStringLiteral("MatchCase"));
        if (!qobject_cast<TFindDlg *>(modal) || !text || !wholeWord || !matchCase) {
            modal->close();
            return;
        }
        text->setFocus();
        text->selectAll();
        if (typed.text.isEmpty())
            QTest::keyClick(text, Qt::Key_Delete);
        else
            QTest::keyClicks(text, typed.text);
        wholeWord->setChecked(typed.wholeWord);
        matchCase->setChecked(typed.matchCase);
        QTest::keyClick(text, ok ? Qt::Key_Return : Qt::Key_Escape);
    });
    QTest::keyClick(widget, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!m_form->FindDlg->isVisible());
}

int TestMainFind::notFoundCount() const
{
    int count = 0;
    for (const MessageBox::Request &request : m_boxes->requests()) {
        if (request.text == u"Not found"_qs && request.caption == u"Pinnote"_qs
            && request.style == MessageBox::Style::Plain && request.icon == MessageBox::Icon::None
            && request.buttons == MessageBox::Ok)
            ++count;
    }
    return count;
}

void TestMainFind::findSelectsTheFirstMatchFromTheSelectionStart_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("selectionStart");
    QTest::addColumn<int>("selectionEnd");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("expected"); // -1: "Not found"

    QTest::newRow("caret at the very end") << u"abc abc"_qs << 7 << 7 << u"abc"_qs << false << false << -1;
    QTest::newRow("longer than the rest") << u"abc ab"_qs << 4 << 4 << u"abc"_qs << false << false << -1;
    QTest::newRow("match case off") << u"xx ABC"_qs << 0 << 0 << u"abc"_qs << false << false << 3;
    QTest::newRow("match case on") << u"xx ABC"_qs << 0 << 0 << u"abc"_qs << false << true << -1;
    QTest::newRow("whole word in concatenate") << u"concatenate"_qs << 0 << 0 << u"cat"_qs << true << false << -1;
    QTest::newRow("whole word in the cat sat") << u"the cat sat"_qs << 0 << 0 << u"cat"_qs << true << false << 4;
    QTest::newRow("third line, CR LF counted")
        << u"one\r\ntwo\r\nthe end"_qs << 0 << 0 << u"end"_qs << false << false << 14;
    QTest::newRow("a selected match is found again") << u"abc abc"_qs << 4 << 7 << u"abc"_qs << false << false << 4;
    QTest::newRow("from the selection's lower end")
        << u"abc abc abc"_qs << 5 << 11 << u"abc"_qs << false << false << 8;
    QTest::newRow("no wrap-around") << u"abc def"_qs << 1 << 1 << u"abc"_qs << false << false << -1;
    QTest::newRow("empty search text") << u"abc"_qs << 0 << 0 << QString() << false << false << -1;
}

void TestMainFind::findSelectsTheFirstMatchFromTheSelectionStart()
{
    QFETCH(QString, text);
    QFETCH(int, selectionStart);
    QFETCH(int, selectionEnd);
    QFETCH(QString, what);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    QFETCH(int, expected);
    QVERIFY(startForm());
    RichEdit *memo = m_form->Memo;
    memo->setText(text);
    memo->setSelection(selectionStart, selectionEnd);

    find(memo, {what, wholeWord, matchCase});
    QVERIFY(m_form->SearchActive);
    if (expected < 0) {
        QCOMPARE(notFoundCount(), 1);
        QCOMPARE(selection().start, selectionStart);
        QCOMPARE(selection().end, selectionEnd);
        return;
    }
    QCOMPARE(notFoundCount(), 0);
    QCOMPARE(selection().start, expected);
    QCOMPARE(selection().end, expected + int(what.size()));
    QCOMPARE(memo->text().mid(expected, what.size()).compare(what, Qt::CaseInsensitive), 0);
    // The caret stands at the match's end, and the editor has the window's focus.
    QCOMPARE(memo->textCursor().position(), memo->toDocumentPosition(expected + int(what.size())));
    QCOMPARE(m_form->focusWidget(), static_cast<QWidget *>(memo));
}

void TestMainFind::notFoundLeavesSelectionAndFocus()
{
    QVERIFY(startForm());
    m_form->Memo->setText(u"nothing to see"_qs);
    m_form->Memo->setSelection(2, 5);
    m_form->TabControl->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_form->TabControl));

    // Find first collapses the selection to its lower end, then finds nothing.
    find(m_form->TabControl, {u"needle"_qs});
    QCOMPARE(notFoundCount(), 1);
    QCOMPARE(selection().start, 2);
    QCOMPARE(selection().end, 2);
    QCOMPARE(m_form->focusWidget(), static_cast<QWidget *>(m_form->TabControl));

    // Find again leaves the selection entirely alone.
    m_form->Memo->setSelection(2, 5);
    findAgain(m_form->TabControl);
    QCOMPARE(notFoundCount(), 2);
    QCOMPARE(selection().start, 2);
    QCOMPARE(selection().end, 5);
    QCOMPARE(m_form->focusWidget(), static_cast<QWidget *>(m_form->TabControl));
}

void TestMainFind::findAgainStepsPastEachMatch()
{
    QVERIFY(startForm());
    m_form->Memo->setText(u"aaaa"_qs);
    m_form->Memo->setSelection(0, 0);

    find(m_form->Memo, {u"aa"_qs});
    QCOMPARE(selection().start, 0);
    QCOMPARE(selection().end, 2);
    findAgain(m_form->Memo);
    QCOMPARE(selection().start, 2);
    QCOMPARE(selection().end, 4);
    QCOMPARE(notFoundCount(), 0);
    findAgain(m_form->Memo);
    QCOMPARE(notFoundCount(), 1);
    QCOMPARE(selection().start, 2);
    QCOMPARE(selection().end, 4);
}

void TestMainFind::findAgainBeforeAnyFindDoesNothing()
{
    QVERIFY(startForm());
    m_form->Memo->setText(u"abc abc"_qs);
    m_form->Memo->setSelection(1, 1);
    m_form->Memo->setFocus();

    findAgain(m_form->Memo);
    QVERIFY(m_boxes->requests().isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(selection().start, 1);
    QCOMPARE(selection().end, 1);
    QCOMPARE(m_form->Memo->text(), u"abc abc"_qs);
    m_form->UpdateMenuItems();
    QVERIFY(!m_form->SearchFindagainMenuItem->isEnabled());

    // The first confirmed Find makes it available.
    find(m_form->Memo, {u"abc"_qs});
    m_form->UpdateMenuItems();
    QVERIFY(m_form->SearchFindagainMenuItem->isEnabled());
}

void TestMainFind::cancelKeepsTheLastConfirmedSearch()
{
    QVERIFY(startForm());
    m_form->Memo->setText(u"one two one two"_qs);
    m_form->Memo->setSelection(0, 0);
    find(m_form->Memo, {u"two"_qs, false, true});
    QCOMPARE(selection().start, 4);

    find(m_form->Memo, {u"one"_qs, true, false}, false);
    QCOMPARE(selection().start, 4);
    QCOMPARE(selection().end, 7);
    QCOMPARE(m_form->SearchText, u"two"_qs);
    QCOMPARE(m_form->SearchOptions, int(TMainForm::SearchMatchCase));

    findAgain(m_form->Memo);
    QCOMPARE(selection().start, 12);
    QCOMPARE(selection().end, 15);

    // The dialog still shows what was typed before the Cancel.
    QString shown;
    bool wholeWordShown = false;
    whenModalOpens([&](QWidget *modal) {
        if (auto *text = modal->findChild<QLineEdit *>(QStringLiteral("FindText")))
            shown = text->text();
        if (auto *box = modal->findChild<QCheckBox *>(QStringLiteral("WholeWord")))
            wholeWordShown = box->isChecked();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    QTest::keyClick(m_form->Memo, Qt::Key_F, Qt::ControlModifier);
    QCOMPARE(shown, u"one"_qs);
    QVERIFY(wholeWordShown);
    QVERIFY(m_boxes->requests().isEmpty());
}

void TestMainFind::findAgainSearchesThePageOnShow()
{
    const NotePages pages{{u"A"_qs, u"find me here"_qs}, {u"B"_qs, u"nothing\r\nhere either, find me"_qs}};
    NoteFile(m_env->notesPath()).save(pages);
    QVERIFY(startForm());
    m_form->Memo->setSelection(0, 0);
    find(m_form->Memo, {u"find me"_qs});
    QCOMPARE(selection().start, 0);

    m_form->TabControl->setFocus();
    QTest::keyClick(m_form->TabControl, Qt::Key_Right);
    QCOMPARE(m_form->TabControl->currentIndex(), 1);
    m_form->Memo->setSelection(0, 0);
    findAgain(m_form->TabControl);
    QCOMPARE(notFoundCount(), 0);
    QCOMPARE(selection().start, 22);
    QCOMPARE(selection().end, 29);
    // Nothing was written into the pages by searching.
    QCOMPARE(m_form->pages().at(0).text, pages.at(0).text);
}

void TestMainFind::findAllIsNeverOffered()
{
    QVERIFY(startForm());
    QAction *findAll = m_form->SearchFindallMenuItem;
    QVERIFY(findAll);
    QVERIFY(m_form->SearchMenuItem->actions().contains(findAll));
    m_form->UpdateMenuItems();
    find(m_form->Memo, {u"x"_qs});
    m_form->UpdateMenuItems();
    QVERIFY(!findAll->isVisible());
    QVERIFY(!findAll->isEnabled());
    m_boxes->clear();
    findAll->trigger();
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(m_boxes->requests().isEmpty());
}

QTEST_MAIN(TestMainFind)
#include "tst_mainfind.moc"
