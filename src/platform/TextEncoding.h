#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// How names and texts become bytes in the note file and back. Files are written as UTF-8;
// files from Windows machines hold Windows-1252, which is what a string that is not valid
// UTF-8 is taken to be.
class TextEncoding
{
public:
    TextEncoding() = delete;

    static QByteArray encode(const QString &text);

    // At most maxBytes bytes of UTF-8, ending on a whole character.
    static QByteArray encodePrefix(const QString &text, qsizetype maxBytes);

    // UTF-8 when the bytes are valid UTF-8 (a leading BOM kept as U+FEFF), Windows-1252 otherwise.
    static QString decode(QByteArrayView bytes);

    static QString decodeWindows1252(QByteArrayView bytes);
};
