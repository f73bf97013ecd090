#include "editor/RichEdit.h"

#include "core/CrlfPositions.h"
#include "core/TextSearch.h"
#include "editor/CaretRest.h"
#include "widgets/BusyCursor.h"
#include "widgets/FontColour.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QFont>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QList>
#include <QMimeData>
#include <QPalette>
#include <QScopedValueRollback>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// Character properties that make up the editor font: face, size, styles, pitch, colour.
constexpr QTextFormat::Property FontProperties[] = {
    QTextFormat::FontFamilies,    QTextFormat::FontStyleName, QTextFormat::FontPointSize,
    QTextFormat::FontPixelSize,   QTextFormat::FontSizeAdjustment, QTextFormat::FontWeight,
    QTextFormat::FontItalic,      QTextFormat::FontUnderline, QTextFormat::TextUnderlineStyle,
    QTextFormat::FontStrikeOut,   QTextFormat::FontFixedPitch, QTextFormat::FontStyleHint,
    QTextFormat::ForegroundBrush,
};

bool stripFont(QTextCharFormat &format)
{
    bool changed = false;
    for (const QTextFormat::Property property : FontProperties) {
        if (format.hasProperty(property)) {
            format.clearProperty(property);
            changed = true;
        }
    }
    return changed;
}

// A paste this long is laid out lazily, as setText() is, rather than all at once.
constexpr qsizetype LazyLayoutPaste = 64 * 1024;
// How often to look whether the lazy layout has reached the caret.
constexpr int RevealInterval = 20;

// Text needs at least this contrast with its background to be read by most people.
constexpr double MinimumContrast = 4.5;

} // namespace

RichEdit::RichEdit(QWidget *parent)
    : QTextEdit(parent)
{
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAcceptRichText(true);
    applyPalette();
    CaretRest::instance();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { m_clipboardHasText.reset(); });
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (m_searchTextCurrent) {
            m_searchText = QString();
            m_searchTextCurrent = false;
        }
        if (!m_settingText)
            emit textEdited();
    });
}

// Uses the raw text rather than toPlainText(), which turns no-break spaces into plain
// ones: a page keeps its no-break spaces through being shown. Lengths agree either way.
QString RichEdit::text() const
{
    const BusyCursor busy(document()->characterCount());
    return CrlfPositions::textFromRaw(document()->toRawText());
}

int RichEdit::textLength() const
{
    const QTextDocument *doc = document();
    // characterCount() includes the terminator of the last block.
    return doc->characterCount() - 1 + doc->blockCount() - 1;
}

void RichEdit::setText(const QString &text)
{
    const BusyCursor busy(text.size());
    QString content = text;
    if (content.contains(QChar::LineSeparator))
        content.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
    // setPlainText() formats the new text like the character at the caret; start
    // from an empty document whose insertion format is the default one.
    const QScopedValueRollback settingText(m_settingText, true);
    clear();
    setCurrentCharFormat(QTextCharFormat());
    setPlainText(content); // also drops the undo history
}

int RichEdit::toCrlfPosition(int documentPosition) const
{
    const QTextDocument *doc = document();
    const int position = std::clamp(documentPosition, 0, doc->characterCount() - 1);
    return CrlfPositions::fromDocument(position, doc->findBlock(position).blockNumber());
}

int RichEdit::toDocumentPosition(int crlfPosition) const
{
    const QTextDocument *doc = document();
    return CrlfPositions::toDocument(
        crlfPosition, doc->blockCount(),
        [doc](int n) { return doc->findBlockByNumber(n).position(); },
        doc->characterCount() - 1);
}

RichEdit::CharRange RichEdit::selection() const
{
    const QTextCursor cursor = textCursor();
    return {toCrlfPosition(cursor.selectionStart()), toCrlfPosition(cursor.selectionEnd())};
}

