// The pages of the main window as a user meets them: switching tabs, adding and
// removing pages, and what reaches Pinnote.set through loading and saving.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TNewMemoDlg.h"
#include "editor/RichEdit.h"
#include "widgets/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

#include <cerrno>
#include <cstring>
#include <memory>

#include "support/FileSizeLimit.h"

using namespace Qt::StringLiterals;

namespace {

using PageBytes = QList<std::pair<QByteArray, QByteArray>>;

// A string value as the format describes it: short form up to 255 bytes, else long form.
QByteArray stringValue(const QByteArray &bytes)
{
    QByteArray out;
    if (bytes.size() <= 255) {
        out += char(0x06);
        out += char(quint8(bytes.size()));
    } else {
        const quint32 size = quint32(bytes.size());
        out += char(0x0C);
        for (int shift = 0; shift < 32; shift += 8)
            out += char(quint8(size >> shift));
    }
    return out + bytes;
}

// A whole note file built by hand: type, version 1, the list of (name, text) records.
QByteArray noteFileBytes(const PageBytes &pages)
{
    QByteArray out = stringValue("TKW-Pinnote") + QByteArray::fromHex("0201") + QByteArray::fromHex("01");
    for (const auto &[name, text] : pages)
        out += stringValue(name) + stringValue(text);
    return out + QByteArray::fromHex("00");
}

PageBytes utf8Pages(const NotePages &pages)
{
    PageBytes out;
    for (const NotePage &page : pages)
        out.append({page.name.toUtf8(), page.text.toUtf8()});
    return out;
}

// The two files spelled out byte by byte in the format's description.
const QByteArray FirstStartFile = QByteArray::fromHex("060B544B572D50696E6E6F7465"
                                                      "0201"
                                                      "01"
                                                      "06044D656D6F"
                                                      "0600"
                                                      "00");
const QByteArray WorkedExampleFile = QByteArray::fromHex("060B544B572D50696E6E6F7465"
                                                         "0201"
                                                         "01"
                                                         "06044D656D6F"
                                                         "0608427579206D696C6B"
                                                         "0604576F726B"
                                                         "06124C696E65206F6E650D0A4C696E652074776F"
                                                         "00");

enum class Close { OkButton, EnterKey, CancelButton, EscapeKey, CloseBox };
enum class Entry { Typed, Pasted };
enum class SaveFault { ReadOnlyFile, DirectoryInPlace, WorkingDirRemoved, FileTooLarge };

// The faults, with the system's own words for each; the close writes the settings first,
// which a file size limit would stop as well.
void addSaveFaultRows(bool fileTooLarge)
{
    const auto reason = [](int error) { return QString::fromLocal8Bit(std::strerror(error)); };
    QTest::addColumn<SaveFault>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("read-only file") << SaveFault::ReadOnlyFile << reason(EACCES);
    QTest::newRow("directory in its place") << SaveFault::DirectoryInPlace << reason(EISDIR);
    QTest::newRow("working directory removed") << SaveFault::WorkingDirRemoved << reason(ENOENT);
    if (fileTooLarge)
        QTest::newRow("file too large") << SaveFault::FileTooLarge << reason(EFBIG);
}

QStringList names(const NotePages &pages)
{
    QStringList out;
    for (const NotePage &page : pages)
        out.append(page.name);
    return out;
}

// Types text key by key; QTest's own helper takes ASCII only.
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool hasCharacterFormatting(const QTextDocument *document)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.fontWeight() > QFont::Normal || format.fontItalic() || format.fontUnderline()
                || format.hasProperty(QTextFormat::ForegroundBrush) || format.isAnchor())
                return true;
        }
    }
    return false;
}

} // namespace

Q_DECLARE_METATYPE(Close)
Q_DECLARE_METATYPE(SaveFault)

class TestMainPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void switchingBackShowsTextAsTyped_data();
    void switchingBackShowsTextAsTyped();
    void newPageTextIsStoredWhenSwitchingAway();
    void undoNeverReachesAcrossAPageChange_data();
    void undoNeverReachesAcrossAPageChange();
    void pastedFormattingIsGoneAfterSwitchingBack();

    void addMemo_data();
    void addMemo();
    void manyPagesGrowTabRowsAndShrinkEditor();
    void switchIsRefusedWhenTextCannotBeKept();

    void removeShowsFirstPage_data();
    void removeShowsFirstPage();
    void removingLastPageIsRefused_data();
    void removingLastPageIsRefused();

    void firstStartClosedAtOnceWritesTheSmallestFile();
    void workedExampleTypedThroughTheWindow();
    void saveTwiceWritesTheSameBytes();
    void saveShortcutStoresTextTypedWithoutSwitching();

    void startUpLoads_data();
    void startUpLoads();
    void corruptFileIsNotLoadedAndLeftAlone_data();
    void corruptFileIsNotLoadedAndLeftAlone();

    void saveCommandReportsFailure_data();
    void saveCommandReportsFailure();
    void closeAsksUntilYesWhenSaveFails_data();
    void closeAsksUntilYesWhenSaveFails();

    void saveSucceedsOnceTheFaultIsGone();

    void longPageNameIsStoredAsItsFirst4095Bytes_data();
    void longPageNameIsStoredAsItsFirst4095Bytes();

    void onlyTheEditedPageChanges_data();
    void onlyTheEditedPageChanges();

