// Find and Find again through the real window: Ctrl+F, the Find Text dialog, F3 and
// the "Not found" message.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TFindDlg.h"
#include "editor/RichEdit.h"
#include "widgets/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

namespace {

using Span = std::pair<int, int>;

} // namespace

class TestMainFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        m_boxes = std::make_unique<MessageBoxRecorder>();
        QVERIFY(m_env->isValid());
    }
    void cleanup() { m_form.reset(); m_boxes.reset(); m_env.reset(); }

    void findSelectsTheFirstMatchFromTheSelection_data();
    void findSelectsTheFirstMatchFromTheSelection();
    void findAgainStepsPastEachMatch();
    void findAgainBeforeAnyFindDoesNothing();
    void cancelKeepsTheLastConfirmedSearch();
    void findAgainSearchesThePageOnShow();

private:
    bool startForm(const QString &text);
    // Presses Ctrl+F on the editor and answers the dialog: OK with what is given, or Escape.
    void find(const QString &what, bool wholeWord = false, bool matchCase = false, bool ok = true);
    void findAgain() { QTest::keyClick(m_form->focusWidget(), Qt::Key_F3); }
    Span selection() const { return {m_form->Memo->selection().start, m_form->Memo->selection().end}; }
    int notFoundCount() const;

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

// Starts the window with text on its page (kept as saved when text is null), the editor focused.
bool TestMainFind::startForm(const QString &text)
{
    m_form = startMainForm();
    if (!m_form)
        return false;
    m_form->activateWindow();
    if (!text.isNull())
        m_form->Memo->setText(text);
    m_form->Memo->setSelection(0, 0);
    m_form->Memo->setFocus();
    return QTest::qWaitForWindowActive(m_form.get());
}

void TestMainFind::find(const QString &what, bool wholeWord, bool matchCase, bool ok)
{
    whenModalOpens([=](QWidget *modal) {
        auto *text = modal->findChild<QLineEdit *>(u"FindText"_qs);
        auto *wholeWordBox = modal->findChild<QCheckBox *>(u"WholeWord"_qs);
        auto *matchCaseBox = modal->findChild<QCheckBox *>(u"MatchCase"_qs);
        if (!qobject_cast<TFindDlg *>(modal) || !text || !wholeWordBox || !matchCaseBox)
            return void(modal->close());
        text->setText(what);
        wholeWordBox->setChecked(wholeWord);
        matchCaseBox->setChecked(matchCase);
        QTest::keyClick(text, ok ? Qt::Key_Return : Qt::Key_Escape);
    });
    QTest::keyClick(m_form->focusWidget(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!m_form->FindDlg->isVisible());
}

// The "Not found" boxes asked for: caption "Pinnote", no icon, one OK button.
int TestMainFind::notFoundCount() const
{
    int count = 0;
    for (const MessageBox::Request &request : m_boxes->requests())
        count += request.text == u"Not found"_qs && request.caption == u"Pinnote"_qs
                 && request.style == MessageBox::Style::Plain && request.icon == MessageBox::Icon::None && request.buttons == MessageBox::Ok;
    return count;
}

void TestMainFind::findSelectsTheFirstMatchFromTheSelection_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Span>("selected");
    QTest::addColumn<QString>("what");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("expected"); // -1: "Not found"

    QTest::newRow("caret at the very end") << u"abc abc"_qs << Span(7, 7) << u"abc"_qs << false << false << -1;
    QTest::newRow("longer than the rest") << u"abc ab"_qs << Span(4, 4) << u"abc"_qs << false << false << -1;
    QTest::newRow("match case off") << u"xx ABC"_qs << Span(0, 0) << u"abc"_qs << false << false << 3;
    QTest::newRow("match case on") << u"xx ABC"_qs << Span(0, 0) << u"abc"_qs << false << true << -1;
    QTest::newRow("cat in concatenate") << u"concatenate"_qs << Span(0, 0) << u"cat"_qs << true << false << -1;
    QTest::newRow("cat in the cat sat") << u"the cat sat"_qs << Span(0, 0) << u"cat"_qs << true << false << 4;
    QTest::newRow("third line, CR LF counted")
        << u"one\r\ntwo\r\nthe end"_qs << Span(0, 0) << u"end"_qs << false << false << 14;
    QTest::newRow("a selected match found again") << u"abc abc"_qs << Span(4, 7) << u"abc"_qs << false << false << 4;
    QTest::newRow("no wrap-around") << u"abc def"_qs << Span(1, 1) << u"abc"_qs << false << false << -1;
}

