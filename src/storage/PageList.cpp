#include "storage/PageList.h"

#include "storage/PageNames.h"

#include <QSet>

#include <algorithm>

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

void PageList::setBase(const NotePages &pages)
{
    m_bases = {Base{pages, false}};
    m_disowned = false;
}

void PageList::setSavedBase(const NotePages &pages)
{
    // The first base, the pad last read, is always kept: it is the oldest one this copy knows.
    if (m_bases.size() > KeptSaves)
        m_bases.removeAt(1);
    m_bases.append(Base{pages, true});
    m_disowned = false;
}

bool PageList::disownSave(const NotePages &copy)
{
    for (qsizetype i = m_bases.size() - 1; i > 0; --i) {
        if (m_bases[i].saved && m_bases[i].pages == copy) {
            m_bases.resize(i);
            m_disowned = true;
            return true;
        }
    }
    return false;
}

NotePages PageList::baseFor(const NotePages &file) const
{
    if (!m_disowned || m_bases.size() == 1)
        return base();
    QSet<std::pair<QString, QString>> filePages;
    filePages.reserve(file.size());
    for (const NotePage &page : file)
        filePages.insert({page.name, page.text});
    const auto shared = [&](const Base &base) {
        return std::count_if(base.pages.begin(), base.pages.end(),
                             [&](const NotePage &page) { return filePages.contains({page.name, page.text}); });
    };
    qsizetype best = 0;
    qsizetype bestShared = shared(m_bases[0]);
    for (qsizetype i = 1; i < m_bases.size(); ++i) {
        const qsizetype count = shared(m_bases[i]);
        if (count > bestShared) {
            best = i;
            bestShared = count;
        }
    }
    return m_bases[best].pages;
}