private:
    struct DialogVisit
    {
        bool seen = false;
        bool newMemoDialog = false;
        bool startedEmpty = false;
        QString nameAtClose;
    };

    bool startForm();
    void typeLines(const QStringList &lines);
    void clickTab(int index);
    bool addMemo(const QString &name, Close close = Close::OkButton, Entry entry = Entry::Typed);
    void answerWhenOpen(const QString &name, Close close, Entry entry, int attemptsLeft);
    void prepareSaveFault(SaveFault fault);
    bool fileStateUnchanged(SaveFault fault) const;

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
    DialogVisit m_visit;
    QByteArray m_bytesBefore;
    std::unique_ptr<FileSizeLimit> m_sizeLimit;
    QString m_subdir;
};

void TestMainPages::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    QGuiApplication::clipboard()->clear();
    m_bytesBefore.clear();
    m_subdir.clear();
}

void TestMainPages::cleanup()
{
    m_sizeLimit.reset();
    m_form.reset();
    if (QFileInfo::exists(m_env->notesPath()))
        QFile::setPermissions(m_env->notesPath(), QFile::ReadOwner | QFile::WriteOwner);
    m_boxes.reset();
    m_env.reset();
}

bool TestMainPages::startForm()
{
    m_form = startMainForm();
    return m_form != nullptr;
}

void TestMainPages::typeLines(const QStringList &lines)
{
    m_form->Memo->setFocus();
    m_form->Memo->moveCursor(QTextCursor::End);
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(m_form->Memo, Qt::Key_Return);
        typeText(m_form->Memo, lines.at(i));
    }
}

void TestMainPages::clickTab(int index)
{
    QTest::mouseClick(m_form->TabControl, Qt::LeftButton, Qt::NoModifier,
                      m_form->TabControl->tabRect(index).center());
}

// Runs Add Memo from the Pages menu and answers the dialog as a user would.
bool TestMainPages::addMemo(const QString &name, Close close, Entry entry)
{
    m_visit = {};
    QTimer::singleShot(0, this, [=, this] { answerWhenOpen(name, close, entry, 1000); });
    m_form->PagesAddMemoMenuItem->trigger();
    return m_visit.seen && m_visit.newMemoDialog && m_visit.startedEmpty && m_visit.nameAtClose == name;
}

void TestMainPages::answerWhenOpen(const QString &name, Close close, Entry entry, int attemptsLeft)
{
    auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
    if (!dialog) {
        if (attemptsLeft > 0)
            QTimer::singleShot(0, this, [=, this] { answerWhenOpen(name, close, entry, attemptsLeft - 1); });
        return;
    }
    m_visit.seen = true;
    m_visit.newMemoDialog = qobject_cast<TNewMemoDlg *>(dialog) != nullptr;
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("NameEdit"));
    auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("OKBtn"));
    auto *cancel = dialog->findChild<QPushButton *>(QStringLiteral("CancelBtn"));
    if (!edit || !ok || !cancel) {
        dialog->reject();
        return;
    }
    m_visit.startedEmpty = edit->text().isEmpty();
    if (entry == Entry::Typed) {
        typeText(edit, name);
    } else {
        QGuiApplication::clipboard()->setText(name);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    }
    m_visit.nameAtClose = edit->text();

    switch (close) {
    case Close::OkButton:
        QTest::mouseClick(ok, Qt::LeftButton);
        break;
    case Close::EnterKey:
        QTest::keyClick(edit, Qt::Key_Return);
        break;
    case Close::CancelButton:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case Close::EscapeKey:
        QTest::keyClick(edit, Qt::Key_Escape);
        break;
    case Close::CloseBox:
        dialog->close();
        break;
    }
    if (dialog->isVisible()) { // never leave the test waiting on a dialog
        m_visit.seen = false;
        dialog->reject();
    }
}

// Page switch -------------------------------------------------------------------

void TestMainPages::switchingBackShowsTextAsTyped_data()
{
    QTest::addColumn<QStringList>("linesA");
    QTest::addColumn<QStringList>("linesB");
    QTest::addColumn<QString>("expectedA");
    QTest::addColumn<QString>("expectedB");
    QTest::addColumn<bool>("byKeys");

    QTest::newRow("one line each") << QStringList{u"first page"_s} << QStringList{u"second page"_s}
                                   << "first page" << "second page" << false;
    QTest::newRow("several lines") << QStringList{u"one"_s, u"two"_s, u"three"_s} << QStringList{u"x"_s, u"y"_s}
                                   << "one\r\ntwo\r\nthree" << "x\r\ny" << false;
    QTest::newRow("empty lines and trailing break")
        << QStringList{u""_s, u"middle"_s, u""_s} << QStringList{u"  indented  "_s} << "\r\nmiddle\r\n"
        << "  indented  " << false;
    QTest::newRow("second page left empty") << QStringList{u"only A"_s} << QStringList{} << "only A" << "" << false;
    QTest::newRow("non-ASCII") << QStringList{u"Grüße"_s, u"Ärger"_s} << QStringList{u"café"_s}
                               << QString::fromUtf8("Grüße\r\nÄrger") << QString::fromUtf8("café") << false;
    QTest::newRow("arrow keys on the tab strip") << QStringList{u"left"_s, u"page"_s} << QStringList{u"right page"_s}
                                                 << "left\r\npage" << "right page" << true;
}

