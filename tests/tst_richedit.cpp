#include "editor/RichEdit.h"
#include "editor/CaretRest.h"
#include "widgets/BusyCursor.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHash>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// The blink is the text control's only timer while nobody clicks three times.
bool blinking(const RichEdit &edit)
{
    for (QObject *child : edit.children()) {
        if (qstrcmp(child->metaObject()->className(), "QWidgetTextControl") == 0)
            return !QAbstractEventDispatcher::instance()->registeredTimers(child).isEmpty();
    }
    return false;
}

// Whether the caret's column, right of a blank, is drawn: the caret inverts the page.
bool caretDrawn(RichEdit &edit)
{
    const QImage shot = edit.viewport()->grab().toImage();
    const QRect caret = edit.cursorRect();
    const QColor page = edit.palette().color(QPalette::Base);
    for (int y = caret.top(); y <= caret.bottom(); ++y) {
        const QColor pixel = shot.pixelColor(caret.left(), y);
        if (qAbs(pixel.red() - page.red()) + qAbs(pixel.green() - page.green()) + qAbs(pixel.blue() - page.blue()) > 60)
            return true;
    }
    return false;
}

const QString Nbsp = QString(QChar::Nbsp);
const QString LineSeparator = QString(QChar::LineSeparator);

// The selected text in CR LF terms, read from the document itself.
QString selectedCrlfText(const RichEdit &edit)
{
    return edit.textCursor().selectedText().replace(QChar::ParagraphSeparator, u"\r\n"_qs);
}

// Every position of the text that is not between a CR and its LF maps to a document
// position and back unchanged, and the document holds the same character there.
void verifyPositionsAgree(RichEdit &edit)
{
    const QString text = edit.text();
    QCOMPARE(edit.textLength(), text.size());
    for (int p = 0; p <= text.size(); ++p) {
        if (p > 0 && text[p - 1] == u'\r' && p < text.size() && text[p] == u'\n')
            continue;
        edit.setSelection(p, p);
        QCOMPARE(edit.selection().start, p);
        if (p < text.size() && text[p] != u'\r') {
            const QChar inDocument = edit.document()->characterAt(edit.toDocumentPosition(p));
            QCOMPARE(inDocument, text[p]);
        }
    }
}

void putOnClipboard(const QString &plain, const QString &html = QString())
{
    auto *data = new QMimeData;
    if (!plain.isNull())
        data->setText(plain);
    if (!html.isNull())
        data->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(data);
}

QRect selectionBand(const RichEdit &edit, int from, int to)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(edit.toDocumentPosition(from));
    const QRect left = edit.cursorRect(cursor);
    cursor.setPosition(edit.toDocumentPosition(to));
    const QRect right = edit.cursorRect(cursor);
    return QRect(QPoint(left.right() + 2, left.top() + 2),
                 QPoint(right.left() - 2, left.bottom() - 2));
}

bool imageHolds(const QImage &image, const QColor &colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb())
                return true;
    return false;
}

// The contrast ratio of two colours by the WCAG formula.
double contrast(const QColor &a, const QColor &b)
{
    const auto luminance = [](const QColor &c) {
        const auto linear = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const auto [dark, light] = std::minmax({luminance(a), luminance(b)});
    return (light + 0.05) / (dark + 0.05);
}

// The commonest colour in the image other than the background: the text's.
QColor drawnTextColour(const QImage &image, const QColor &background)
{
    QHash<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    counts.remove(background.rgb());
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    return most == counts.cend() ? QColor() : QColor::fromRgb(most.key());
}

} // namespace

class TestRichEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void textRoundTrip_data();
    void textRoundTrip();
    void positionsOnManyLines();
    void selectionRoundTrip_data();
    void selectionRoundTrip();
    void setSelectionClamps_data();
    void setSelectionClamps();
    void setSelectionScrollsCaretIntoView();
    void selectAllText_data();
    void selectAllText();
    void setTextDropsFormatting();
    void setTextClearsUndo();
    void clipboardCommands_data();
    void clipboardCommands();
    void caretRestsWhenIdle_data();
    void caretRestsWhenIdle();
    void findText_data();
    void findText();
    void findSeesEveryEdit();
    void lineBreaksFromEditing_data();
    void lineBreaksFromEditing();
    void pastedLineBreaksUndoInOneStep();
    void pastedTableKeepsPositions();
    void selectionHiddenWithoutFocus();
    void selectionShownWhileMenuOpen();
    void backgroundColour();
    void defaultFontWithColour();
    void automaticColourFollowsPalette();
    void automaticColourStaysReadable_data();
    void automaticColourStaysReadable();
    void bigPasteKeepsTextWithBusyPointer_data();
    void bigPasteKeepsTextWithBusyPointer();
    void defaultFontReplacesPastedFormatting();

