// The pages of the pad: switching, adding and removing them, and the note file.

#include "app/Main.h"

#include "app/MainTexts.h"
#include "dialogs/TNewMemoDlg.h"
#include "editor/RichEdit.h"
#include "core/Exceptions.h"
#include "widgets/MessageBox.h"
#include "widgets/TabStrip.h"

#include <QTextDocument>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

using namespace MainTexts;

int TMainForm::pageCount() const
{
    return m_pages.count();
}

NotePages TMainForm::pages() const
{
    NotePages result = m_pages.pages();
    const int current = TabControl->currentIndex();
    if (current >= 0 && current < result.size() && Memo->document()->isModified()) {
        result[current].text = editorText();
        result[current].storedText = QByteArray();
    }
    return result;
}

QString TMainForm::editorText() const
{
    return Memo->text();
}

// Showing a page is no change to it: the text it was put into the editor with, and the
// bytes it was read with, stay until the user edits it.
void TMainForm::keepEditorText()
{
    const int current = TabControl->currentIndex();
    if (current < 0 || current >= m_pages.count() || !Memo->document()->isModified())
        return;
    m_pages.setText(current, editorText());
    Memo->document()->setModified(false);
}

void TMainForm::putPageInEditor(int index)
{
    Memo->setText(m_pages.text(index));
    Memo->document()->setModified(false);
    nameEditor();
}

void TMainForm::TabControlChanging(bool *allowChange)
{
    // A text that could not be kept must not be replaced by the next page's.
    *allowChange = false;
    keepEditorText();
    *allowChange = true;
}

void TMainForm::TabControlChange()
{
    putPageInEditor(TabControl->currentIndex());
}

void TMainForm::showPage(int index)
{
    TabControl->setCurrentIndex(index);
    putPageInEditor(index);
}

// A screen reader names the editor after the page on show.
void TMainForm::nameEditor()
{
    Memo->setAccessibleName(m_pages.name(TabControl->currentIndex()));
}

void TMainForm::bringPageToFront(int index)
{
    const int current = TabControl->currentIndex();
    if (index == current)
        return;
    keepEditorText();
    showPage(index);
}

void TMainForm::PagesAddMemoMenuItemClick()
{
    TNewMemoDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString name = dialog.name();

    const int existing = m_pages.find(name);
    if (existing >= 0) {
        bringPageToFront(existing);
        return;
    }
    if (name.isEmpty())
        return;

    keepEditorText();
    const int index = m_pages.append(name);
    TabControl->addTab(name);
    showPage(index);
    notesChanged();
}

void TMainForm::PagesRemoveMenuItemClick()
{
    if (pageCount() > 1) {
        const int index = TabControl->currentIndex();
        TabControl->removeTab(index);
        m_pages.removeAt(index);
        showPage(0);
        notesChanged();
        return;
    }

    MessageBox::show(this, QString::fromLatin1(CannotRemoveLast), QString::fromLatin1(RemoveCaption),
                     MessageBox::Icon::None, MessageBox::Ok | MessageBox::Cancel);
}

bool TMainForm::LoadNotes()
{
    try {
        FileIdentity identity;
        std::optional<NotePages> loaded = m_noteFile.load(&identity);
        if (!loaded)
            return true; // first start
        m_diskIdentity = identity;
        m_pages.setBase(*loaded);
        setPages(*loaded);
        return true;
    } catch (const std::exception &) {
        // Every failure, ours or the library's (out of memory among them), is a false result.
    }
    return false;
}

void TMainForm::setPages(const NotePages &pages)
{
    m_pages.assign(pages);
    // All at once: the strip lays itself out once, not once per tab.
    TabControl->clear();
    TabControl->addTabs(m_pages.names());
}

bool TMainForm::SaveNotes()
{
    const int current = TabControl->currentIndex();
    if (current < 0 || current >= m_pages.count())
        return false;
    keepEditorText();

    m_saveFailure.clear();
    try {
        if (!mergeBeforeSave())
            return false;
        // Each file that turns out to have been put in place during a save is merged, and the
        // pad written again.
        for (;;) {
            const NoteFile::Saved saved = m_noteFile.save(m_pages.pages(), m_diskIdentity);
            m_diskIdentity = saved.identity;
            if (saved.displaced.isEmpty())
                break;
            mergeDisplaced(saved.displaced);
        }
        m_pages.setSavedBase(m_pages.pages());
        watchNoteFile();
        notesSaved();
        return true;
    } catch (const Exception &error) {
        m_saveFailure = error.reason();
    } catch (const std::bad_alloc &) {
        m_saveFailure = QString::fromLocal8Bit(std::strerror(ENOMEM));
    } catch (const std::exception &) {
        // Every failure, ours or the library's, is a false result.
    }
    return false;
}

void TMainForm::FileSaveMenuItemClick()
{
    if (SaveNotes())
        return;
    MessageBox::Request box;
    box.parent = this;
    box.text = QString::fromLatin1(CouldNotSaveNotes);
    box.caption = QString::fromLatin1(ErrorCaption);
    box.informativeText = m_saveFailure;
    box.icon = MessageBox::Icon::Exclamation;
    MessageBox::show(box);
}