void TestMainPages::switchingBackShowsTextAsTyped()
{
    QFETCH(QStringList, linesA);
    QFETCH(QStringList, linesB);
    QFETCH(QString, expectedA);
    QFETCH(QString, expectedB);
    QFETCH(bool, byKeys);
    QVERIFY(startForm());

    typeLines(linesA);
    QVERIFY(addMemo(QStringLiteral("B")));
    typeLines(linesB);

    const auto switchTo = [&](int index) {
        if (!byKeys) {
            clickTab(index);
            return;
        }
        m_form->TabControl->setFocus();
        QTest::keyClick(m_form->TabControl, index < m_form->TabControl->currentIndex() ? Qt::Key_Left : Qt::Key_Right);
    };

    switchTo(0);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QCOMPARE(m_form->Memo->text(), expectedA);

    switchTo(1);
    QCOMPARE(m_form->TabControl->currentIndex(), 1);
    QCOMPARE(m_form->Memo->text(), expectedB);

    switchTo(0);
    QCOMPARE(m_form->Memo->text(), expectedA);
}

void TestMainPages::newPageTextIsStoredWhenSwitchingAway()
{
    QVERIFY(startForm());
    QVERIFY(addMemo(QStringLiteral("Fresh")));
    typeLines({QStringLiteral("typed on"), QStringLiteral("the new page")});

    clickTab(0);
    const NotePages pages = m_form->pages();
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages.at(1), (NotePage{QStringLiteral("Fresh"), QStringLiteral("typed on\r\nthe new page")}));
    QVERIFY(m_form->Memo->text().isEmpty());

    // And a save right away stores it too.
    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_env->readFile(m_env->notesPath()),
             noteFileBytes({{"Memo", ""}, {"Fresh", "typed on\r\nthe new page"}}));
}

void TestMainPages::undoNeverReachesAcrossAPageChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("tab clicked") << "click";
    QTest::newRow("page added") << "add";
    QTest::newRow("page removed") << "remove";
}

void TestMainPages::undoNeverReachesAcrossAPageChange()
{
    QFETCH(QString, change);
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes({{"A", "stored A"}, {"B", "stored B"}})));
    QVERIFY(startForm());

    QString expected;
    if (change == QLatin1String("click")) {
        typeLines({QStringLiteral(" and more")});
        clickTab(1);
        expected = QStringLiteral("stored B");
    } else if (change == QLatin1String("add")) {
        typeLines({QStringLiteral("typed")});
        QVERIFY(addMemo(QStringLiteral("C")));
        expected = QString();
    } else {
        clickTab(1);
        typeLines({QStringLiteral("doomed")});
        m_form->PagesRemoveMenuItem->trigger();
        QCOMPARE(m_form->pageCount(), 1);
        expected = QStringLiteral("stored A");
    }
    QCOMPARE(m_form->Memo->text(), expected);

    m_form->Memo->setFocus();
    QTest::keyClick(m_form->Memo, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->text(), expected);

    // Undo itself works on what is typed after the change, and stops there.
    QTest::keyClicks(m_form->Memo, QStringLiteral("xyz"));
    QVERIFY(m_form->Memo->text() != expected);
    QTest::keyClick(m_form->Memo, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->text(), expected);
    QTest::keyClick(m_form->Memo, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->text(), expected);
}

void TestMainPages::pastedFormattingIsGoneAfterSwitchingBack()
{
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes({{"A", ""}, {"B", "other"}})));
    QVERIFY(startForm());

    auto *data = new QMimeData;
    data->setHtml(QStringLiteral("<b>bold</b> <i>italic</i> <span style=\"color:#ff0000\">red</span>"));
    data->setText(QStringLiteral("bold italic red"));
    QGuiApplication::clipboard()->setMimeData(data);
    m_form->Memo->setFocus();
    QTest::keyClick(m_form->Memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("bold italic red"));
    QVERIFY(hasCharacterFormatting(m_form->Memo->document())); // the paste kept it while on show

    clickTab(1);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("other"));
    clickTab(0);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("bold italic red"));
    QVERIFY(!hasCharacterFormatting(m_form->Memo->document()));
}

// Add Memo -------------------------------------------------------------------------

