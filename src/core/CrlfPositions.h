#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Position arithmetic between a block-structured text document, where a break
// between two blocks is one character, and the CR LF terms the rest of the
// program speaks, where it is two.
class CrlfPositions
{
public:
    // Document position of the first character of block n.
    using BlockStart = std::function<int(int n)>;

    // The CR LF position of a document position inside block number block.
    static int fromDocument(int position, int block) { return position + block; }

    // The document position of a CR LF position. textLength is the document's text
    // length without its final terminator. A position inside a break snaps to the end
    // of the block before it; positions outside the text are clamped.
    static int toDocument(int crlfPosition, int blockCount, const BlockStart &blockStart,
                          int textLength);

    // A document's raw text (blocks separated by U+2029 or the frame marks U+FDD0 and
    // U+FDD1) with every block break written as CR LF.
    static QString textFromRaw(QStringView raw);

    static bool isBlockSeparator(QChar c);
};
