#include "core/TextSearch.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <bit>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The simple case fold of the code unit at i, taken from its whole character: a
// surrogate pair folds as one code point. A fold that would change the character's
// length in code units is not taken, so positions never move.
inline char16_t foldedUnitAt(const char16_t *text, qsizetype i, qsizetype length)
{
    const char16_t c = text[i];
    if (c < 0x80)
        return char16_t(c - u'A') < 26 ? char16_t(c + (u'a' - u'A')) : c;
    if (QChar::isHighSurrogate(c) && i + 1 < length && QChar::isLowSurrogate(text[i + 1])) {
        const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(c, text[i + 1]));
        return QChar::requiresSurrogates(folded) ? QChar::highSurrogate(folded) : c;
    }
    if (QChar::isLowSurrogate(c) && i > 0 && QChar::isHighSurrogate(text[i - 1])) {
        const char32_t folded = QChar::toCaseFolded(QChar::surrogateToUcs4(text[i - 1], c));
        return QChar::requiresSurrogates(folded) ? QChar::lowSurrogate(folded) : c;
    }
    const char32_t folded = QChar::toCaseFolded(char32_t(c));
    return QChar::requiresSurrogates(folded) ? c : char16_t(folded);
}

struct Exact
{
    static char16_t at(const char16_t *text, qsizetype i, qsizetype) { return text[i]; }
};

struct Folded
{
    static char16_t at(const char16_t *text, qsizetype i, qsizetype length)
    {
        return foldedUnitAt(text, i, length);
    }
};

// Horspool over UTF-16 (as folded by Unit), the skip table indexed by the low byte of
// a code unit: code units sharing a low byte share the smallest skip, which keeps it
// safe. needle is already folded the same way.
template<typename Unit>
int scan(QStringView text, QStringView needle, qsizetype from, qsizetype limit, bool wholeWord)
{
    const qsizetype length = text.size();
    const qsizetype n = needle.size();
    const char16_t *h = text.utf16();
    const char16_t *w = needle.utf16();
    std::array<qsizetype, 256> skip;
    skip.fill(n);
    for (qsizetype i = 0; i + 1 < n; ++i)
        skip[w[i] & 0xff] = n - 1 - i;
    const char16_t last = w[n - 1];
    for (qsizetype at = from; at + n <= limit;) {
        const char16_t tail = Unit::at(h, at + n - 1, length);
        if (tail == last) {
            qsizetype k = 0;
            while (k + 1 < n && Unit::at(h, at + k, length) == w[k])
                ++k;
            if (k + 1 == n && acceptable(text, at, n, wholeWord))
                return int(at);
        }
        at += skip[tail & 0xff];
    }
    return -1;
}

bool matchesAt(QStringView text, QStringView needle, qsizetype at, bool wholeWord, bool folded)
{
    const char16_t *h = text.utf16();
    const qsizetype length = text.size();
    for (qsizetype k = 0; k < needle.size(); ++k) {
        const char16_t unit = folded ? foldedUnitAt(h, at + k, length) : h[at + k];
        if (unit != needle[k].unicode())
            return false;
    }
    return acceptable(text, at, needle.size(), wholeWord);
}

constexpr int MaxVariants = 4;
using Variants = std::vector<char16_t>;

// Every code unit that folds to unit on its own: none for a surrogate half, whose fold
// depends on its partner.
Variants unitsFoldingTo(char16_t unit)
{
    static const std::vector<std::pair<char16_t, char16_t>> foldedFrom = [] {
        std::vector<std::pair<char16_t, char16_t>> pairs;
        for (char32_t c = 0; c < 0x10000; ++c) {
            const char16_t u = char16_t(c);
            if (QChar::isSurrogate(c))
                continue;
            if (const char16_t f = foldedUnitAt(&u, 0, 1); f != u)
                pairs.emplace_back(f, u);
        }
        std::sort(pairs.begin(), pairs.end());
        return pairs;
    }();
    Variants out;
    if (QChar::isSurrogate(unit) || foldedUnitAt(&unit, 0, 1) != unit)
        return out;
    out.push_back(unit);
    const auto range = std::equal_range(foldedFrom.begin(), foldedFrom.end(), std::pair(unit, char16_t(0)),
                                        [](const auto &a, const auto &b) { return a.first < b.first; });
    for (auto it = range.first; it != range.second; ++it)
        out.push_back(it->second);
    return out;
}