void TestMainPages::addMemo_data()
{
    QTest::addColumn<QStringList>("before");     // loaded page names; texts are "text of <name>"
    QTest::addColumn<int>("onShow");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Close>("close");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("editor");         // "*" for the page's own live text

    const QStringList two{u"Memo"_s, u"Work"_s};
    const QString live = QStringLiteral("*");

    QTest::newRow("new name") << QStringList{u"Memo"_s} << 0 << "Work" << Close::OkButton
                              << QStringList{u"Memo"_s, u"Work"_s} << 1 << "";
    QTest::newRow("Enter accepts") << QStringList{u"Memo"_s} << 0 << "Work" << Close::EnterKey
                                   << QStringList{u"Memo"_s, u"Work"_s} << 1 << "";
    QTest::newRow("spaces and case kept") << two << 0 << " Mixed  Case " << Close::OkButton
                                          << QStringList{u"Memo"_s, u"Work"_s, u" Mixed  Case "_s} << 2 << "";
    QTest::newRow("ampersand kept") << QStringList{u"Memo"_s} << 0 << "Tom & Jerry" << Close::OkButton
                                    << QStringList{u"Memo"_s, u"Tom & Jerry"_s} << 1 << "";
    QTest::newRow("blank name is a name") << QStringList{u"Memo"_s} << 0 << " " << Close::OkButton
                                          << QStringList{u"Memo"_s, u" "_s} << 1 << "";
    QTest::newRow("trailing space is another name") << two << 0 << "Work " << Close::OkButton
                                                    << QStringList{u"Memo"_s, u"Work"_s, u"Work "_s} << 2 << "";
    QTest::newRow("accent is not case") << QStringList{u"Memo"_s, u"Cafe"_s} << 0 << "Café" << Close::OkButton
                                        << QStringList{u"Memo"_s, u"Cafe"_s, u"Café"_s} << 2 << "";

    QTest::newRow("other case brings page forward") << two << 0 << "WORK" << Close::OkButton << two << 1
                                                    << "text of Work";
    QTest::newRow("non-ASCII case brings page forward")
        << QStringList{u"Memo"_s, u"Ärger"_s} << 0 << "ärger" << Close::OkButton << QStringList{u"Memo"_s, u"Ärger"_s}
        << 1 << "text of Ärger";
    QTest::newRow("non-ASCII upper case brings page forward")
        << QStringList{u"Memo"_s, u"ärger"_s} << 0 << "ÄRGER" << Close::OkButton << QStringList{u"Memo"_s, u"ärger"_s}
        << 1 << "text of ärger";
    QTest::newRow("first of equal names") << QStringList{u"Memo"_s, u"a"_s, u"A"_s} << 0 << "A" << Close::OkButton
                                          << QStringList{u"Memo"_s, u"a"_s, u"A"_s} << 1 << "text of a";
    QTest::newRow("other case of page on show") << two << 1 << "wORK" << Close::OkButton << two << 1 << live;
    QTest::newRow("same name as page on show") << two << 0 << "Memo" << Close::OkButton << two << 0 << live;

    // Only the first 4095 bytes of a name are kept, so only they tell pages apart.
    const QString kept(NoteFile::MaxNameBytes, QLatin1Char('x'));
    QTest::newRow("names alike in their kept bytes are one")
        << QStringList{QStringLiteral("Memo"), kept + QStringLiteral("a")} << 0 << kept + QStringLiteral("b")
        << Close::OkButton << QStringList{QStringLiteral("Memo"), kept + QStringLiteral("a")} << 1
        << QStringLiteral("text of ") + kept + QStringLiteral("a");

    QTest::newRow("empty name") << two << 1 << "" << Close::OkButton << two << 1 << live;
    QTest::newRow("Cancel after typing") << two << 0 << "Other" << Close::CancelButton << two << 0 << live;
    QTest::newRow("Escape after typing") << two << 0 << "Other" << Close::EscapeKey << two << 0 << live;
    QTest::newRow("close box after typing") << two << 1 << "Other" << Close::CloseBox << two << 1 << live;
}

void TestMainPages::addMemo()
{
    QFETCH(QStringList, before);
    QFETCH(int, onShow);
    QFETCH(QString, typed);
    QFETCH(Close, close);
    QFETCH(QStringList, after);
    QFETCH(int, selected);
    QFETCH(QString, editor);

    PageBytes file;
    for (const QString &name : std::as_const(before))
        file.append({name.toUtf8(), (QStringLiteral("text of ") + name).toUtf8()});
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes(file)));
    QVERIFY(startForm());
    if (onShow != 0)
        clickTab(onShow);

    // Live text of the page on show, not yet stored anywhere.
    const QString liveText = QStringLiteral("text of ") + before.at(onShow) + QStringLiteral(" edited");
    m_form->Memo->setFocus();
    m_form->Memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_form->Memo, QStringLiteral(" edited"));
    QCOMPARE(m_form->Memo->text(), liveText);

    QVERIFY(addMemo(typed, close));

    const NotePages pages = m_form->pages();
    QCOMPARE(names(pages), after);
    QCOMPARE(m_form->TabControl->currentIndex(), selected);
    QCOMPARE(m_form->Memo->text(), editor == QLatin1String("*") ? liveText : editor);

    // Every other page keeps its text; the page that was on show keeps what was typed.
    for (int i = 0; i < before.size(); ++i) {
        const QString expected = i == onShow ? liveText : QStringLiteral("text of ") + before.at(i);
        QCOMPARE(pages.at(i).text, expected);
    }
    for (int i = before.size(); i < pages.size(); ++i)
        QVERIFY(pages.at(i).text.isEmpty());
}

// The editor's text cannot be copied out, as when memory runs out.
class CopyFailingForm : public TMainForm
{
public:
    bool failCopy = false;

protected:
    QString editorText() const override
    {
        if (failCopy)
            throw std::bad_alloc();
        return TMainForm::editorText();
    }
};

