// Find and Find again in the page on show.

#include "app/Main.h"
#include "app/MainTexts.h"

#include "dialogs/TFindDlg.h"
#include "editor/RichEdit.h"
#include "widgets/MessageBox.h"

#include <QDialog>

void TMainForm::SearchFindMenuItemClick()
{
    if (!FindDlg || FindDlg->exec() != QDialog::Accepted)
        return;
    SearchActive = true;
    SearchOptions = 0;
    if (FindDlg->matchCase())
        SearchOptions |= SearchMatchCase;
    if (FindDlg->wholeWord())
        SearchOptions |= SearchWholeWord;
    SearchText = FindDlg->findText();
    // A new Find starts at the start of the selection, so a selected match is found again.
    const RichEdit::CharRange selection = Memo->selection();
    Memo->setSelection(selection.start, selection.start);
    FindNext();
}

void TMainForm::SearchFindagainMenuItemClick()
{
    FindNext();
}

void TMainForm::FindNext()
{
    const RichEdit::CharRange selection = Memo->selection();
    const int start = selection.start + selection.length();
    const int total = Memo->textLength();
    RichEdit::FindFlags flags;
    if (SearchOptions & SearchWholeWord)
        flags |= RichEdit::WholeWord;
    if (SearchOptions & SearchMatchCase)
        flags |= RichEdit::MatchCase;
    const int found = Memo->findText(SearchText, start, start + (total - start), flags);
    if (found < 0) {
        MessageBox::Request request;
        request.parent = this;
        request.text = QString::fromLatin1(MainTexts::NotFound);
        request.caption = QString::fromLatin1(MainTexts::ApplicationTitle);
        request.style = MessageBox::Style::Plain;
        MessageBox::show(request);
        return;
    }
    Memo->setFocus();
    // Anchored at the match's start, so the caret ends up at its end.
    Memo->setSelection(found, found + int(SearchText.size()));
}