private:
    QTemporaryDir m_home;
    std::unique_ptr<QWidget> m_window;
    RichEdit *m_edit = nullptr;
    QLineEdit *m_other = nullptr;

    void showAndActivate();
};

void TestRichEdit::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_qs).toLocal8Bit());
    QVERIFY(QDir::setCurrent(m_home.path()));
}

void TestRichEdit::init()
{
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_edit = new RichEdit(m_window.get());
    m_other = new QLineEdit(m_window.get());
    layout->addWidget(m_edit);
    layout->addWidget(m_other);
    m_window->resize(400, 300);
    QGuiApplication::clipboard()->clear();
}

void TestRichEdit::cleanup()
{
    m_window.reset();
    m_edit = nullptr;
    m_other = nullptr;
}

void TestRichEdit::showAndActivate()
{
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void TestRichEdit::textRoundTrip_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("one line") << u"abc"_qs << u"abc"_qs;
    QTest::newRow("two lines") << u"line one\r\nline two"_qs << u"line one\r\nline two"_qs;
    QTest::newRow("empty line between") << u"a\r\n\r\nb"_qs << u"a\r\n\r\nb"_qs;
    QTest::newRow("ends in a break") << u"a\r\n"_qs << u"a\r\n"_qs;
    QTest::newRow("only breaks") << u"\r\n\r\n\r\n"_qs << u"\r\n\r\n\r\n"_qs;
    QTest::newRow("starts with a break") << u"\r\nx"_qs << u"\r\nx"_qs;
    QTest::newRow("tabs and no-break space")
        << (u"a\tb"_qs + Nbsp + u"c\r\nd"_qs) << (u"a\tb"_qs + Nbsp + u"c\r\nd"_qs);
    QTest::newRow("lone LF becomes CR LF") << u"a\nb"_qs << u"a\r\nb"_qs;
    QTest::newRow("lone CR becomes CR LF") << u"a\rb"_qs << u"a\r\nb"_qs;
    QTest::newRow("line separator becomes CR LF")
        << (u"a"_qs + LineSeparator + u"b"_qs) << u"a\r\nb"_qs;
    QTest::newRow("non-ASCII") << u"Grüße\r\n€ ½"_qs << u"Grüße\r\n€ ½"_qs;
}

void TestRichEdit::textRoundTrip()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);

    m_edit->setText(input);
    QCOMPARE(m_edit->text(), expected);
    QCOMPARE(m_edit->textLength(), expected.size());
    verifyPositionsAgree(*m_edit);
}

void TestRichEdit::positionsOnManyLines()
{
    QRandomGenerator random(20261208);
    QString text;
    for (int line = 0; line < 400; ++line) {
        const int length = random.bounded(0, 12);
        for (int i = 0; i < length; ++i)
            text += QChar(u'a' + random.bounded(26));
        text += u"\r\n"_qs;
    }
    text += u"tail"_qs;
    m_edit->setText(text);
    QCOMPARE(m_edit->text(), text);
    for (int round = 0; round < 300; ++round) {
        int start = random.bounded(text.size() + 1);
        int end = random.bounded(text.size() + 1);
        if (start > end)
            std::swap(start, end);
        if ((start > 0 && text[start - 1] == u'\r') || (end > 0 && text[end - 1] == u'\r'))
            continue;
        m_edit->setSelection(start, end);
        const RichEdit::CharRange range = m_edit->selection();
        QCOMPARE(range.start, start);
        QCOMPARE(range.end, end);
        QCOMPARE(selectedCrlfText(*m_edit), text.mid(start, end - start));
    }
}

void TestRichEdit::selectionRoundTrip_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");

    // In "ab\r\ncd\r\n\r\nef": a=0 b=1 CR=2 LF=3 c=4 d=5 CR=6 LF=7 CR=8 LF=9 e=10 f=11.
    QTest::newRow("inside the first line") << 0 << 2;
    QTest::newRow("caret after the first break") << 4 << 4;
    QTest::newRow("across one break") << 1 << 5;
    QTest::newRow("the break itself") << 2 << 4;
    QTest::newRow("the empty line") << 8 << 10;
    QTest::newRow("last line") << 10 << 12;
    QTest::newRow("across all breaks") << 1 << 11;
    QTest::newRow("everything") << 0 << 12;
}

void TestRichEdit::selectionRoundTrip()
{
    QFETCH(int, start);
    QFETCH(int, end);

    const QString text = u"ab\r\ncd\r\n\r\nef"_qs;
    m_edit->setText(text);
    m_edit->setSelection(start, end);
    const RichEdit::CharRange range = m_edit->selection();
    QCOMPARE(range.start, start);
    QCOMPARE(range.end, end);
    QCOMPARE(range.length(), end - start);
    QCOMPARE(selectedCrlfText(*m_edit), text.mid(start, end - start));
}

