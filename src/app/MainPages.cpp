// The pages of the pad: switching, adding and removing them, and the note file.

#include "app/Main.h"

#include "app/MainTexts.h"
#include "dialogs/TNewMemoDlg.h"
#include "editor/RichEdit.h"
#include "core/Exceptions.h"
#include "widgets/MessageBox.h"
#include "widgets/TabStrip.h"

#include <QCollator>
#include <QTextDocument>

#include <cerrno>
#include <cstring>
#include <exception>
#include <new>

using namespace MainTexts;

int TMainForm::pageCount() const
{
    return TabControl->count();
}

NotePages TMainForm::pages() const
{
    const int current = TabControl->currentIndex();
    const bool edited = Memo->document()->isModified();
    NotePages result;
    result.reserve(TabControl->count());
    for (int i = 0; i < TabControl->count(); ++i) {
        const StoredBytes stored = m_storedBytes.value(i);
        if (i == current && edited)
            result.append({TabControl->tabText(i), Memo->text(), stored.name, QByteArray()});
        else
            result.append({TabControl->tabText(i), m_pageTexts.value(i), stored.name, stored.text});
    }
    return result;
}

// Showing a page is no change to it: the text it was put into the editor with, and the
// bytes it was read with, stay until the user edits it.
void TMainForm::keepEditorText()
{
    const int current = TabControl->currentIndex();
    if (current < 0 || current >= m_pageTexts.size() || !Memo->document()->isModified())
        return;
    m_pageTexts[current] = Memo->text();
    m_storedBytes[current].text = QByteArray();
    Memo->document()->setModified(false);
}

void TMainForm::putPageInEditor(int index)
{
    m_puttingPage = true;
    Memo->setText(m_pageTexts.value(index));
    Memo->document()->setModified(false);
    m_puttingPage = false;
    nameEditor();
}

void TMainForm::TabControlChanging(bool *allowChange)
{
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
    Memo->setAccessibleName(TabControl->tabText(TabControl->currentIndex()));
}

int TMainForm::findPage(const QString &name) const
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    for (int i = 0; i < TabControl->count(); ++i) {
        if (collator.compare(TabControl->tabText(i), name) == 0)
            return i;
    }
    return -1;
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

    const int existing = findPage(name);
    if (existing >= 0) {
        bringPageToFront(existing);
        return;
    }
    if (name.isEmpty())
        return;

    keepEditorText();
    const int index = TabControl->addTab(name);
    m_pageTexts.append(QString());
    m_storedBytes.append(StoredBytes());
    TabControl->setCurrentIndex(index);
    putPageInEditor(index);
    notesChanged();
}

void TMainForm::PagesRemoveMenuItemClick()
{
    if (pageCount() > 1) {
        const int index = TabControl->currentIndex();
        TabControl->removeTab(index);
        m_pageTexts.removeAt(index);
        m_storedBytes.removeAt(index);
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
        std::optional<NotePages> loaded = m_noteFile.load();
        if (!loaded)
            return true; // first start
        if (loaded->isEmpty()) // a pad always has a page to show
            loaded->append({QString::fromLatin1(FirstPageName), QString()});

        setPages(*loaded);
        return true;
    } catch (const std::exception &) {
        // Every failure, ours or the library's (out of memory among them), is a false result.
    }
    return false;
}

void TMainForm::setPages(const NotePages &pages)
{
    m_pageTexts.clear();
    m_pageTexts.reserve(pages.size());
    m_storedBytes.clear();
    m_storedBytes.reserve(pages.size());
    QStringList names;
    names.reserve(pages.size());
    for (const NotePage &page : pages) {
        names.append(page.name);
        m_pageTexts.append(page.text);
        m_storedBytes.append({page.storedName, page.storedText});
    }
    // All at once: the strip lays itself out once, not once per tab.
    TabControl->clear();
    TabControl->addTabs(names);
}

bool TMainForm::SaveNotes()
{
    const int current = TabControl->currentIndex();
    if (current < 0 || current >= m_pageTexts.size())
        return false;
    keepEditorText();

    m_saveFailure.clear();
    try {
        m_noteFile.save(pages());
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
