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
    const NotePages &base() const { return m_bases.last().pages; }
    // What was read from the file is now the base; earlier ones are forgotten.
    void setBase(const NotePages &pages);
    // What this copy wrote is now the base. The bases before it are kept a while: a sync
    // engine may yet put in place a file that never saw this save.
    void setSavedBase(const NotePages &pages);
    // A sync engine's conflict copy that holds one of this copy's saves shows that the file
    // now in place did not descend from that save: it and every later save stop counting as
    // bases. Returns whether the copy was such a save.
    bool disownSave(const NotePages &copy);
    // The base to merge the file with. After disownSave, of the bases left, the one that the
    // file shares the most pages with, the older one when two share as many: a base older
    // than the file's own can only keep more pages twice, a newer one could lose an edit.
    NotePages baseFor(const NotePages &file) const;

    // Saves kept as bases, besides the last pad read.
    static constexpr int KeptSaves = 8;

private:
    struct Base
    {
        NotePages pages;
        bool saved = false;
    };

    QString m_firstPageName;
    NotePages m_pages;
    QList<Base> m_bases{Base{}};
    bool m_disowned = false;
};