void TestRichEdit::setSelectionClamps_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");

    // Text "ab\r\ncd", length 6.
    QTest::newRow("end -1 is the end of the text") << 0 << -1 << 0 << 6;
    QTest::newRow("from a later position to -1") << 4 << -1 << 4 << 6;
    QTest::newRow("negative start") << -5 << 2 << 0 << 2;
    QTest::newRow("end past the text") << 1 << 99 << 1 << 6;
    QTest::newRow("both past the text") << 50 << 99 << 6 << 6;
    QTest::newRow("backwards range reports lower and upper") << 5 << 1 << 1 << 5;
    QTest::newRow("inside a break snaps before it") << 3 << 3 << 2 << 2;
}

void TestRichEdit::setSelectionClamps()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, lower);
    QFETCH(int, upper);

    m_edit->setText(u"ab\r\ncd"_qs);
    m_edit->setSelection(start, end);
    QCOMPARE(m_edit->selection().start, lower);
    QCOMPARE(m_edit->selection().end, upper);
}

void TestRichEdit::setSelectionScrollsCaretIntoView()
{
    QString text;
    for (int i = 0; i < 300; ++i)
        text += u"line %1\r\n"_qs.arg(i);
    text += u"target"_qs;
    showAndActivate();
    m_edit->setText(text);
    QCOMPARE(m_edit->verticalScrollBar()->value(), 0);
    const int at = m_edit->findText(u"target"_qs, 0, -1, {});
    QCOMPARE(at, text.size() - 6);
    m_edit->setSelection(at, at + 6);
    QVERIFY(m_edit->verticalScrollBar()->value() > 0);
    QVERIFY(m_edit->viewport()->rect().contains(m_edit->cursorRect()));
}

void TestRichEdit::selectAllText_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty page") << QString();
    QTest::newRow("several lines") << u"one\r\ntwo\r\n"_qs;
}

void TestRichEdit::selectAllText()
{
    QFETCH(QString, text);
    m_edit->setText(text);
    m_edit->setSelection(1, 1);
    m_edit->selectAllText();
    QCOMPARE(m_edit->selection().start, 0);
    QCOMPARE(m_edit->selection().end, text.size());
}

void TestRichEdit::setTextDropsFormatting()
{
    m_edit->setText(u"start"_qs);
    m_edit->setSelection(5, 5);
    putOnClipboard(u"bold red"_qs,
                   u"<b>bold</b> <span style=\"color:#ff0000; font-size:30pt\">red</span>"_qs);
    m_edit->pasteClipboard();
    QCOMPARE(m_edit->text(), u"startbold red"_qs);
    // The paste did bring formatting; the caret now sits after it.
    QCOMPARE(m_edit->textCursor().charFormat().foreground().color(), QColor(Qt::red));

    m_edit->setText(u"plain\r\ntext"_qs);
    for (QTextBlock block = m_edit->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QVERIFY(!format.hasProperty(QTextFormat::FontWeight));
            QVERIFY(!format.hasProperty(QTextFormat::ForegroundBrush));
            QVERIFY(!format.hasProperty(QTextFormat::FontPointSize));
        }
    }
    // Text typed afterwards starts in the default format too.
    QVERIFY(!m_edit->currentCharFormat().hasProperty(QTextFormat::FontWeight));
    QVERIFY(!m_edit->currentCharFormat().hasProperty(QTextFormat::ForegroundBrush));
}

void TestRichEdit::setTextClearsUndo()
{
    m_edit->setText(u"first page"_qs);
    m_edit->setSelection(10, 10);
    QTest::keyClicks(m_edit, u" typed"_qs);
    QCOMPARE(m_edit->text(), u"first page typed"_qs);
    QVERIFY(m_edit->document()->isUndoAvailable());

    m_edit->setText(u"second page"_qs);
    QVERIFY(!m_edit->document()->isUndoAvailable());
    m_edit->undo();
    QTest::keyClick(m_edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_edit->text(), u"second page"_qs);
}

enum class ClipboardCommand { Cut, Copy, Paste, Clear };

