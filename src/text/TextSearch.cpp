#include "text/TextSearch.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

bool splitsPair(QStringView text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at].isLowSurrogate()
           && text[at - 1].isHighSurrogate();
}

// The whole character that ends just before at, or 0 at the start of the text.
char32_t characterBefore(QStringView text, qsizetype at)
{
    if (at <= 0)
        return 0;
    const char16_t low = text[at - 1].unicode();
    if (QChar::isLowSurrogate(low) && at >= 2 && text[at - 2].isHighSurrogate())
        return QChar::surrogateToUcs4(text[at - 2].unicode(), low);
    return low;
}

// The whole character that starts at at, or 0 at the end of the text.
char32_t characterAt(QStringView text, qsizetype at)
{
    if (at >= text.size())
        return 0;
    const char16_t high = text[at].unicode();
    if (QChar::isHighSurrogate(high) && at + 1 < text.size() && text[at + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(high, text[at + 1].unicode());
    return high;
}

// Two neighbours meet at a word boundary unless both are word characters; the ends
// of the text are boundaries.
bool isBoundary(char32_t before, char32_t after)
{
    return before == 0 || after == 0 || !TextSearch::isWordCharacter(before)
           || !TextSearch::isWordCharacter(after);
}

bool acceptable(QStringView text, qsizetype at, qsizetype length, bool wholeWord)
{
    const qsizetype end = at + length;
    if (splitsPair(text, at) || splitsPair(text, end))
        return false;
    if (!wholeWord)
        return true;
    return isBoundary(characterBefore(text, at), characterAt(text, at))
           && isBoundary(characterBefore(text, end), characterAt(text, end));
}

} // namespace

TextSearch::TextSearch(QString text)
    : m_text(std::move(text))
{
}

bool TextSearch::isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c)
           || QChar::category(c) == QChar::Punctuation_Connector;
}

QString TextSearch::caseFolded(QStringView s)
{
    const qsizetype n = s.size();
    QString out(n, Qt::Uninitialized);
    const char16_t *in = s.utf16();
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 0x80) {
            o[i] = char16_t(c - u'A') < 26 ? char16_t(c + (u'a' - u'A')) : c;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
            const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(c, in[i + 1]));
            // Keep positions: a fold that would leave the supplementary planes is not taken.
            if (QChar::requiresSurrogates(folded)) {
                o[i] = QChar::highSurrogate(folded);
                o[i + 1] = QChar::lowSurrogate(folded);
            } else {
                o[i] = c;
                o[i + 1] = in[i + 1];
            }
            ++i;
        } else {
            const char32_t folded = QChar::toCaseFolded(char32_t(c));
            o[i] = QChar::requiresSurrogates(folded) ? c : char16_t(folded);
        }
    }
    return out;
}

// Horspool over UTF-16 with the skip table indexed by the low byte of a code unit:
// code units sharing a low byte share the smallest skip, which keeps it safe.
int TextSearch::scan(QStringView haystack, QStringView original, QStringView needle, int from,
                     int limit, bool wholeWord)
{
    const qsizetype n = needle.size();
    const char16_t *h = haystack.utf16();
    const char16_t *w = needle.utf16();
    if (n == 1) {
        for (qsizetype at = haystack.indexOf(QChar(w[0]), from); at >= 0 && at + 1 <= limit;
             at = haystack.indexOf(QChar(w[0]), at + 1)) {
            if (acceptable(original, at, 1, wholeWord))
                return int(at);
        }
        return -1;
    }
    std::array<qsizetype, 256> skip;
    skip.fill(n);
    for (qsizetype i = 0; i + 1 < n; ++i)
        skip[w[i] & 0xff] = n - 1 - i;
    const char16_t last = w[n - 1];
    const std::size_t headBytes = std::size_t(n - 1) * sizeof(char16_t);
    for (qsizetype at = from; at + n <= limit;) {
        const char16_t tail = h[at + n - 1];
        if (tail == last && std::memcmp(h + at, w, headBytes) == 0
            && acceptable(original, at, n, wholeWord))
            return int(at);
        at += skip[tail & 0xff];
    }
    return -1;
}

int TextSearch::find(QStringView what, int from, int to, bool wholeWord, bool matchCase) const
{
    const qsizetype length = m_text.size();
    const int start = int(std::clamp<qsizetype>(from, 0, length));
    const int limit = int(to < 0 ? length : std::min<qsizetype>(to, length));
    if (what.isEmpty() || limit - start < what.size())
        return -1;
    if (matchCase)
        return scan(m_text, m_text, what, start, limit, wholeWord);
    if (!m_haveFolded) {
        m_folded = caseFolded(m_text);
        m_haveFolded = true;
    }
    return scan(m_folded, m_text, caseFolded(what), start, limit, wholeWord);
}

int TextSearch::find(QStringView text, QStringView what, int from, int to, bool wholeWord,
                     bool matchCase)
{
    return TextSearch(text.toString()).find(what, from, to, wholeWord, matchCase);
}
