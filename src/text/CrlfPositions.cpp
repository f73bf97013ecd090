#include "text/CrlfPositions.h"

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

bool CrlfPositions::isWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == u'_';
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

int CrlfPositions::find(QStringView text, QStringView what, int from, int to, bool wholeWord,
                        bool matchCase)
{
    const qsizetype length = text.size();
    if (what.isEmpty())
        return -1;
    const qsizetype start = std::clamp<qsizetype>(from, 0, length);
    const qsizetype limit = to < 0 ? length : std::min<qsizetype>(to, length);
    const Qt::CaseSensitivity cs = matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (qsizetype at = text.indexOf(what, start, cs); at >= 0 && at + what.size() <= limit;
         at = text.indexOf(what, at + 1, cs)) {
        if (!wholeWord)
            return int(at);
        const qsizetype after = at + what.size();
        const bool startsWord = at == 0 || !isWordCharacter(text[at - 1]);
        const bool endsWord = after == length || !isWordCharacter(text[after]);
        if (startsWord && endsWord)
            return int(at);
    }
    return -1;
}