void TestRichEdit::clipboardCommands_data()
{
    QTest::addColumn<ClipboardCommand>("command");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("clipboardBefore");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedClipboard");
    QTest::addColumn<int>("expectedCaret");

    // The page is "one\r\ntwo"; on the clipboard a line break is a plain LF.
    QTest::newRow("copy across the break")
        << ClipboardCommand::Copy << 1 << 7 << u"old"_qs << u"one\r\ntwo"_qs << u"ne\ntw"_qs << 7;
    QTest::newRow("cut across the break")
        << ClipboardCommand::Cut << 1 << 7 << u"old"_qs << u"oo"_qs << u"ne\ntw"_qs << 1;
    QTest::newRow("clear keeps the clipboard")
        << ClipboardCommand::Clear << 1 << 7 << u"keep me"_qs << u"oo"_qs << u"keep me"_qs << 1;
    QTest::newRow("clear with nothing selected")
        << ClipboardCommand::Clear << 2 << 2 << u"keep me"_qs << u"one\r\ntwo"_qs << u"keep me"_qs
        << 2;
    QTest::newRow("paste at a position after the break")
        << ClipboardCommand::Paste << 6 << 6 << u"XY"_qs << u"one\r\ntXYwo"_qs << u"XY"_qs << 8;
    QTest::newRow("paste over a selection")
        << ClipboardCommand::Paste << 1 << 7 << u"XY"_qs << u"oXYo"_qs << u"XY"_qs << 3;
    QTest::newRow("paste of several lines")
        << ClipboardCommand::Paste << 3 << 3 << u"A\nB\n"_qs << u"oneA\r\nB\r\n\r\ntwo"_qs
        << u"A\nB\n"_qs << 9;
}

void TestRichEdit::clipboardCommands()
{
    QFETCH(ClipboardCommand, command);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, clipboardBefore);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedClipboard);
    QFETCH(int, expectedCaret);

    m_edit->setText(u"one\r\ntwo"_qs);
    QVERIFY(!m_edit->clipboardHasText()); // the answer is kept, so each change must reach it
    putOnClipboard(clipboardBefore);
    QVERIFY(m_edit->clipboardHasText());
    m_edit->setSelection(start, end);
    switch (command) {
    case ClipboardCommand::Cut: m_edit->cutSelection(); break;
    case ClipboardCommand::Copy: m_edit->copySelection(); break;
    case ClipboardCommand::Paste: m_edit->pasteClipboard(); break;
    case ClipboardCommand::Clear: m_edit->clearSelection(); break;
    }
    QCOMPARE(m_edit->text(), expectedText);
    QCOMPARE(QGuiApplication::clipboard()->text(), expectedClipboard);
    QCOMPARE(m_edit->selection().end, expectedCaret);
    verifyPositionsAgree(*m_edit);
}

void TestRichEdit::caretRestsWhenIdle_data()
{
    QTest::addColumn<bool>("click"); // woken by a click, else by a key
    QTest::newRow("a key wakes it") << false;
    QTest::newRow("a click wakes it") << true;
}

void TestRichEdit::caretRestsWhenIdle()
{
    QFETCH(bool, click);
    m_edit->setText(u"Milk \r\nBread"_qs);
    showAndActivate();
    m_edit->setFocus();
    CaretRest::setDelay(std::chrono::milliseconds(200)); // not the program's 10 s
    const auto restore = qScopeGuard([] { CaretRest::setDelay(CaretRest::DefaultDelay); });
    QTest::keyClick(m_edit, Qt::Key_End);
    QVERIFY(blinking(*m_edit));
    QTRY_VERIFY(!blinking(*m_edit));
    QVERIFY(caretDrawn(*m_edit));
    if (click)
        QTest::mouseClick(m_edit->viewport(), Qt::LeftButton, {}, m_edit->cursorRect().center());
    else
        QTest::keyClick(m_edit, Qt::Key_Home);
    QVERIFY(blinking(*m_edit));
}

