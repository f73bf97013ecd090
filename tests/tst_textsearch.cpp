// The search routine behind Find: its matching rules, over plain text with CR LF breaks.

#include "core/TextSearch.h"

#include <QTest>

class TestTextSearch : public QObject
{
    Q_OBJECT

private slots:
    void find_data();
    void find();
};

void TestTextSearch::find_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<int>("expected"); // -1: no match

    const QString boldA = QString::fromUcs4(U"\U0001D400"); // a letter outside the BMP
    const QString pad(37, u'b'); // long enough for the scan over eight positions at once
    const auto row = [](const char *name, const QString &text, const QString &what, int from, bool wholeWord,
                        bool matchCase, int expected) {
        QTest::newRow(name) << text << what << from << wholeWord << matchCase << expected;
    };

    row("case off finds ABC", u"xx ABC"_qs, u"abc"_qs, 0, false, false, 3);
    row("case on skips ABC", u"xx ABC"_qs, u"abc"_qs, 0, false, true, -1);
    row("umlaut folded", u"xÄRGER"_qs, u"ärger"_qs, 0, false, false, 1);
    row("Kelvin sign folds to k", u"5 \u212A"_qs, u"k"_qs, 0, false, false, 2);
    row("final sigma folds to sigma", u"λόγος"_qs, u"ΛΌΓΟΣ"_qs, 0, false, false, 0);
    row("sharp s is not ss", u"strasse"_qs, u"straße"_qs, 0, false, false, -1);
    row("Deseret folds outside the BMP", QString::fromUcs4(U"x\U00010400"), QString::fromUcs4(U"\U00010428"), 0,
        false, false, 1);
    row("long: Kelvin sign in a block", pad + u"\u212Aey"_qs + pad, u"KEY"_qs, 0, false, false, 37);
    row("cat in concatenate", u"concatenate"_qs, u"cat"_qs, 0, true, false, -1);
    row("cat in concatenate, any", u"concatenate"_qs, u"cat"_qs, 0, false, false, 3);
    row("cat in the cat sat", u"the cat sat"_qs, u"cat"_qs, 0, true, false, 4);
    row("skips the inner match", u"concatenate the cat"_qs, u"cat"_qs, 0, true, false, 16);
    row("a digit joins the word", u"cat9"_qs, u"cat"_qs, 0, true, false, -1);
    row("combining accent belongs to the word", u"cafe\u0301 au lait"_qs, u"cafe"_qs, 0, true, false, -1);
    row("accent spelt apart is another text", u"cafe\u0301"_qs, u"café"_qs, 0, false, false, -1);
    row("x before a letter outside the BMP", u"x"_qs + boldA, u"x"_qs, 0, true, false, -1);
    row("x after a letter outside the BMP", boldA + u"x"_qs, u"x"_qs, 0, true, false, -1);
    row("x apart from it", u"x "_qs + boldA, u"x"_qs, 0, true, false, 0);
    row("never half a surrogate pair", u"a"_qs + boldA, QString(boldA.at(1)), 0, false, true, -1);
    row("third line counts both breaks", u"one\r\ntwo\r\nthree"_qs, u"three"_qs, 0, false, false, 10);
    row("no wrap-around", u"abc def"_qs, u"abc"_qs, 1, false, false, -1);
    row("longer than the rest", u"abc ab"_qs, u"abc"_qs, 4, false, false, -1);
    row("empty search text", u"abc"_qs, QString(), 0, false, false, -1);
}

void TestTextSearch::find()
{
    QFETCH(QString, text);
    QFETCH(QString, what);
    QFETCH(int, from);
    QFETCH(bool, wholeWord);
    QFETCH(bool, matchCase);
    QFETCH(int, expected);
    QCOMPARE(TextSearch::find(text, what, from, -1, wholeWord, matchCase), expected);
}

QTEST_APPLESS_MAIN(TestTextSearch)
#include "tst_textsearch.moc"