void TestMainPages::switchIsRefusedWhenTextCannotBeKept()
{
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes({{"Memo", "memo"}, {"Work", "work"}})));
    auto form = std::make_unique<CopyFailingForm>();
    QVERIFY(form->notesLoaded());
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    CopyFailingForm *failing = form.get();
    m_form = std::move(form);
    typeLines({QStringLiteral(" typed")});

    failing->failCopy = true;
    clickTab(1);
    QCOMPARE(m_boxes->requests().size(), 1);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("memo typed"));

    failing->failCopy = false;
    clickTab(1);
    QCOMPARE(m_form->TabControl->currentIndex(), 1);
    QCOMPARE(m_form->pages().at(0).text, QStringLiteral("memo typed"));
}

void TestMainPages::manyPagesGrowTabRowsAndShrinkEditor()
{
    QVERIFY(startForm());
    const int rowsBefore = m_form->TabControl->rowCount();
    const int editorHeightBefore = m_form->Memo->height();
    QCOMPARE(rowsBefore, 1);

    for (int i = 1; i <= 30 && m_form->TabControl->rowCount() == rowsBefore; ++i)
        QVERIFY(addMemo(QStringLiteral("Page number %1").arg(i), Close::OkButton));
    QVERIFY(m_form->TabControl->rowCount() > rowsBefore);
    QTRY_VERIFY(m_form->Memo->height() < editorHeightBefore);

    // The newest page is the last tab, on show and empty, and its tab is on screen.
    const int last = m_form->pageCount() - 1;
    QCOMPARE(m_form->TabControl->currentIndex(), last);
    QVERIFY(m_form->Memo->text().isEmpty());
    QVERIFY(m_form->TabControl->rect().contains(m_form->TabControl->tabRect(last)));

    // Tabs in either row still switch pages, and the rows stay as they are.
    const int rows = m_form->TabControl->rowCount();
    typeLines({QStringLiteral("on the last page")});
    clickTab(0);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QVERIFY(m_form->Memo->text().isEmpty());
    clickTab(last);
    QCOMPARE(m_form->TabControl->currentIndex(), last);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("on the last page"));
    QCOMPARE(m_form->TabControl->rowCount(), rows);
}

// Remove ------------------------------------------------------------------------------

void TestMainPages::removeShowsFirstPage_data()
{
    QTest::addColumn<int>("removed");
    QTest::addColumn<bool>("fromToolbar");
    QTest::newRow("third of five, menu") << 2 << false;
    QTest::newRow("third of five, toolbar") << 2 << true;
    QTest::newRow("second of five") << 1 << false;
    QTest::newRow("last of five") << 4 << false;
    QTest::newRow("first of five") << 0 << false;
}

void TestMainPages::removeShowsFirstPage()
{
    QFETCH(int, removed);
    QFETCH(bool, fromToolbar);

    NotePages five;
    for (int i = 0; i < 5; ++i)
        five.append({QStringLiteral("P%1").arg(i), QStringLiteral("line %1\r\nof page %1").arg(i)});
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes(utf8Pages(five))));
    QVERIFY(startForm());

    if (removed != 0)
        clickTab(removed);
    QCOMPARE(m_form->TabControl->currentIndex(), removed);
    typeLines({QStringLiteral(" unsaved")});

    if (fromToolbar)
        QTest::mouseClick(m_form->ToolBar->widgetForAction(m_form->RemoveButton), Qt::LeftButton);
    else
        m_form->PagesRemoveMenuItem->trigger();

    NotePages expected = five;
    expected.removeAt(removed);
    QCOMPARE(m_form->pages(), expected);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QCOMPARE(m_form->Memo->text(), expected.at(0).text);
    QVERIFY(m_boxes->requests().isEmpty()); // no confirmation
}

void TestMainPages::removingLastPageIsRefused_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << int(MessageBox::Ok);
    QTest::newRow("Cancel") << int(MessageBox::Cancel);
}

void TestMainPages::removingLastPageIsRefused()
{
    QFETCH(int, answer);
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes({{"Keep", "kept text"}, {"Drop", "dropped"}})));
    QVERIFY(startForm());
    m_form->UpdateToolbarItems();
    QWidget *removeButton = m_form->ToolBar->widgetForAction(m_form->RemoveButton);

    clickTab(1);
    QTest::mouseClick(removeButton, Qt::LeftButton);
    QCOMPARE(m_form->pageCount(), 1);
    QVERIFY(m_boxes->requests().isEmpty());

    // The refresh has not come round yet: the button is still live.
    QVERIFY(removeButton->isEnabled());
    typeLines({QStringLiteral(" and typed")});
    m_boxes->queueAnswer(MessageBox::Button(answer));
    QTest::mouseClick(removeButton, Qt::LeftButton);

    QCOMPARE(m_boxes->requests().size(), 1);
    const MessageBox::Request &box = m_boxes->requests().constFirst();
    QCOMPARE(box.text, QStringLiteral("Sorry, you can't remove the last item"));
    QCOMPARE(box.caption, QStringLiteral("Remove"));
    QCOMPARE(box.icon, MessageBox::Icon::None);
    QCOMPARE(box.buttons, MessageBox::Buttons(MessageBox::Ok | MessageBox::Cancel));

    const NotePages expected{{QStringLiteral("Keep"), QStringLiteral("kept text and typed")}};
    QCOMPARE(m_form->pages(), expected);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("kept text and typed"));
    QCOMPARE(m_env->readFile(m_env->notesPath()),
             noteFileBytes({{"Keep", "kept text"}, {"Drop", "dropped"}}));
}

// Bytes through the window --------------------------------------------------------