void TestRichEdit::findText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("expected");

    const int none = 0;
    const int word = RichEdit::WholeWord;
    const int match = RichEdit::MatchCase;

    QTest::newRow("plain") << u"the cat sat"_qs << u"cat"_qs << 0 << -1 << none << 4;
    QTest::newRow("no match") << u"the cat sat"_qs << u"dog"_qs << 0 << -1 << none << -1;
    QTest::newRow("inside a word without whole word")
        << u"concatenate"_qs << u"cat"_qs << 0 << -1 << none << 3;
    QTest::newRow("whole word skips the inner match")
        << u"concatenate the cat"_qs << u"cat"_qs << 0 << -1 << word << 16;
    QTest::newRow("whole word not found") << u"concatenate"_qs << u"cat"_qs << 0 << -1 << word << -1;
    QTest::newRow("whole word beside punctuation")
        << u"(cat), dog"_qs << u"cat"_qs << 0 << -1 << word << 1;
    QTest::newRow("a digit joins the word") << u"cat9"_qs << u"cat"_qs << 0 << -1 << word << -1;
    QTest::newRow("whole word at line ends")
        << u"x\r\ncat\r\ny"_qs << u"cat"_qs << 0 << -1 << word << 3;
    QTest::newRow("case folded") << u"ABC abc"_qs << u"abc"_qs << 0 << -1 << none << 0;
    QTest::newRow("match case") << u"ABC abc"_qs << u"abc"_qs << 0 << -1 << match << 4;
    QTest::newRow("match case, none") << u"ABC"_qs << u"abc"_qs << 0 << -1 << match << -1;
    QTest::newRow("case folded beyond ASCII") << u"xÄRGER"_qs << u"ärger"_qs << 0 << -1 << none << 1;
    QTest::newRow("whole word and match case")
        << u"Cat cat"_qs << u"cat"_qs << 0 << -1 << (word | match) << 4;
    QTest::newRow("third line counts both breaks")
        << u"one\r\ntwo\r\nthree"_qs << u"three"_qs << 0 << -1 << none << 10;
    QTest::newRow("match at from is found") << u"abc abc"_qs << u"abc"_qs << 4 << -1 << none << 4;
    QTest::newRow("from skips an earlier match") << u"abc abc"_qs << u"abc"_qs << 1 << -1 << none << 4;
    QTest::newRow("match must end by to") << u"abc abc"_qs << u"abc"_qs << 1 << 6 << none << -1;
    QTest::newRow("match ending at to") << u"abc abc"_qs << u"abc"_qs << 1 << 7 << none << 4;
    QTest::newRow("to before a match") << u"xx abc"_qs << u"abc"_qs << 0 << 3 << none << -1;
    QTest::newRow("no wrap-around") << u"abc def"_qs << u"abc"_qs << 1 << -1 << none << -1;
    QTest::newRow("from at the end") << u"abc"_qs << u"abc"_qs << 3 << -1 << none << -1;
    QTest::newRow("from past the end") << u"abc"_qs << u"abc"_qs << 10 << -1 << none << -1;
    QTest::newRow("negative from") << u"abc"_qs << u"abc"_qs << -4 << -1 << none << 0;
    QTest::newRow("longer than the rest") << u"abc ab"_qs << u"abc"_qs << 4 << -1 << none << -1;
    QTest::newRow("no match across a line break")
        << u"ab\r\ncd"_qs << u"bc"_qs << 0 << -1 << none << -1;
    QTest::newRow("nor with a space for the break")
        << u"ab\r\ncd"_qs << u"b c"_qs << 0 << -1 << none << -1;
    QTest::newRow("a search text holding the break")
        << u"ab\r\ncd"_qs << u"b\r\nc"_qs << 0 << -1 << none << 1;
    QTest::newRow("start inside a line break") << u"a\r\n\r\nb"_qs << u"\r\n"_qs << 2 << -1 << none << 3;
    QTest::newRow("match after many breaks") << u"\r\n\r\n\r\nx\r\nX"_qs << u"x"_qs << 8 << -1 << none << 9;
    QTest::newRow("non-overlapping steps") << u"aaaa"_qs << u"aa"_qs << 2 << -1 << none << 2;
    QTest::newRow("empty search text") << u"abc"_qs << QString() << 0 << -1 << none << -1;
    QTest::newRow("empty page") << QString() << u"a"_qs << 0 << -1 << none << -1;
}

void TestRichEdit::findText()
{
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, flags);
    QFETCH(int, expected);

    m_edit->setText(text);
    const int found = m_edit->findText(what, from, to, RichEdit::FindFlags(flags));
    QCOMPARE(found, expected);
    if (found >= 0) {
        // The position selects the match in the editor, as the Find command does.
        m_edit->setSelection(found, found + int(what.size()));
        QCOMPARE(selectedCrlfText(*m_edit).compare(what, Qt::CaseInsensitive), 0);
    }
}

void TestRichEdit::findSeesEveryEdit()
{
    m_edit->setText(u"one\r\ntwo"_qs);
    QCOMPARE(m_edit->findText(u"three"_qs, 0, -1, {}), -1);
    QTextCursor cursor = m_edit->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(u"\nthree"_qs);
    QCOMPARE(m_edit->findText(u"three"_qs, 0, -1, {}), 10);
    m_edit->undo();
    QCOMPARE(m_edit->findText(u"three"_qs, 0, -1, {}), -1);
    m_edit->setText(u"three"_qs);
    QCOMPARE(m_edit->findText(u"three"_qs, 0, -1, {}), 0);
}

enum class Editing { Return, ShiftReturn, ShiftEnter, PasteHtml, InputMethod };