void TestMainFind::findSelectsTheFirstMatchFromTheSelection()
{
    QFETCH(QString, text);
    QFETCH(Span, selected);
    QFETCH(QString, what);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    QFETCH(int, expected);
    QVERIFY(startForm(text));
    RichEdit *memo = m_form->Memo;
    memo->setSelection(selected.first, selected.second);

    find(what, wholeWord, matchCase);
    QVERIFY(m_form->SearchActive);
    QCOMPARE(notFoundCount(), expected < 0 ? 1 : 0);
    if (expected < 0) {
        QCOMPARE(selection(), selected);
        return;
    }
    const int end = expected + int(what.size());
    QCOMPARE(selection(), Span(expected, end));
    QCOMPARE(memo->textCursor().position(), memo->toDocumentPosition(end));
    QCOMPARE(m_form->focusWidget(), static_cast<QWidget *>(memo));
}

void TestMainFind::findAgainStepsPastEachMatch()
{
    QVERIFY(startForm(u"aaaa"_qs));
    find(u"aa"_qs);
    QCOMPARE(selection(), Span(0, 2));
    findAgain();
    QCOMPARE(selection(), Span(2, 4));
    QCOMPARE(notFoundCount(), 0);
    findAgain();
    QCOMPARE(notFoundCount(), 1);
    QCOMPARE(selection(), Span(2, 4));
}

void TestMainFind::findAgainBeforeAnyFindDoesNothing()
{
    QVERIFY(startForm(u"abc abc"_qs));
    m_form->Memo->setSelection(1, 1);
    findAgain();
    QVERIFY(m_boxes->requests().isEmpty());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(selection(), Span(1, 1));
    QCOMPARE(m_form->Memo->text(), u"abc abc"_qs);
    m_form->UpdateMenuItems();
    QVERIFY(!m_form->SearchFindagainMenuItem->isEnabled());
}

void TestMainFind::cancelKeepsTheLastConfirmedSearch()
{
    QVERIFY(startForm(u"one two one two"_qs));
    find(u"two"_qs, false, true);
    QCOMPARE(selection(), Span(4, 7));

    find(u"one"_qs, true, false, false);
    QCOMPARE(selection(), Span(4, 7));
    QCOMPARE(m_form->SearchText, u"two"_qs);
    QCOMPARE(m_form->SearchOptions, int(TMainForm::SearchMatchCase));
    QCOMPARE(m_form->FindDlg->findText(), u"one"_qs);
    QVERIFY(m_form->FindDlg->wholeWord());

    findAgain();
    QCOMPARE(selection(), Span(12, 15));
    QVERIFY(m_boxes->requests().isEmpty());
}

void TestMainFind::findAgainSearchesThePageOnShow()
{
    NoteFile(m_env->notesPath()).save({{u"A"_qs, u"find me here"_qs}, {u"B"_qs, u"nothing\r\nhere, find me"_qs}});
    QVERIFY(startForm(QString()));
    find(u"find me"_qs);
    QCOMPARE(selection(), Span(0, 7));

    m_form->TabControl->setFocus();
    QTest::keyClick(m_form->TabControl, Qt::Key_Right);
    QCOMPARE(m_form->TabControl->currentIndex(), 1);
    m_form->Memo->setSelection(0, 0);
    findAgain();
    QCOMPARE(notFoundCount(), 0);
    QCOMPARE(selection(), Span(15, 22));
}

QTEST_MAIN(TestMainFind)
#include "tst_mainfind.moc"
