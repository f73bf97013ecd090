#pragma once

#include <QColor>
#include <QTextEdit>

#include <optional>

class QFont;
class QIODevice;
class QTimer;

// The editor behind Memo. Every position and length it speaks in counts a
// line break as two characters (CR LF), as the stored page texts do.
class RichEdit : public QTextEdit
{
    Q_OBJECT

public:
    struct CharRange
    {
        int start = 0; // lower position
        int end = 0;   // upper position
        int length() const { return end - start; }
    };

    enum FindFlag {
        WholeWord = 2,
        MatchCase = 4,
    };
    Q_DECLARE_FLAGS(FindFlags, FindFlag)

    explicit RichEdit(QWidget *parent = nullptr);

    // Whole text with CR LF line breaks, and its length in those terms.
    QString text() const;
    int textLength() const;
    // Replaces everything in the default format; formatting and undo history are dropped.
    void setText(const QString &text);

    CharRange selection() const;
    // Selects [start, end) and scrolls the caret into view; -1 as end means the end of the text.
    void setSelection(int start, int end);
    void selectAllText();

    void cutSelection();
    void copySelection();
    void pasteClipboard();
    // Whether the clipboard holds plain text. Asking is a round trip to the display
    // server, which an idle window's refresh should not make every second: the answer
    // is kept until the clipboard changes.
    bool clipboardHasText() const;
    void clearSelection(); // deletes the selection, clipboard untouched

    // First match of what in [from, to) searching forward, or -1; to == -1 means the end.
    // The matching rules are TextSearch's.
    int findText(const QString &what, int from, int to, FindFlags flags) const;

    void setBackgroundColour(const QColor &colour);
    // The default character format for the whole text; no colour means the automatic
    // window-text colour, which gives way to black or white where it could hardly be
    // read on the background.
    void setDefaultFont(const QFont &font, const std::optional<QColor> &colour);
    // The text colour the font asked for; empty for the automatic colour, whatever the
    // palette shows to keep it readable on the background.
    std::optional<QColor> textColour() const { return m_textColour; }

    // The format streamOut() writes: the whole text (true) or Rich Text (false).
    bool PlainText = false;
    // Writes the whole content to the device: as text exactly as text() gives it, in
    // UTF-8, or as an RTF document with every run's formatting. False when the device
    // took fewer bytes than it was handed.
    bool streamOut(QIODevice *device) const;

    // Conversions between CR LF positions and QTextDocument positions, for code that
    // works on document() directly (printing, RTF). Out-of-range input is clamped; a
    // CR LF position inside a line break maps to the end of the line before it.
    int toDocumentPosition(int crlfPosition) const;
    int toCrlfPosition(int documentPosition) const;

signals:
    // The text changed, undo and redo included, other than by setText().
    void textEdited();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void applyPalette();
    void stripCharacterFonts();
    void splitLineSeparators(int from, int to);
    void revealCaretWhenLaidOut();

    // The document's raw text, kept from one search to the next while the document does
    // not change: Find again on a big page rescans it rather than copying it out again.
    mutable QString m_searchText;
    mutable bool m_searchTextCurrent = false;

    mutable std::optional<bool> m_clipboardHasText;
    QColor m_background;
    std::optional<QColor> m_textColour;
    bool m_applyingPalette = false;
    QTimer *m_revealTimer = nullptr;
    int m_revealPosition = -1;
    QObject *m_textControl = nullptr;
    bool m_settingText = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(RichEdit::FindFlags)