void TestRichEdit::lineBreaksFromEditing_data()
{
    QTest::addColumn<Editing>("editing");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Return") << Editing::Return << QString() << u"ab\r\ncd"_qs;
    QTest::newRow("Shift+Return") << Editing::ShiftReturn << QString() << u"ab\r\ncd"_qs;
    QTest::newRow("Shift+Enter on the keypad") << Editing::ShiftEnter << QString() << u"ab\r\ncd"_qs;
    QTest::newRow("pasted br") << Editing::PasteHtml << u"x<br>y"_qs << u"abx\r\nycd"_qs;
    QTest::newRow("pasted br pair") << Editing::PasteHtml << u"x<br><br>y"_qs
                                    << u"abx\r\n\r\nycd"_qs;
    QTest::newRow("pasted br at the end") << Editing::PasteHtml << u"<b>x</b><br>"_qs
                                          << u"abx\r\ncd"_qs;
    QTest::newRow("input method line separator")
        << Editing::InputMethod << (u"x"_qs + LineSeparator + u"y"_qs) << u"abx\r\nycd"_qs;
}

void TestRichEdit::lineBreaksFromEditing()
{
    QFETCH(Editing, editing);
    QFETCH(QString, payload);
    QFETCH(QString, expected);

    m_edit->setText(u"abcd"_qs);
    m_edit->setSelection(2, 2);
    switch (editing) {
    case Editing::Return: QTest::keyClick(m_edit, Qt::Key_Return); break;
    case Editing::ShiftReturn: QTest::keyClick(m_edit, Qt::Key_Return, Qt::ShiftModifier); break;
    case Editing::ShiftEnter:
        QTest::keyClick(m_edit, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
        break;
    case Editing::PasteHtml:
        putOnClipboard(QString(), payload);
        m_edit->pasteClipboard();
        break;
    case Editing::InputMethod: {
        QInputMethodEvent event;
        event.setCommitString(payload);
        QApplication::sendEvent(m_edit, &event);
        break;
    }
    }
    QCOMPARE(m_edit->text(), expected);
    QVERIFY(!m_edit->document()->toRawText().contains(QChar::LineSeparator));
    verifyPositionsAgree(*m_edit);
}

void TestRichEdit::pastedLineBreaksUndoInOneStep()
{
    m_edit->setText(u"abcd"_qs);
    m_edit->setSelection(1, 3);
    putOnClipboard(QString(), u"x<br>y<br>z"_qs);
    m_edit->pasteClipboard();
    QCOMPARE(m_edit->text(), u"ax\r\ny\r\nzd"_qs);
    m_edit->undo();
    QCOMPARE(m_edit->text(), u"abcd"_qs);
}

void TestRichEdit::pastedTableKeepsPositions()
{
    m_edit->setText(u"before\r\nafter"_qs);
    m_edit->setSelection(6, 6);
    putOnClipboard(QString(),
                   u"<table><tr><td>one</td><td>two</td></tr><tr><td>3</td><td>4</td></tr>"
                   "</table>"_qs);
    m_edit->pasteClipboard();
    const QString text = m_edit->text();
    QVERIFY2(text.contains(u"one"_qs) && text.contains(u"two"_qs), qPrintable(text));
    QVERIFY(text.startsWith(u"before"_qs));
    QVERIFY(text.endsWith(u"\r\nafter"_qs));
    verifyPositionsAgree(*m_edit);
}

void TestRichEdit::selectionHiddenWithoutFocus()
{
    QFont font(u"DejaVu Sans"_qs, 24);
    m_edit->setDefaultFont(font, QColor(Qt::black));
    m_edit->setBackgroundColour(QColor(Qt::yellow));
    showAndActivate();
    m_edit->setText(u"a            b"_qs);
    m_edit->setFocus();
    QTRY_VERIFY(m_edit->hasFocus());

    const QColor highlight = m_edit->palette().color(QPalette::Active, QPalette::Highlight);
    QVERIFY(highlight.rgb() != QColor(Qt::yellow).rgb());
    m_edit->setSelection(2, 12);
    const QRect band = selectionBand(*m_edit, 2, 12);
    QVERIFY(band.width() > 4 && band.height() > 4);
    QCOMPARE(m_edit->viewport()->grab().toImage().pixelColor(band.center()).rgb(), highlight.rgb());

    m_other->setFocus();
    QTRY_VERIFY(!m_edit->hasFocus());
    QCOMPARE(m_edit->selection().start, 2); // still selected, only not drawn
    const QImage selectedUnfocused = m_edit->viewport()->grab().toImage();
    QCOMPARE(selectedUnfocused.pixelColor(band.center()).rgb(), QColor(Qt::yellow).rgb());
    m_edit->setSelection(12, 12);
    QCOMPARE(m_edit->viewport()->grab().toImage(), selectedUnfocused);

    m_edit->setSelection(2, 12);
    m_edit->setFocus();
    QTRY_VERIFY(m_edit->hasFocus());
    QCOMPARE(m_edit->viewport()->grab().toImage().pixelColor(band.center()).rgb(), highlight.rgb());
}

void TestRichEdit::selectionShownWhileMenuOpen()
{
    m_edit->setDefaultFont(QFont(u"DejaVu Sans"_qs, 24), QColor(Qt::black));
    m_edit->setBackgroundColour(QColor(Qt::yellow));
    showAndActivate();
    m_edit->setText(u"a            b"_qs);
    m_edit->setFocus();
    QTRY_VERIFY(m_edit->hasFocus());
    m_edit->setSelection(2, 12);
    const QRect band = selectionBand(*m_edit, 2, 12);
    const QColor highlight = m_edit->palette().color(QPalette::Active, QPalette::Highlight);

    QMenu menu(m_window.get());
    menu.addAction(u"Cut"_qs);
    menu.popup(m_window->mapToGlobal(QPoint(0, m_window->height())));
    QTRY_VERIFY(menu.isVisible());
    QTRY_COMPARE(QApplication::activePopupWidget(), &menu);
    QCOMPARE(m_edit->viewport()->grab().toImage().pixelColor(band.center()).rgb(), highlight.rgb());
    menu.close();
    QTRY_VERIFY(m_edit->hasFocus());
    QCOMPARE(m_edit->viewport()->grab().toImage().pixelColor(band.center()).rgb(), highlight.rgb());
    QCOMPARE(m_edit->selection().end, 12);
}

void TestRichEdit::backgroundColour()
{
    showAndActivate();
    const QColor colour(10, 200, 120);
    m_edit->setBackgroundColour(colour);
    const QImage image = m_edit->viewport()->grab().toImage();
    QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3).rgb(), colour.rgb());
}

