// The search routine behind Find: its matching rules, over plain text with CR LF breaks.

#include "text/TextSearch.h"

#include <QTest>

class TestTextSearch : public QObject
{
    Q_OBJECT

private slots:
    void find_data();
    void find();
    void caseFoldingKeepsEveryPosition();
    void agreesWithPlainComparisonEverywhere();
};

void TestTextSearch::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("expected");

    const bool word = true;
    const bool any = false;
    const bool exact = true;
    const bool folded = false;
    // U+1D400 MATHEMATICAL BOLD CAPITAL A, a letter outside the BMP.
    const QString boldA = QString::fromUcs4(U"\U0001D400");

    QTest::newRow("plain") << u"the cat sat"_qs << u"cat"_qs << 0 << -1 << any << folded << 4;
    QTest::newRow("miss") << u"the cat sat"_qs << u"dog"_qs << 0 << -1 << any << folded << -1;

    // Case.
    QTest::newRow("case off finds ABC") << u"xx ABC"_qs << u"abc"_qs << 0 << -1 << any << folded << 3;
    QTest::newRow("case on skips ABC") << u"xx ABC"_qs << u"abc"_qs << 0 << -1 << any << exact << -1;
    QTest::newRow("case on finds abc") << u"ABC abc"_qs << u"abc"_qs << 0 << -1 << any << exact << 4;
    QTest::newRow("upper search text, case off") << u"abc"_qs << u"ABC"_qs << 0 << -1 << any << folded << 0;
    QTest::newRow("umlaut folded") << u"xÄRGER"_qs << u"ärger"_qs << 0 << -1 << any << folded << 1;
    QTest::newRow("umlaut, case on") << u"xÄRGER"_qs << u"ärger"_qs << 0 << -1 << any << exact << -1;
    QTest::newRow("Kelvin sign folds to k") << u"5 \u212A"_qs << u"k"_qs << 0 << -1 << any << folded << 2;
    QTest::newRow("final sigma folds to sigma")
        << u"λόγος"_qs << u"ΛΌΓΟΣ"_qs << 0 << -1 << any << folded << 0;
    QTest::newRow("capital sharp s folds to sharp s")
        << u"STRA\u1E9EE"_qs << u"straße"_qs << 0 << -1 << any << folded << 0;
    QTest::newRow("sharp s is not ss") << u"strasse"_qs << u"straße"_qs << 0 << -1 << any << folded << -1;
    QTest::newRow("ss is not sharp s") << u"straße"_qs << u"strasse"_qs << 0 << -1 << any << folded << -1;
    QTest::newRow("Deseret folds outside the BMP")
        << QString::fromUcs4(U"x\U00010400") << QString::fromUcs4(U"\U00010428") << 0 << -1 << any
        << folded << 1;
    QTest::newRow("Deseret, case on")
        << QString::fromUcs4(U"x\U00010400") << QString::fromUcs4(U"\U00010428") << 0 << -1 << any
        << exact << -1;

    // Whole word.
    QTest::newRow("cat in concatenate") << u"concatenate"_qs << u"cat"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("cat in concatenate, any") << u"concatenate"_qs << u"cat"_qs << 0 << -1 << any << folded << 3;
    QTest::newRow("cat in the cat sat") << u"the cat sat"_qs << u"cat"_qs << 0 << -1 << word << folded << 4;
    QTest::newRow("skips the inner match")
        << u"concatenate the cat"_qs << u"cat"_qs << 0 << -1 << word << folded << 16;
    QTest::newRow("beside punctuation") << u"(cat), dog"_qs << u"cat"_qs << 0 << -1 << word << folded << 1;
    QTest::newRow("a digit joins the word") << u"cat9"_qs << u"cat"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("an underscore joins the word") << u"my_cat"_qs << u"cat"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("at line ends") << u"x\r\ncat\r\ny"_qs << u"cat"_qs << 0 << -1 << word << folded << 3;
    QTest::newRow("at the text's ends") << u"cat"_qs << u"cat"_qs << 0 << -1 << word << folded << 0;
    QTest::newRow("search text starting with a sign")
        << u"a-1"_qs << u"-1"_qs << 0 << -1 << word << folded << 1;
    QTest::newRow("whole word and case") << u"Cat cat"_qs << u"cat"_qs << 0 << -1 << word << exact << 4;
    QTest::newRow("combining accent belongs to the word")
        << u"cafe\u0301 au lait"_qs << u"cafe"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("combining accent, not whole word")
        << u"cafe\u0301 au lait"_qs << u"cafe"_qs << 0 << -1 << any << folded << 0;
    QTest::newRow("accent spelt apart is another text")
        << u"cafe\u0301"_qs << u"café"_qs << 0 << -1 << any << folded << -1;
    QTest::newRow("whole word ending in the accent")
        << u"cafe\u0301 au lait"_qs << u"cafe\u0301"_qs << 0 << -1 << word << folded << 0;
    QTest::newRow("x before a letter outside the BMP")
        << (u"x"_qs + boldA) << u"x"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("x after a letter outside the BMP")
        << (boldA + u"x"_qs) << u"x"_qs << 0 << -1 << word << folded << -1;
    QTest::newRow("x apart from it") << (u"x "_qs + boldA) << u"x"_qs << 0 << -1 << word << folded << 0;
    QTest::newRow("a whole word outside the BMP")
        << (u"an "_qs + boldA + u"."_qs) << boldA << 0 << -1 << word << exact << 3;
    QTest::newRow("never half a surrogate pair")
        << (u"a"_qs + boldA) << QString(QChar(boldA.at(1))) << 0 << -1 << any << exact << -1;

    // Range, positions and the empty text.
    QTest::newRow("third line counts both breaks")
        << u"one\r\ntwo\r\nthree"_qs << u"three"_qs << 0 << -1 << any << folded << 10;
    QTest::newRow("search text holding a break") << u"ab\r\ncd"_qs << u"b\r\nc"_qs << 0 << -1 << any << folded << 1;
    QTest::newRow("no match across a break") << u"ab\r\ncd"_qs << u"bc"_qs << 0 << -1 << any << folded << -1;
    QTest::newRow("match at from") << u"abc abc"_qs << u"abc"_qs << 4 << -1 << any << folded << 4;
    QTest::newRow("from skips an earlier match") << u"abc abc"_qs << u"abc"_qs << 1 << -1 << any << folded << 4;
    QTest::newRow("match must end by to") << u"abc abc"_qs << u"abc"_qs << 1 << 6 << any << folded << -1;
    QTest::newRow("match ending at to") << u"abc abc"_qs << u"abc"_qs << 1 << 7 << any << folded << 4;
    QTest::newRow("no wrap-around") << u"abc def"_qs << u"abc"_qs << 1 << -1 << any << folded << -1;
    QTest::newRow("from at the end") << u"abc"_qs << u"abc"_qs << 3 << -1 << any << folded << -1;
    QTest::newRow("from past the end") << u"abc"_qs << u"abc"_qs << 10 << -1 << any << folded << -1;
    QTest::newRow("negative from") << u"abc"_qs << u"abc"_qs << -4 << -1 << any << folded << 0;
    QTest::newRow("longer than the rest") << u"abc ab"_qs << u"abc"_qs << 4 << -1 << any << folded << -1;
    QTest::newRow("aaaa: first") << u"aaaa"_qs << u"aa"_qs << 0 << -1 << any << folded << 0;
    QTest::newRow("aaaa: after it") << u"aaaa"_qs << u"aa"_qs << 2 << -1 << any << folded << 2;
    QTest::newRow("aaaa: then none") << u"aaaa"_qs << u"aa"_qs << 4 << -1 << any << folded << -1;
    QTest::newRow("one character") << u"abcb"_qs << u"B"_qs << 2 << -1 << any << folded << 3;
    QTest::newRow("one character, whole word") << u"ab b"_qs << u"b"_qs << 0 << -1 << word << folded << 3;
    QTest::newRow("empty search text") << u"abc"_qs << QString() << 0 << -1 << any << folded << -1;
    QTest::newRow("empty text") << QString() << u"a"_qs << 0 << -1 << any << folded << -1;
    // Long enough for the scan that looks at eight positions at once.
    const QString pad(37, u'b');
    QTest::newRow("long: Kelvin sign in a block")
        << (pad + u"\u212Aey"_qs + pad) << u"KEY"_qs << 0 << -1 << any << folded << 37;
    QTest::newRow("long: long s folds to s")
        << (pad + u"\u017Fun"_qs + pad) << u"sun"_qs << 0 << -1 << any << folded << 37;
    QTest::newRow("long: theta has four forms")
        << (pad + u"\u03D1\u03F4\u0398\u03B8"_qs + pad) << u"\u03B8\u03B8"_qs << 0 << -1 << any << folded << 37;
    QTest::newRow("long: inner matches passed over")
        << u"concatenate concatenate concatenate concatenate the cat"_qs << u"cat"_qs << 0 << -1 << word
        << folded << 52;
    QTest::newRow("long: match in the last positions") << (pad + u"abc"_qs) << u"ABC"_qs << 0 << -1 << any
                                                       << folded << 37;
    QTest::newRow("long: match must end by to") << (pad + u"abc"_qs) << u"abc"_qs << 0 << 39 << any << exact << -1;
    QTest::newRow("long: Deseret") << (pad + QString::fromUcs4(U"\U00010400") + pad)
                                   << QString::fromUcs4(U"\U00010428") << 0 << -1 << any << folded << 37;
    QTest::newRow("long: whole word outside the BMP")
        << (pad + boldA + u"x"_qs + pad + u" x"_qs) << u"x"_qs << 0 << -1 << word << folded << 78;
    // A long search text over text sharing the low bytes of its characters.
    QTest::newRow("shared low bytes") << u"\u0161\u0261\u0361a\u0161\u0261\u0361b"_qs
                                      << u"\u0161\u0261\u0361b"_qs << 0 << -1 << any << exact << 4;
}

