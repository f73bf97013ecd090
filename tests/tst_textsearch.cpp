// The search routine behind Find: its matching rules, over plain text with CR LF breaks.

#include "text/TextSearch.h"

#include <QTest>

class TestTextSearch : public QObject
{
    Q_OBJECT

private slots:
    void find_data();
    void find();
    void keptTextAnswersBothCaseModes();
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

// A kept text builds its folded copy once; searches either way must still see the
// text itself.
void TestTextSearch::keptTextAnswersBothCaseModes()
{
    const TextSearch search(u"Apple apple APPLE"_qs);
    QCOMPARE(search.find(u"APPLE", 0, -1, false, false), 0);
    QCOMPARE(search.find(u"APPLE", 0, -1, false, true), 12);
    QCOMPARE(search.find(u"apple", 1, -1, false, false), 6);
    QCOMPARE(search.find(u"apple", 0, -1, false, true), 6);
    QCOMPARE(search.find(u"Apple", 1, -1, false, true), -1);
}

QTEST_APPLESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