void TestRichEdit::defaultFontWithColour()
{
    showAndActivate();
    const QFont font(u"DejaVu Serif"_qs, 30, QFont::Bold);
    const QColor red(220, 0, 0);
    m_edit->setText(u"MMM"_qs);
    m_edit->setDefaultFont(font, red);
    QCOMPARE(m_edit->document()->defaultFont().family(), font.family());
    QCOMPARE(m_edit->document()->defaultFont().pointSize(), 30);
    QCOMPARE(m_edit->document()->defaultFont().bold(), true);
    QVERIFY(imageHolds(m_edit->viewport()->grab().toImage(), red));

    // New text takes the same font.
    m_edit->setText(QString());
    QTest::keyClicks(m_edit, u"MMM"_qs);
    QVERIFY(imageHolds(m_edit->viewport()->grab().toImage(), red));
    QCOMPARE(QFontInfo(m_edit->currentFont()).pointSize(), 30);
}

void TestRichEdit::automaticColourFollowsPalette()
{
    showAndActivate();
    m_edit->setText(u"MMM"_qs);
    m_edit->setDefaultFont(QFont(u"DejaVu Sans"_qs, 30, QFont::Bold), QColor(Qt::blue));
    m_edit->setDefaultFont(QFont(u"DejaVu Sans"_qs, 30, QFont::Bold), std::nullopt);

    // Dark enough to be read on the white page, so it is taken as it is.
    const QColor green(0, 110, 0);
    QPalette windowPalette = m_window->palette();
    windowPalette.setColor(QPalette::Text, green);
    m_window->setPalette(windowPalette);
    QCOMPARE(m_edit->palette().color(QPalette::Text).rgb(), green.rgb());
    const QImage image = m_edit->viewport()->grab().toImage();
    QVERIFY(imageHolds(image, green));
    QVERIFY(!imageHolds(image, QColor(Qt::blue)));
}

void TestRichEdit::defaultFontReplacesPastedFormatting()
{
    showAndActivate();
    m_edit->setText(u"plain "_qs);
    m_edit->setSelection(6, 6);
    const QColor blue(0, 0, 255);
    putOnClipboard(u"BIG"_qs, u"<span style=\"color:#0000ff; font-size:40pt; font-family:'DejaVu "
                              "Serif'\"><i>BIG</i></span>"_qs);
    m_edit->pasteClipboard();
    QVERIFY(imageHolds(m_edit->viewport()->grab().toImage(), blue));

    const QColor red(220, 0, 0);
    m_edit->setDefaultFont(QFont(u"DejaVu Sans"_qs, 30, QFont::Bold), red);
    const QImage image = m_edit->viewport()->grab().toImage();
    QVERIFY(!imageHolds(image, blue));
    QVERIFY(imageHolds(image, red));
    for (int p = 0; p < m_edit->textLength(); ++p) {
        QTextCursor cursor(m_edit->document());
        cursor.setPosition(p + 1);
        const QFont shown = cursor.charFormat().font().resolve(m_edit->document()->defaultFont());
        QCOMPARE(shown.pointSize(), 30);
        QCOMPARE(shown.italic(), false);
        QCOMPARE(shown.family(), u"DejaVu Sans"_qs);
    }
    QCOMPARE(m_edit->text(), u"plain BIG"_qs);
}

