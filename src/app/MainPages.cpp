// The pages of the pad: switching, adding and removing them, and the note file.

#include "app/Main.h"

#include "app/MainTexts.h"
#include "dialogs/TNewMemoDlg.h"
#include "editor/RichEdit.h"
#include "platform/MessageBox.h"
#include "platform/TabStrip.h"

#include <QCollator>

#include <exception>

using namespace MainTexts;

int TMainForm::pageCount() const
{
    return TabControl->count();
}

NotePages TMainForm::pages() const
{
    NotePages result;
    result.reserve(TabControl->count());
    for (int i = 0; i < TabControl->count(); ++i) {
        const QString text = i == TabControl->currentIndex() ? Memo->text() : m_pageTexts.value(i);
        result.append({TabControl->tabText(i), text});
    }
    return result;
}

void TMainForm::TabControlChanging(bool *allowChange)
{
    const int current = TabControl->currentIndex();
    if (current >= 0 && current < m_pageTexts.size())
        m_pageTexts[current] = Memo->text();
    *allowChange = true;
}

void TMainForm::TabControlChange()
{
    Memo->setText(m_pageTexts.value(TabControl->currentIndex()));
    nameEditor();
}

void TMainForm::showPage(int index)
{
    TabControl->setCurrentIndex(index);
    Memo->setText(m_pageTexts.value(index));
    nameEditor();
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
    m_pageTexts[current] = Memo->text();
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

    m_pageTexts[TabControl->currentIndex()] = Memo->text();
    Memo->setText(QString());
    const int index = TabControl->addTab(name);
    m_pageTexts.append(QString());
    TabControl->setCurrentIndex(index);
    nameEditor();
}

void TMainForm::PagesRemoveMenuItemClick()
{
    if (pageCount() > 1) {
        const int index = TabControl->currentIndex();
        TabControl->removeTab(index);
        m_pageTexts.removeAt(index);
        showPage(0);
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

        m_pageTexts.clear();
        m_pageTexts.reserve(loaded->size());
        QStringList names;
        names.reserve(loaded->size());
        for (const NotePage &page : std::as_const(*loaded)) {
            names.append(page.name);
            m_pageTexts.append(page.text);
        }
        TabControl->clear();
        TabControl->addTabs(names);
        return true;
    } catch (const std::exception &) {
        // Every failure, ours or the library's (out of memory among them), is a false result.
    }
    return false;
}

bool TMainForm::SaveNotes()
{
    const int current = TabControl->currentIndex();
    if (current < 0 || current >= m_pageTexts.size())
        return false;
    m_pageTexts[current] = Memo->text();

    try {
        NotePages toSave;
        toSave.reserve(TabControl->count());
        for (int i = 0; i < TabControl->count(); ++i)
            toSave.append({TabControl->tabText(i), m_pageTexts.value(i)});
        m_noteFile.save(toSave);
        return true;
    } catch (const std::exception &) {
        // Every failure, ours or the library's (out of memory among them), is a false result.
    }
    return false;
}

void TMainForm::FileSaveMenuItemClick()
{
    if (SaveNotes())
        return;
    MessageBox::show(this, QString::fromLatin1(CouldNotSaveNotes), QString::fromLatin1(ErrorCaption),
                     MessageBox::Icon::Exclamation);
}