#if defined(__SSE2__)
// Eight start positions at a time: a position is looked at closely only when its
// first and its last code unit can both belong to a match.
qsizetype filteredScan(QStringView text, QStringView needle, qsizetype from, qsizetype limit,
                       bool wholeWord, bool folded, const Variants &first, const Variants &last,
                       qsizetype *stoppedAt)
{
    const char16_t *h = text.utf16();
    const qsizetype n = needle.size();
    __m128i firsts[MaxVariants];
    __m128i lasts[MaxVariants];
    for (int v = 0; v < MaxVariants; ++v) {
        firsts[v] = _mm_set1_epi16(short(first[std::min<std::size_t>(v, first.size() - 1)]));
        lasts[v] = _mm_set1_epi16(short(last[std::min<std::size_t>(v, last.size() - 1)]));
    }
    qsizetype at = from;
    for (; at + n + 7 <= limit; at += 8) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at));
        const __m128i tails = _mm_loadu_si128(reinterpret_cast<const __m128i *>(h + at + n - 1));
        __m128i headHits = _mm_cmpeq_epi16(heads, firsts[0]);
        __m128i tailHits = _mm_cmpeq_epi16(tails, lasts[0]);
        for (int v = 1; v < MaxVariants; ++v) {
            headHits = _mm_or_si128(headHits, _mm_cmpeq_epi16(heads, firsts[v]));
            tailHits = _mm_or_si128(tailHits, _mm_cmpeq_epi16(tails, lasts[v]));
        }
        unsigned hits = unsigned(_mm_movemask_epi8(_mm_and_si128(headHits, tailHits))) & 0x5555u;
        while (hits) {
            const qsizetype candidate = at + std::countr_zero(hits) / 2;
            if (matchesAt(text, needle, candidate, wholeWord, folded))
                return candidate;
            hits &= hits - 1;
        }
    }
    *stoppedAt = at;
    return -1;
}
#endif

} // namespace

bool TextSearch::isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c)
           || QChar::category(c) == QChar::Punctuation_Connector;
}

QString TextSearch::caseFolded(QStringView s)
{
    const qsizetype n = s.size();
    QString out(n, Qt::Uninitialized);
    char16_t *o = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < n; ++i)
        o[i] = foldedUnitAt(s.utf16(), i, n);
    return out;
}

int TextSearch::find(QStringView text, QStringView what, int from, int to, bool wholeWord,
                     bool matchCase)
{
    const qsizetype length = text.size();
    const qsizetype start = std::clamp<qsizetype>(from, 0, length);
    const qsizetype limit = to < 0 ? length : std::clamp<qsizetype>(to, 0, length);
    if (what.isEmpty() || limit - start < what.size())
        return -1;
    const QString foldedWhat = matchCase ? QString() : caseFolded(what);
    const QStringView needle = matchCase ? what : QStringView(foldedWhat);
#if defined(__SSE2__)
    const Variants first = matchCase ? Variants{needle.front().unicode()} : unitsFoldingTo(needle.front().unicode());
    const Variants last = matchCase ? Variants{needle.back().unicode()} : unitsFoldingTo(needle.back().unicode());
    if (!first.empty() && !last.empty() && first.size() <= MaxVariants && last.size() <= MaxVariants) {
        qsizetype rest = start;
        const qsizetype found = filteredScan(text, needle, start, limit, wholeWord, !matchCase, first, last, &rest);
        if (found >= 0)
            return int(found);
        for (; rest + needle.size() <= limit; ++rest) {
            if (matchesAt(text, needle, rest, wholeWord, !matchCase))
                return int(rest);
        }
        return -1;
    }
#endif
    if (matchCase)
        return scan<Exact>(text, needle, start, limit, wholeWord);
    return scan<Folded>(text, needle, start, limit, wholeWord);
}