void TestRichEdit::automaticColourStaysReadable_data()
{
    QTest::addColumn<QColor>("themeText");
    QTest::addColumn<QColor>("themeBase");
    QTest::addColumn<QColor>("page");
    QTest::addColumn<QColor>("chosen"); // invalid: the automatic colour
    QTest::addColumn<QColor>("expected");
    const QColor yellow(255, 255, 0), nearWhite(0xee, 0xee, 0xee), dark(0x20, 0x20, 0x20), grey(0x1a, 0x1a, 0x1a);
    QTest::newRow("dark theme, yellow page") << nearWhite << dark << yellow << QColor() << QColor(Qt::black);
    QTest::newRow("dark theme, grey page") << QColor(0x90, 0x90, 0x90) << dark << QColor(0x40, 0x40, 0x40)
                                           << QColor() << QColor(Qt::white);
    QTest::newRow("dark theme, dark page") << nearWhite << dark << QColor(0, 0, 0x60) << QColor() << nearWhite;
    QTest::newRow("light theme, yellow page") << grey << QColor(Qt::white) << yellow << QColor() << grey;
    const QColor pale(0xff, 0xff, 0xaa);
    QTest::newRow("chosen pale colour, dark theme") << nearWhite << dark << yellow << pale << pale;
}

void TestRichEdit::automaticColourStaysReadable()
{
    QFETCH(QColor, themeText);
    QFETCH(QColor, themeBase);
    QFETCH(QColor, page);
    QFETCH(QColor, chosen);
    QFETCH(QColor, expected);
    const QPalette before = QApplication::palette();
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    QPalette theme = before;
    theme.setColor(QPalette::Text, themeText);
    theme.setColor(QPalette::WindowText, themeText);
    theme.setColor(QPalette::Base, themeBase);
    theme.setColor(QPalette::Window, themeBase);

    showAndActivate();
    m_edit->setBackgroundColour(page);
    m_edit->setText(u"\u2588\u2588\u2588\u2588"_qs);
    m_edit->setDefaultFont(QFont(u"DejaVu Sans"_qs, 30), chosen.isValid() ? std::optional(chosen) : std::nullopt);
    // The theme changes while the program runs, as a desktop switch does.
    QApplication::setPalette(theme);
    const auto drawn = [&] { return drawnTextColour(m_edit->viewport()->grab().toImage(), page); };
    QTRY_COMPARE(drawn().name(), expected.name());
    if (!chosen.isValid())
        QVERIFY(contrast(drawn(), page) >= 4.5);
}

void TestRichEdit::bigPasteKeepsTextWithBusyPointer_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<bool>("busy");
    QTest::newRow("small") << u"one\ntwo"_qs << false;
    QString big;
    for (int line = 0; big.size() < BusyCursor::Threshold + 1000; ++line)
        big += QString(line % 70, QChar(u'a' + line % 26)) + u'\n';
    QTest::newRow("big") << big << true;
}

void TestRichEdit::bigPasteKeepsTextWithBusyPointer()
{
    QFETCH(QString, pasted);
    QFETCH(bool, busy);
    showAndActivate();
    m_edit->setText(u"before after"_qs);
    m_edit->setSelection(7, 7);
    putOnClipboard(pasted);
    QList<bool> busyAtChange; // whether the busy pointer showed at each change of the document
    connect(m_edit->document(), &QTextDocument::contentsChange, m_edit, [&busyAtChange] {
        const QCursor *cursor = QGuiApplication::overrideCursor();
        busyAtChange.append(cursor && cursor->shape() == Qt::WaitCursor);
    });
    m_edit->pasteClipboard();
    QVERIFY(!busyAtChange.isEmpty());
    QCOMPARE(busyAtChange.contains(true), busy);
    QVERIFY(!QGuiApplication::overrideCursor());

    const QString whole = u"before "_qs + QString(pasted).replace(u'\n', u"\r\n"_qs) + u"after"_qs;
    QCOMPARE(m_edit->text(), whole);
    QCOMPARE(m_edit->textLength(), whole.size());
    QCOMPARE(m_edit->selection().start, int(whole.size()) - 5);
    QCOMPARE(m_edit->selection().end, int(whole.size()) - 5);
    // One undo takes the whole paste back.
    m_edit->undo();
    QCOMPARE(m_edit->text(), u"before after"_qs);
}

QTEST_MAIN(TestRichEdit)
#include "tst_richedit.moc"