void RichEdit::setSelection(int start, int end)
{
    const int length = textLength();
    const int anchor = toDocumentPosition(std::clamp(start, 0, length));
    const int position = toDocumentPosition(end < 0 ? length : std::min(end, length));
    QTextCursor cursor = textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void RichEdit::selectAllText()
{
    selectAll();
}

void RichEdit::cutSelection()
{
    cut();
}

void RichEdit::copySelection()
{
    copy();
}

void RichEdit::pasteClipboard()
{
    paste();
}

bool RichEdit::clipboardHasText() const
{
    if (!m_clipboardHasText) {
        const QMimeData *offered = QGuiApplication::clipboard()->mimeData();
        m_clipboardHasText = offered && offered->hasText();
    }
    return *m_clipboardHasText;
}

void RichEdit::clearSelection()
{
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return;
    cursor.removeSelectedText();
    setTextCursor(cursor);
    ensureCursorVisible();
}

// Searches the document's own text, where a line break is one character, and maps
// the positions; a search text's CR LF pairs stand for those breaks.
int RichEdit::findText(const QString &what, int from, int to, FindFlags flags) const
{
    const QTextDocument *doc = document();
    const int documentLength = doc->characterCount() - 1;
    if (!m_searchTextCurrent || m_searchText.size() != documentLength) {
        m_searchText = doc->toRawText();
        m_searchTextCurrent = true;
    }
    QString needle = what;
    needle.replace(QStringLiteral("\r\n"), QString(QChar::ParagraphSeparator));
    const int length = textLength();
    const int start = std::clamp(from, 0, length);
    const int limit = to < 0 ? length : std::clamp(to, 0, length);
    if (what.isEmpty() || limit - start < what.size())
        return -1;
    // A start inside a line break maps to the break itself; a match there starts too early.
    for (int at = toDocumentPosition(start);;) {
        const int found = TextSearch::find(m_searchText, needle, at, documentLength,
                                           flags.testFlag(WholeWord), flags.testFlag(MatchCase));
        if (found < 0)
            return -1;
        const int position = toCrlfPosition(found);
        if (position + int(what.size()) > limit)
            return -1;
        if (position >= start)
            return position;
        at = found + 1;
    }
}

void RichEdit::setBackgroundColour(const QColor &colour)
{
    m_background = colour;
    applyPalette();
}

void RichEdit::setDefaultFont(const QFont &font, const std::optional<QColor> &colour)
{
    m_textColour = colour;
    applyPalette();
    // The document's default font follows the widget font; characters carry no font
    // of their own unless pasted rich text brought one.
    setFont(font);
    stripCharacterFonts();
    QTextCharFormat insertion = currentCharFormat();
    if (stripFont(insertion))
        setCurrentCharFormat(insertion);
}

// Only the roles set here are fixed; the others, the text colour among them when it
// is automatic, keep following the parent's and the application's palette.
void RichEdit::applyPalette()
{
    if (m_applyingPalette)
        return;
    m_applyingPalette = true;
    QPalette palette;
    if (m_background.isValid())
        palette.setColor(QPalette::Base, m_background);
    if (m_textColour) {
        palette.setColor(QPalette::Text, *m_textColour);
    } else {
        // A dark theme's window-text colour on the yellow page could hardly be read.
        const QPalette theme = parentWidget() ? parentWidget()->palette() : QApplication::palette(this);
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            const QColor background = m_background.isValid() ? m_background : theme.color(group, QPalette::Base);
            const QColor text = theme.color(group, QPalette::Text);
            if (contrastRatio(text, background) >= MinimumContrast)
                continue;
            const QColor black(Qt::black);
            const QColor white(Qt::white);
            palette.setColor(group, QPalette::Text,
                             contrastRatio(black, background) >= contrastRatio(white, background) ? black : white);
        }
    }
    // Without the focus the selection is not drawn: an empty highlight paints no
    // background and leaves the text in its own colours.
    palette.setBrush(QPalette::Inactive, QPalette::Highlight, QBrush());
    palette.setBrush(QPalette::Inactive, QPalette::HighlightedText, QBrush());
    setPalette(palette);
    m_applyingPalette = false;
}

bool RichEdit::event(QEvent *event)
{
    const bool result = QTextEdit::event(event);
    switch (event->type()) {
    case QEvent::ApplicationPaletteChange:
        // The parent may take the new theme only after this widget has heard of it.
        QMetaObject::invokeMethod(this, [this] { if (!m_textColour) applyPalette(); }, Qt::QueuedConnection);
        [[fallthrough]];
    case QEvent::PaletteChange:
    case QEvent::ParentChange:
        // The theme's colours may have changed; check the automatic text colour again.
        if (!m_textColour)
            applyPalette();
        break;
    default:
        break;
    }
    return result;
}

void RichEdit::stripCharacterFonts()
{
    // Most pages hold only formats without fonts (setText() leaves none); then there
    // is nothing to strip, and no need to walk every block of a big page.
    const QList<QTextFormat> formats = document()->allFormats();
    const bool anyFont = std::any_of(formats.cbegin(), formats.cend(), [](const QTextFormat &format) {
        if (!format.isCharFormat())
            return false;
        QTextCharFormat charFormat = format.toCharFormat();
        return stripFont(charFormat);
    });
    if (!anyFont)
        return;
    struct Change
    {
        int position;
        int length;
        QTextCharFormat format;
    };
    QList<Change> fragments;
    QList<std::pair<int, QTextCharFormat>> blocks;
    QTextDocument *doc = document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        QTextCharFormat blockFormat = block.charFormat();
        if (stripFont(blockFormat))
            blocks.append({block.position(), blockFormat});
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            if (stripFont(format))
                fragments.append({fragment.position(), fragment.length(), format});
        }
    }
    if (fragments.isEmpty() && blocks.isEmpty())
        return;
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (const auto &[position, format] : std::as_const(blocks)) {
        cursor.setPosition(position);
        cursor.setBlockCharFormat(format);
    }
    for (const Change &change : std::as_const(fragments)) {
        cursor.setPosition(change.position);
        cursor.setPosition(change.position + change.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(change.format);
    }
    cursor.endEditBlock();
}