void TestTextSearch::find()
{
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    QFETCH(int, expected);

    QCOMPARE(TextSearch::find(text, what, from, to, wholeWord, matchCase), expected);
}

// Positions in the folded text are positions in the text: one code unit for one.
void TestTextSearch::caseFoldingKeepsEveryPosition()
{
    const QString text = QString::fromUcs4(U"A\u00C4\u212A\U00010400\u00DF\U0001D400\u1E9E!");
    const QString expected = QString::fromUcs4(U"a\u00E4k\U00010428\u00DF\U0001D400\u00DF!");
    QCOMPARE(TextSearch::caseFolded(text), expected);
    // A lone half of a surrogate pair is kept as it is.
    const QString lone = QString(QChar(0xD801)) + u"A"_qs;
    QCOMPARE(TextSearch::caseFolded(lone), QString(QChar(0xD801)) + u"a"_qs);
}

// Every start position and option against a plain position-by-position comparison,
// over texts mixing the awkward cases: folds from outside ASCII, a combining mark,
// a letter outside the BMP, line breaks.
void TestTextSearch::agreesWithPlainComparisonEverywhere()
{
    const QStringList pieces{u"a"_qs, u"A"_qs, u"k"_qs, u"\u212A"_qs, u" "_qs, u"\u0301"_qs, u"\r\n"_qs,
                             QString::fromUcs4(U"\U0001D400"), u"_"_qs, u"ak"_qs};
    const QStringList needles{u"a"_qs, u"ak"_qs, u"AK a"_qs, u"k\u0301"_qs, u"a\r\n"_qs,
                              QString::fromUcs4(U"\U0001D400a"), u"kkk"_qs};
    quint32 seed = 7;
    const auto next = [&seed](int bound) {
        seed = seed * 1664525u + 1013904223u;
        return int((seed >> 8) % quint32(bound));
    };
    for (int round = 0; round < 60; ++round) {
        QString text;
        const int parts = 5 + next(40);
        for (int i = 0; i < parts; ++i)
            text += pieces.at(next(int(pieces.size())));
        const QString foldedText = TextSearch::caseFolded(text);
        for (const QString &what : needles) {
            for (const bool matchCase : {false, true}) {
                const QString hay = matchCase ? text : foldedText;
                const QString needle = matchCase ? what : TextSearch::caseFolded(what);
                for (const bool wholeWord : {false, true}) {
                    for (int from = 0; from <= text.size(); from += 1 + next(3)) {
                        int expected = -1;
                        for (int at = from; at + what.size() <= text.size() && expected < 0; ++at) {
                            const int end = at + int(what.size());
                            const auto splits = [&text](int p) {
                                return p > 0 && p < text.size() && text[p].isLowSurrogate();
                            };
                            const auto word = [&text](int p) { // whole character around p
                                if (p < 0 || p >= text.size())
                                    return false;
                                char32_t c = text[p].unicode();
                                if (text[p].isLowSurrogate() && p > 0)
                                    c = QChar::surrogateToUcs4(text[p - 1], text[p]);
                                else if (text[p].isHighSurrogate() && p + 1 < text.size())
                                    c = QChar::surrogateToUcs4(text[p], text[p + 1]);
                                return TextSearch::isWordCharacter(c);
                            };
                            if (QStringView(hay).mid(at, what.size()) != needle || splits(at) || splits(end))
                                continue;
                            if (wholeWord && ((word(at - 1) && word(at)) || (word(end - 1) && word(end))))
                                continue;
                            expected = at;
                        }
                        const int found = TextSearch::find(text, what, from, -1, wholeWord, matchCase);
                        if (found != expected)
                            QFAIL(qPrintable(u"text %1, what %2, from %3, whole word %4, match case %5: %6, not %7"_qs
                                                 .arg(QString::fromLatin1(text.toUtf8().toHex()),
                                                      QString::fromLatin1(what.toUtf8().toHex()))
                                                 .arg(from).arg(wholeWord).arg(matchCase).arg(found).arg(expected)));
                    }
                }
            }
        }
    }
}

QTEST_APPLESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
