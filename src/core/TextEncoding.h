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

    // Sequence by sequence: each valid UTF-8 sequence as UTF-8 (a leading BOM kept as U+FEFF),
    // each byte that is not part of one as Windows-1252.
    static QString decode(QByteArrayView bytes);

    // The length of the valid UTF-8 sequence starting at bytes[at], or 0 when there is none.
    static qsizetype utf8SequenceLength(QByteArrayView bytes, qsizetype at);

    // At most maxBytes of stored bytes, never ending inside a valid UTF-8 sequence.
    static QByteArray cutBytes(const QByteArray &bytes, qsizetype maxBytes);

    static QString decodeWindows1252(QByteArrayView bytes);
};