// A line separator would be a line break inside a block, which the position
// arithmetic does not count; every line break is made a block break instead.
void RichEdit::splitLineSeparators(int from, int to)
{
    QTextDocument *doc = document();
    QList<int> separators;
    for (QTextBlock block = doc->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        const QString blockText = block.text();
        const int base = block.position();
        for (qsizetype i = blockText.indexOf(QChar::LineSeparator); i >= 0;
             i = blockText.indexOf(QChar::LineSeparator, i + 1)) {
            const int position = base + int(i);
            if (position >= from && position < to)
                separators.append(position);
        }
    }
    if (separators.isEmpty())
        return;
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    // Back to front, although one character replaces one and positions hold anyway.
    for (auto it = separators.crbegin(); it != separators.crend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + 1, QTextCursor::KeepAnchor);
        cursor.insertText(QString(QChar::ParagraphSeparator));
    }
    cursor.endEditBlock();
}

void RichEdit::focusOutEvent(QFocusEvent *event)
{
    // A menu holds the keyboard only while it is open; the selection stays on show,
    // since it is what the Edit commands in that menu act on.
    if (event->reason() == Qt::PopupFocusReason) {
        event->accept();
        return;
    }
    QTextEdit::focusOutEvent(event);
}

void RichEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::InsertLineSeparator)) {
        QKeyEvent paragraph(event->type(), event->key(), event->modifiers() & ~Qt::ShiftModifier,
                            event->text(), event->isAutoRepeat(), ushort(event->count()));
        QTextEdit::keyPressEvent(&paragraph);
        event->setAccepted(paragraph.isAccepted());
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void RichEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().contains(QChar::LineSeparator)) {
        QTextEdit::inputMethodEvent(event);
        return;
    }
    QString commit = event->commitString();
    commit.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
    QInputMethodEvent split(event->preeditString(), event->attributes());
    split.setCommitString(commit, event->replacementStart(), event->replacementLength());
    QTextEdit::inputMethodEvent(&split);
    event->setAccepted(split.isAccepted());
}

void RichEdit::insertFromMimeData(const QMimeData *source)
{
    // Plain text goes in as the editor's own insertText() would take it through a
    // fragment, without the copy of a whole second document.
    const bool plain = source->hasText() && !(acceptRichText() && (source->hasHtml()
        || source->hasFormat(QStringLiteral("text/markdown"))
        || source->hasFormat(QStringLiteral("application/x-qrichtext"))));
    const QString plainText = plain ? source->text() : QString();
    const qsizetype size = plain ? plainText.size() : source->hasText() ? source->text().size() : 0;
    const BusyCursor busy(size);
    // Laid out as the text went in, a big paste takes many times what setText() does:
    // the document is taken off the page while it changes, and laid out lazily after.
    QTextDocument *doc = document();
    const QSizeF pageSize = doc->pageSize();
    const bool lazy = size >= LazyLayoutPaste && !pageSize.isNull();
    // A null page (0 x 0) is one the document layout does not lay out at all.
    if (lazy)
        doc->setPageSize(QSizeF(0, 0));

    // One edit block, so that a single undo takes back the paste with its line breaks.
    QTextCursor edit = textCursor();
    const int from = edit.selectionStart();
    edit.beginEditBlock();
    if (plain) {
        QTextCursor cursor = textCursor();
        cursor.insertText(plainText);
        setTextCursor(cursor);
        if (!lazy)
            ensureCursorVisible();
    } else {
        QTextEdit::insertFromMimeData(source);
    }
    if (!plain || plainText.contains(QChar::LineSeparator))
        splitLineSeparators(from, textCursor().position());
    edit.endEditBlock();

    if (lazy) {
        doc->setPageSize(pageSize);
        revealCaretWhenLaidOut();
    }
}

// Scrolling to a caret far down would lay out everything above it at once; wait
// until the lazy layout has got there, unless the user has moved on meanwhile.
void RichEdit::revealCaretWhenLaidOut()
{
    if (!m_revealTimer) {
        m_revealTimer = new QTimer(this);
        m_revealTimer->setInterval(RevealInterval);
        connect(m_revealTimer, &QTimer::timeout, this, [this] {
            const QTextCursor cursor = textCursor();
            if (cursor.position() != m_revealPosition) {
                m_revealTimer->stop();
                return;
            }
            const QTextLayout *layout = cursor.block().layout();
            if (layout && layout->lineCount() > 0) {
                m_revealTimer->stop();
                ensureCursorVisible();
            }
        });
    }
    // The caret's blinking asks for its rectangle, which would lay out everything above
    // it at once; it rests until the layout has got there.
    if (!m_textControl) {
        for (QObject *child : children()) {
            if (qstrcmp(child->metaObject()->className(), "QWidgetTextControl") == 0) {
                m_textControl = child;
                child->installEventFilter(this);
                break;
            }
        }
    }
    m_revealPosition = textCursor().position();
    m_revealTimer->start();
}

bool RichEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_textControl && event->type() == QEvent::Timer && m_revealTimer
        && m_revealTimer->isActive())
        return true;
    return QTextEdit::eventFilter(watched, event);
}
