#pragma once

#include "storage/NotePage.h"

// A pad of pageCount pages of about textBytes each: mostly ASCII with CR LF breaks and some
// two- and three-byte characters, each page's text ending in its own number.
inline NotePages bigPad(int pageCount, int textBytes)
{
    const QString line = QStringLiteral("The quick brown fox jumps over the lazy dog ") + QChar(0xE9) + QChar(0x20AC)
                         + QStringLiteral("\r\n");
    QString text;
    while (text.toUtf8().size() + line.toUtf8().size() <= textBytes)
        text += line;
    NotePages pages;
    for (int i = 0; i < pageCount; ++i)
        pages.append({QStringLiteral("Page %1").arg(i), text + QString::number(i)});
    return pages;
}
