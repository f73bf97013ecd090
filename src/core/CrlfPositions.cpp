#include "core/CrlfPositions.h"

#include <algorithm>

namespace {
constexpr char16_t BeginningOfFrame = 0xfdd0;
constexpr char16_t EndOfFrame = 0xfdd1;
} // namespace

bool CrlfPositions::isBlockSeparator(QChar c)
{
    return c == QChar::ParagraphSeparator || c == QChar(BeginningOfFrame)
           || c == QChar(EndOfFrame);
}

int CrlfPositions::toDocument(int crlfPosition, int blockCount, const BlockStart &blockStart,
                              int textLength)
{
    if (crlfPosition <= 0 || blockCount <= 0)
        return 0;
    // Block n starts at CR LF position blockStart(n) + n; find the last one at or
    // before the position.
    int low = 0;
    int high = blockCount - 1;
    while (low < high) {
        const int middle = low + (high - low + 1) / 2;
        if (blockStart(middle) + middle <= crlfPosition)
            low = middle;
        else
            high = middle - 1;
    }
    const int start = blockStart(low);
    const int end = low + 1 < blockCount ? blockStart(low + 1) - 1 : textLength;
    return std::min(crlfPosition - low, std::max(end, start));
}

QString CrlfPositions::textFromRaw(QStringView raw)
{
    const qsizetype breaks = std::count_if(raw.begin(), raw.end(), isBlockSeparator);
    QString text(raw.size() + breaks, Qt::Uninitialized);
    QChar *out = text.data();
    for (const QChar c : raw) {
        if (isBlockSeparator(c)) {
            *out++ = u'\r';
            *out++ = u'\n';
        } else {
            *out++ = c;
        }
    }
    return text;
}