void TestMainPages::firstStartClosedAtOnceWritesTheSmallestFile()
{
    QVERIFY(startForm());
    QVERIFY(m_form->close());
    QVERIFY(m_boxes->requests().isEmpty());
    const QByteArray written = m_env->readFile(m_env->notesPath());
    QCOMPARE(written.size(), 25);
    QCOMPARE(written.toHex(' '), FirstStartFile.toHex(' '));
}

void TestMainPages::workedExampleTypedThroughTheWindow()
{
    QVERIFY(startForm());
    typeLines({QStringLiteral("Buy milk")});
    QVERIFY(addMemo(QStringLiteral("Work")));
    typeLines({QStringLiteral("Line one"), QStringLiteral("Line two")});
    clickTab(0);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("Buy milk"));

    QVERIFY(m_form->close());
    QVERIFY(m_boxes->requests().isEmpty());
    const QByteArray written = m_env->readFile(m_env->notesPath());
    QCOMPARE(written.size(), 59);
    QCOMPARE(written.toHex(' '), WorkedExampleFile.toHex(' '));
}

void TestMainPages::saveTwiceWritesTheSameBytes()
{
    QVERIFY(startForm());
    typeLines({QStringLiteral("abc")});
    m_form->FileSaveMenuItem->trigger();
    const QByteArray first = m_env->readFile(m_env->notesPath());
    QCOMPARE(first, noteFileBytes({{"Memo", "abc"}}));

    // The second save writes again, changed or not.
    QVERIFY(QFile::remove(m_env->notesPath()));
    QTest::mouseClick(m_form->ToolBar->widgetForAction(m_form->SaveButton), Qt::LeftButton);
    QCOMPARE(m_env->readFile(m_env->notesPath()), first);
    QVERIFY(m_boxes->requests().isEmpty());
}

void TestMainPages::saveShortcutStoresTextTypedWithoutSwitching()
{
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes({{"One", "first"}, {"Two", "second"}})));
    QVERIFY(startForm());
    clickTab(1);
    typeLines({QStringLiteral(" page"), QStringLiteral("more")});

    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);

    QVERIFY(m_boxes->requests().isEmpty());
    QCOMPARE(m_env->readFile(m_env->notesPath()),
             noteFileBytes({{"One", "first"}, {"Two", "second page\r\nmore"}}));
    QCOMPARE(m_form->Memo->text(), QStringLiteral("second page\r\nmore"));
}

// Start-up --------------------------------------------------------------------------

void TestMainPages::startUpLoads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("texts");

    QTest::newRow("two pages") << WorkedExampleFile << QStringList{u"Memo"_s, u"Work"_s}
                               << QStringList{u"Buy milk"_s, u"Line one\r\nLine two"_s};
    QTest::newRow("no pages") << QByteArray::fromHex("060B544B572D50696E6E6F746502010100")
                              << QStringList{u"Memo"_s} << QStringList{u""_s};
    QTest::newRow("written on Windows")
        << noteFileBytes({{"Caf\xE9", "na\xEFve \x80 5"}, {"UTF-8 \xC3\xA9t\xC3\xA9", "ok"}})
        << QStringList{QString::fromUtf8("Café"), QString::fromUtf8("UTF-8 été")}
        << QStringList{QString::fromUtf8("naïve € 5"), u"ok"_s};
    QTest::newRow("long strings") << noteFileBytes({{QByteArray(300, 'n'), QByteArray(70000, 't')}})
                                  << QStringList{QString(300, u'n')} << QStringList{QString(70000, u't')};
}

void TestMainPages::startUpLoads()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, names);
    QFETCH(QStringList, texts);
    QVERIFY(m_env->writeFile(m_env->notesPath(), file));
    QVERIFY(startForm());
    QVERIFY(m_boxes->requests().isEmpty());

    QCOMPARE(m_form->TabControl->tabTexts(), names);
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QCOMPARE(m_form->Memo->text(), texts.at(0));
    for (int i = 1; i < names.size(); ++i) {
        clickTab(i);
        QCOMPARE(m_form->Memo->text(), texts.at(i));
    }
}

void TestMainPages::corruptFileIsNotLoadedAndLeftAlone_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = WorkedExampleFile;
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("type in other case") << QByteArray(good).replace("TKW-Pinnote", "TKW-PINNOTE");
    QTest::newRow("version 2") << QByteArray(good).replace(13, 2, QByteArray::fromHex("0202"));
    QTest::newRow("version as string") << QByteArray(good).replace(13, 2, QByteArray::fromHex("060131"));
    QTest::newRow("no end of list") << good.left(good.size() - 1);
    QTest::newRow("cut between name and text") << good.left(38);
    QTest::newRow("text runs past the end") << good.left(50);
}

void TestMainPages::corruptFileIsNotLoadedAndLeftAlone()
{
    QFETCH(QByteArray, file);
    QVERIFY(m_env->writeFile(m_env->notesPath(), file));

    m_form = std::make_unique<TMainForm>();
    QVERIFY(!m_form->notesLoaded());
    m_form.reset();
    QCOMPARE(m_env->readFile(m_env->notesPath()), file);
    QVERIFY(QFileInfo(m_env->notesPath()).isFile());
}

// Save failures ---------------------------------------------------------------------

