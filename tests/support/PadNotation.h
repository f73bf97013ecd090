#pragma once

#include "storage/NoteFile.h"

#include <QStringList>

// A pad written out short, for tables and comparisons: "Shop=eggs|Work=mail".
inline NotePages padFrom(const QString &notation)
{
    NotePages pages;
    for (const QString &page : notation.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const qsizetype equals = page.indexOf(QLatin1Char('='));
        pages.append({page.left(equals), page.mid(equals + 1)});
    }
    return pages;
}

inline QString notationOf(const NotePages &pages)
{
    QStringList parts;
    for (const NotePage &page : pages)
        parts.append(page.name + QLatin1Char('=') + page.text);
    return parts.join(QLatin1Char('|'));
}

// The note file at path in that notation; empty when it cannot be read.
inline QString notationOfFile(const QString &path)
{
    try {
        return notationOf(NoteFile(path).load().value_or(NotePages()));
    } catch (const std::exception &) {
        return {};
    }
}
