#include "storage/PageNames.h"

#include "storage/NoteFile.h"

PageNames::PageNames()
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
}

int PageNames::compare(const QString &a, const QString &b) const
{
    return m_collator.compare(NoteFile::keptName(a), NoteFile::keptName(b));
}