void TestMainPages::prepareSaveFault(SaveFault fault)
{
    switch (fault) {
    case SaveFault::ReadOnlyFile:
        m_bytesBefore = noteFileBytes({{"Memo", "on disk"}, {"Two", "second"}});
        QVERIFY(m_env->writeFile(m_env->notesPath(), m_bytesBefore));
        QVERIFY(startForm());
        QVERIFY(QFile::setPermissions(m_env->notesPath(),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        break;
    case SaveFault::DirectoryInPlace:
        QVERIFY(startForm());
        QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("Pinnote.set")));
        break;
    case SaveFault::WorkingDirRemoved:
        m_subdir = m_env->filePath(QStringLiteral("gone"));
        QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("gone")));
        QVERIFY(QDir::setCurrent(m_subdir));
        QVERIFY(startForm());
        QVERIFY(QDir(m_subdir).removeRecursively());
        break;
    case SaveFault::FileTooLarge:
        // As a full disk does: the write itself fails part-way.
        m_bytesBefore = noteFileBytes({{"Memo", "on disk"}});
        QVERIFY(m_env->writeFile(m_env->notesPath(), m_bytesBefore));
        QVERIFY(startForm());
        m_sizeLimit = std::make_unique<FileSizeLimit>(m_bytesBefore.size() + 4);
        QVERIFY(m_sizeLimit->isActive());
        break;
    }
}

bool TestMainPages::fileStateUnchanged(SaveFault fault) const
{
    switch (fault) {
    case SaveFault::ReadOnlyFile:
        return m_env->readFile(m_env->notesPath()) == m_bytesBefore;
    case SaveFault::DirectoryInPlace:
        return QFileInfo(m_env->notesPath()).isDir() && QDir(m_env->notesPath()).isEmpty();
    case SaveFault::WorkingDirRemoved:
        return !QFileInfo::exists(m_subdir) && !QFileInfo::exists(m_env->notesPath());
    case SaveFault::FileTooLarge:
        return m_env->readFile(m_env->notesPath()) == m_bytesBefore;
    }
    return false;
}

void TestMainPages::saveCommandReportsFailure_data()
{
    addSaveFaultRows(true);
}

void TestMainPages::saveCommandReportsFailure()
{
    QFETCH(SaveFault, fault);
    QFETCH(QString, reason);
    prepareSaveFault(fault);
    if (QTest::currentTestFailed())
        return;
    typeLines({QStringLiteral("unsaved")});
    const NotePages before = m_form->pages();

    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);

    QCOMPARE(m_boxes->requests().size(), 1);
    const MessageBox::Request &box = m_boxes->requests().constFirst();
    QCOMPARE(box.text, QStringLiteral("Could not save Pinnote.set"));
    QCOMPARE(box.caption, QStringLiteral("Error"));
    QCOMPARE(box.icon, MessageBox::Icon::Exclamation);
    QCOMPARE(box.buttons, MessageBox::Buttons(MessageBox::Ok));
    QCOMPARE(box.informativeText, reason);
    QVERIFY(fileStateUnchanged(fault));
    QCOMPARE(m_form->pages(), before);
    QVERIFY(m_form->isVisible());
}

void TestMainPages::closeAsksUntilYesWhenSaveFails_data()
{
    addSaveFaultRows(false);
}

void TestMainPages::closeAsksUntilYesWhenSaveFails()
{
    QFETCH(SaveFault, fault);
    QFETCH(QString, reason);
    prepareSaveFault(fault);
    if (QTest::currentTestFailed())
        return;
    if (m_form->pageCount() < 2)
        QVERIFY(addMemo(QStringLiteral("Extra")));
    typeLines({QStringLiteral("typed"), QStringLiteral("not saved")});
    clickTab(0);
    typeLines({QStringLiteral("live")});
    const NotePages before = m_form->pages();
    const QString question = QStringLiteral("Could not save Pinnote.set. Exit anyway (all data will be lost)?");

    for (int attempt = 1; attempt <= 2; ++attempt) {
        m_boxes->queueAnswer(MessageBox::No);
        QVERIFY(!m_form->close());
        QCOMPARE(m_boxes->requests().size(), attempt);
        const MessageBox::Request &box = m_boxes->requests().constLast();
        QCOMPARE(box.text, question);
        QCOMPARE(box.caption, QStringLiteral("Error"));
        QCOMPARE(box.icon, MessageBox::Icon::Exclamation);
        QCOMPARE(box.buttons, MessageBox::Buttons(MessageBox::Yes | MessageBox::No));
        QCOMPARE(box.defaultButton, MessageBox::Yes);
        QCOMPARE(box.informativeText, reason);
        QVERIFY(m_form->isVisible());
        QCOMPARE(m_form->pages(), before);
        QCOMPARE(m_form->TabControl->currentIndex(), 0);
        QVERIFY(fileStateUnchanged(fault));
    }

    m_boxes->queueAnswer(MessageBox::Yes);
    QVERIFY(m_form->close());
    QCOMPARE(m_boxes->requests().size(), 3);
    QVERIFY(!m_form->isVisible());
    QVERIFY(fileStateUnchanged(fault));
}

