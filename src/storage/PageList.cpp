#include "storage/PageList.h"

#include "storage/PageNames.h"

PageList::PageList(const QString &firstPageName)
    : m_firstPageName(firstPageName)
{
    m_pages.append({m_firstPageName, QString()});
}

QStringList PageList::names() const
{
    QStringList result;
    result.reserve(m_pages.size());
    for (const NotePage &page : m_pages)
        result.append(page.name);
    return result;
}

void PageList::setText(int index, const QString &text)
{
    NotePage &page = m_pages[index];
    page.text = text;
    page.storedText = QByteArray();
}

int PageList::append(const QString &name)
{
    m_pages.append({name, QString()});
    return count() - 1;
}

void PageList::removeAt(int index)
{
    m_pages.removeAt(index);
}

int PageList::find(const QString &name) const
{
    const PageNames names;
    for (int i = 0; i < count(); ++i) {
        if (names.same(m_pages.at(i).name, name))
            return i;
    }
    return -1;
}

void PageList::assign(const NotePages &pages)
{
    m_pages = pages;
    if (m_pages.isEmpty())
        m_pages.append({m_firstPageName, QString()});
}
