#pragma once

#include "storage/NotePage.h"

#include <QList>
#include <QString>
#include <QStringList>

// The pad: its pages in tab order. Each page keeps the bytes it was read with, and the
// pad remembers how it stood in the note file when this copy last read or wrote it.
// The page on show may be behind the editor; the window brings it up to date.
class PageList
{
public:
    // A new pad, and one whose file holds no pages, is one empty page of this name.
    explicit PageList(const QString &firstPageName);

    int count() const { return int(m_pages.size()); }
    const NotePage &at(int index) const { return m_pages.at(index); }
    const QString &name(int index) const { return m_pages.at(index).name; }
    const QString &text(int index) const { return m_pages.at(index).text; }
    QStringList names() const;
    const NotePages &pages() const { return m_pages; }

    // A new text for a page; the bytes it was read with no longer stand for it.
    void setText(int index, const QString &text);
    // Appends an empty page and returns its index.
    int append(const QString &name);
    void removeAt(int index);

    // The first page whose name is the same as name (see PageNames), or -1.
    int find(const QString &name) const;

    // Every page replaced, as by a load or a restore; no pages is the one empty page.
    void assign(const NotePages &pages);

    // The pad as the note file held it when this copy last read or wrote it.
    const NotePages &base() const { return m_base; }
    // What was read from or written to the file is now the base.
    void setBase(const NotePages &pages) { m_base = pages; }

private:
    QString m_firstPageName;
    NotePages m_pages;
    NotePages m_base;
};