void TestMainPages::saveSucceedsOnceTheFaultIsGone()
{
    prepareSaveFault(SaveFault::ReadOnlyFile);
    if (QTest::currentTestFailed())
        return;
    clickTab(1);
    typeLines({QStringLiteral(" edited")});

    m_boxes->queueAnswer(MessageBox::No);
    QVERIFY(!m_form->close());
    QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_boxes->requests().size(), 2);
    QVERIFY(fileStateUnchanged(SaveFault::ReadOnlyFile));

    QVERIFY(QFile::setPermissions(m_env->notesPath(), QFile::ReadOwner | QFile::WriteOwner));
    QVERIFY(m_form->close());
    QCOMPARE(m_boxes->requests().size(), 2);
    QCOMPARE(m_env->readFile(m_env->notesPath()), noteFileBytes({{"Memo", "on disk"}, {"Two", "second edited"}}));
}

// Long names ---------------------------------------------------------------------------

void TestMainPages::longPageNameIsStoredAsItsFirst4095Bytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");

    const QString eAcute = QString::fromUtf8("é");  // 2 bytes
    const QString euro = QString::fromUtf8("€");    // 3 bytes
    const QString grin = QString::fromUtf8("😀");   // 4 bytes, two UTF-16 units

    QTest::newRow("5000 ASCII") << QString(5000, u'x') << QString(4095, u'x');
    QTest::newRow("exactly 4095 bytes") << QString(4095, u'y') << QString(4095, u'y');
    QTest::newRow("2-byte character across the cut") << eAcute.repeated(2500) << eAcute.repeated(2047);
    QTest::newRow("3-byte character across the cut")
        << QStringLiteral("a") + euro.repeated(2000) << QStringLiteral("a") + euro.repeated(1364);
    QTest::newRow("3-byte character ending on the cut")
        << euro.repeated(2000) << euro.repeated(1365);
    QTest::newRow("4-byte character across the cut") << grin.repeated(1500) << grin.repeated(1023);
}

void TestMainPages::longPageNameIsStoredAsItsFirst4095Bytes()
{
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QVERIFY(startForm());

    QVERIFY(addMemo(name, Close::OkButton, Entry::Pasted));
    QCOMPARE(m_form->TabControl->tabText(1), name);
    typeLines({QStringLiteral("body")});
    m_form->FileSaveMenuItem->trigger();
    QVERIFY(m_boxes->requests().isEmpty());

    const std::optional<NotePages> loaded = NoteFile(m_env->notesPath()).load();
    QVERIFY(loaded.has_value());
    QCOMPARE(loaded->size(), 2);
    QCOMPARE(loaded->at(0), (NotePage{QStringLiteral("Memo"), QString()}));
    QCOMPARE(loaded->at(1).name.size(), stored.size());
    QCOMPARE(loaded->at(1).name, stored);
    QCOMPARE(loaded->at(1).text, QStringLiteral("body"));
    QVERIFY(loaded->at(1).name.toUtf8().size() <= 4095);
}

namespace {

// Windows-1252, stray bytes among UTF-8, every line break, and a name cut at 4095 bytes
// inside a two-byte character.
const PageBytes MixedPad = {
    {"Caf\xE9", "na\xEFve \x80 5\r\nline"},
    {"Mixed \xF0\x9F\x98\x80 \xFF", "\xF0\x9F\x98\x80 ok \xFF"},
    {"Breaks", "lone\rCR\nlone LF\r\nCRLF \xE2\x80\xA8 sep"},
    {QByteArray(4094, 'n') + "\xC3\xA9tail", "long name"},
};

} // namespace

void TestMainPages::onlyTheEditedPageChanges_data()
{
    QTest::addColumn<int>("page"); // none when -1
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("pages only shown") << -1 << QByteArray();
    QTest::newRow("Windows-1252") << 0 << QByteArray("na\xC3\xAFve \xE2\x82\xAC 5\r\nline!");
    QTest::newRow("mixed") << 1 << QByteArray("\xF0\x9F\x98\x80 ok \xC3\xBF!");
    QTest::newRow("breaks") << 2 << QByteArray("lone\r\nCR\r\nlone LF\r\nCRLF \r\n sep!");
}

void TestMainPages::onlyTheEditedPageChanges()
{
    QFETCH(int, page);
    QFETCH(QByteArray, saved);
    QVERIFY(m_env->writeFile(m_env->notesPath(), noteFileBytes(MixedPad)));
    QVERIFY(startForm());
    QCOMPARE(m_form->TabControl->tabText(1), QString::fromUtf16(u"Mixed \U0001F600 \u00ff"));
    for (int i : {1, 2, 3, 0, 2})
        clickTab(i);
    // Every break a line of its own in the editor is no change either.
    QCOMPARE(m_form->Memo->document()->blockCount(), 5);
    PageBytes expected = MixedPad;
    expected[3].first = QByteArray(4094, 'n');
    if (page >= 0) {
        clickTab(page);
        typeLines({QStringLiteral("!")});
        QTest::keyClick(m_form->Memo, Qt::Key_S, Qt::ControlModifier);
        expected[page].second = saved;
    }
    QVERIFY(m_form->close());
    QCOMPARE(m_boxes->texts(), QStringList());
    QCOMPARE(m_env->readFile(m_env->notesPath()).toHex(' '), noteFileBytes(expected).toHex(' '));
}

QTEST_MAIN(TestMainPages)
#include "tst_mainpages.moc"
