// Commands on the text of the page on show.

#include "app/Main.h"

#include "editor/RichEdit.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

bool TMainForm::clipboardHasText() const
{
    const QMimeData *offered = QGuiApplication::clipboard()->mimeData();
    return offered && offered->hasText();
}

void TMainForm::EditCutMenuItemClick()
{
    if (Memo->selection().length() > 0)
        Memo->cutSelection();
}

void TMainForm::EditCopyMenuItemClick()
{
    if (Memo->selection().length() > 0)
        Memo->copySelection();
}

void TMainForm::EditPasteMenuItemClick()
{
    if (clipboardHasText())
        Memo->pasteClipboard();
}

void TMainForm::EditDeleteMenuItemClick()
{
    if (Memo->selection().length() > 0)
        Memo->clearSelection();
}

void TMainForm::EditSelectAllMenuItemClick()
{
    Memo->selectAllText();
}
