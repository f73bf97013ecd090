#include "storage/PadMerge.h"
#include "storage/PageNames.h"

#include <QRandomGenerator>
#include <QtTest>

class TestPadMerge : public QObject
{
    Q_OBJECT

private slots:
    void merge_data();
    void merge();
    void randomPadsLoseNoEdit_data();
    void randomPadsLoseNoEdit();
};

namespace {

using namespace Qt::StringLiterals;

// "S=e|W=m": pages S and W, with texts e and m; each page's stored bytes name the side it was read on.
NotePages pad(const QString &notation, const char *side)
{
    NotePages pages;
    for (const QString &page : notation.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const qsizetype equals = page.indexOf(QLatin1Char('='));
        pages.append({page.left(equals), page.mid(equals + 1), side, side});
    }
    return pages;
}

// "S=e@o|S (2)=k@t~": whose stored text each page has, and ~ where its name has none.
QString notation(const PadMergeResult &result)
{
    QStringList pages;
    for (const MergedPage &merged : result.pages) {
        const NotePage &p = merged.page;
        pages.append(p.name + QLatin1Char('=') + p.text + QLatin1Char('@') + QString::fromLatin1(p.storedText)
                     + (p.storedName.isNull() ? QStringLiteral("~") : QString()));
    }
    return pages.join(QLatin1Char('|'));
}

constexpr char Pad[] = "S=e|W=m";
constexpr int RandomRounds = 3000;
constexpr quint32 RandomSeed = 20261209;

} // namespace

void TestPadMerge::merge_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("ours");
    QTest::addColumn<QString>("theirs");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("notice");

    const QString pad = QString::fromLatin1(Pad), merged = u"Merged changes from disk"_s;
    const auto told = [&](const QString &what) { return merged + u": "_s + what; };
    QTest::newRow("nobody changed it") << pad << pad << pad << "S=e@o|W=m@o" << "";
    QTest::newRow("changed there") << pad << pad << "S=k|W=m" << "S=k@t|W=m@o" << told(u"S updated"_s);
    QTest::newRow("changed here") << pad << "S=k|W=m" << pad << "S=k@o|W=m@o" << "";
    QTest::newRow("changed on both sides") << pad << "S=k|W=m" << "S=b|W=m" << "S=k@o|S (2)=b@t~|W=m@o"
                                           << told(u"S kept twice"_s);
    QTest::newRow("changed alike on both sides") << pad << "S=k|W=m" << "S=k|W=m" << "S=k@o|W=m@o" << "";
    QTest::newRow("copy's name unique whatever the case") << "S=e|s (2)=x" << "S=k|s (2)=x" << "S=b|s (2)=x"
                                                          << "S=k@o|s (2)=x@o|S (3)=b@t~" << told(u"S kept twice"_s);
    QTest::newRow("renamed there in another case") << pad << pad << "s=e|W=m" << "s=e@t|W=m@o" << told(u"s updated"_s);
    QTest::newRow("added there") << pad << pad << "S=e|W=m|N=x" << "S=e@o|W=m@o|N=x@t" << told(u"N added"_s);
    QTest::newRow("added here") << pad << "S=e|N=x|W=m" << pad << "S=e@o|N=x@o|W=m@o" << "";
    QTest::newRow("removed there, unchanged here") << pad << pad << "W=m" << "W=m@o" << told(u"S removed"_s);
    QTest::newRow("removed there, changed here") << pad << "S=k|W=m" << "W=m" << "S=k@o|W=m@o" << "";
    QTest::newRow("removed here, unchanged there") << pad << "W=m" << pad << "W=m@o" << "";
    QTest::newRow("removed here, changed there") << pad << "W=m" << "S=k|W=m" << "S=k@t|W=m@o" << told(u"S added"_s);
    QTest::newRow("repeated names matched in order") << "S=a|S=b" << "S=a|S=c" << "S=x|S=b" << "S=x@t|S=c@o"
                                                     << told(u"S updated"_s);
    QTest::newRow("order is theirs, pages only here after their predecessor")
        << "A=1|B=2|C=3" << "A=1|X=9|Y=8|B=2|C=3" << "C=3|A=1|B=2" << "C=3@o|A=1@o|X=9@o|Y=8@o|B=2@o" << merged;
    QTest::newRow("page only here follows the nearest page kept")
        << "A=1|B=2|C=3" << "A=1|B=2|X=9|C=3" << "A=1|C=3" << "A=1@o|X=9@o|C=3@o" << told(u"B removed"_s);
    QTest::newRow("page only here before all others") << "A=1" << "X=9|A=1" << "A=2" << "X=9@o|A=2@t"
                                                      << told(u"A updated"_s);
    QTest::newRow("conflict copy, identical") << "" << "A=1|B=2" << "A=1|B=2" << "A=1@o|B=2@o" << "";
    QTest::newRow("conflict copy, differing") << "" << "A=1|B=2" << "A=1|B=3|C=4" << "A=1@o|B=2@o|B (2)=3@t~|C=4@t"
                                              << told(u"B kept twice; C added"_s);
    QTest::newRow("many names shortened") << "A=1|B=1|C=1|D=1|E=1" << "A=1|B=1|C=1|D=1|E=1" << "A=2|B=2|C=2|D=2|E=1"
                                          << "A=2@t|B=2@t|C=2@t|D=2@t|E=1@o" << told(u"A, B, C and 1 more updated"_s);
    QTest::newRow("all parts, most important first") << "A=1|B=1|C=1" << "A=2|B=1|C=1" << "A=3|C=2|D=1"
                                                     << "A=2@o|A (2)=3@t~|C=2@t|D=1@t"
                                                     << told(u"A kept twice; B removed; D added; C updated"_s);
    QTest::newRow("repeated name, untouched page matched by text") << "A=1|A=2" << "A=1y|A=2" << "A=2" << "A=1y@o|A=2@o"
                                                                    << "";
    QTest::newRow("repeated name, removed page matched by text") << "A=1|A=2|A=3" << "A=1|A=3" << "A=1|A=2|A=3x"
                                                                 << "A=1@o|A=3x@t" << told(u"A updated"_s);
    QTest::newRow("repeated empty name, added before") << "=x" << "=x" << "=|=x" << "=@t|=x@o" << told(u" added"_s);
    QTest::newRow("conflict copy again: its copy is here") << "" << "A=1|A (2)=2" << "A=2" << "A=1@o|A (2)=2@o" << "";
    QTest::newRow("conflict copy again: its added page is here")
        << "" << "A=1|a (2)=2" << "A=1|A=2" << "A=1@o|a (2)=2@o" << "";
    QTest::newRow("same text under a name in another case") << "" << "S=e|Σ=1" << "s=e|ς=1" << "S=e@o|Σ=1@o" << "";
    QTest::newRow("both added a name, one removed the other's number")
        << "Shop (2)=x" << "SHOP=" << "Shop (2)=x|Shop=" << "SHOP=@o" << "";
    QTest::newRow("order is ours when theirs moved nothing") << "A=1|B=2" << "B=2|A=1" << "A=1|B=2|C=3"
                                                            << "B=2@o|C=3@t|A=1@o" << told(u"C added"_s);
    QTest::newRow("copy after earlier numbered copies") << "" << "M=a|M (2)=b|N=c" << "M=d"
                                                        << "M=a@o|M (2)=b@o|M (3)=d@t~|N=c@o" << told(u"M kept twice"_s);
    QTest::newRow("each side removed the page the other changed") << "a=1|A=2" << "a=2" << "a=3" << "a (2)=3@t~|a=2@o"
                                                                   << told(u"a added"_s);
    // A stored name is cut to its byte limit; the copy's number must survive the cut.
    const QString n(4095, u'n');
    QTest::newRow("longest name keeps its number")
        << n + u"=1"_s << n + u"=2"_s << n + u"=3"_s << n + u"=2@o|"_s + n.left(4091) + u" (2)=3@t~"_s
        << told(n.left(39) + QChar(0x2026) + u" kept twice"_s);
}

void TestPadMerge::merge()
{
    QFETCH(QString, base);
    QFETCH(QString, ours);
    QFETCH(QString, theirs);
    QFETCH(QString, expected);
    QFETCH(QString, notice);

    // Names are hashed in the C locale, and compared by a collator in others.
    for (const QLocale &locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedStates)}) {
        QLocale::setDefault(locale);
        const PadMergeResult result = mergePads(pad(base, "b"), pad(ours, "o"), pad(theirs, "t"));
        QCOMPARE(notation(result), expected);
        QCOMPARE(result.notice(), notice);
        QCOMPARE(result.changed(), !notice.isEmpty());
        // The same file again, as the window merges it: its base is then that file.
        const NotePages again = base.isEmpty() ? NotePages() : pad(theirs, "t");
        QVERIFY(!mergePads(again, result.notePages(), pad(theirs, "t")).changed());
    }
    QLocale::setDefault(QLocale::system());
}

void TestPadMerge::randomPadsLoseNoEdit_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("names");
    const QStringList ascii = {u"a"_s, u"A"_s, u"b"_s, u"B"_s, u"c"_s};
    // Equal when folded, in both Unicode forms, full-width, a numbered copy, a dotless i.
    const QStringList wide = {u"\u03a3"_s, u"\u03c2"_s, u"\u00e9"_s, u"e\u0301"_s, u"\uff41"_s, u"a"_s, u"A (2)"_s, u"I"_s, u"\u0131"_s};
    QTest::newRow("C") << QLocale::c() << ascii;
    QTest::newRow("C, wide") << QLocale::c() << wide;
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates) << ascii;
    QTest::newRow("English, wide") << QLocale(QLocale::English, QLocale::UnitedStates) << wide;
    QTest::newRow("Turkish") << QLocale(QLocale::Turkish, QLocale::Turkey) << QStringList{u"i"_s, u"I"_s, u"\u0131"_s};
}

void TestPadMerge::randomPadsLoseNoEdit()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, names);
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    QRandomGenerator random(RandomSeed);
    const QStringList texts = {u""_s, u"x"_s, u"y"_s, u"xy"_s};
    const auto pick = [&](const QStringList &from) { return from[random.bounded(int(from.size()))]; };
    const auto edited = [&](NotePages pages) {
        for (int edits = random.bounded(4); edits > 0; --edits) {
            const int at = random.bounded(int(pages.size()) + 1);
            switch (random.bounded(4)) {
            case 0: pages.insert(at, {pick(names), pick(texts)}); break;
            case 1: if (at < pages.size()) pages.removeAt(at); break;
            case 2: if (at < pages.size()) pages[at].text = pick(texts); break;
            case 3: if (at < pages.size()) pages[at].name = pick(names); break;
            }
        }
        return pages;
    };
    const PageNames pageNames;
    const auto unique = [&](const NotePages &pages) {
        for (int i = 0; i < pages.size(); ++i)
            for (int j = 0; j < i; ++j)
                if (pageNames.same(pages[i].name, pages[j].name))
                    return false;
        return true;
    };

    for (int round = 0; round < RandomRounds; ++round) {
        NotePages base;
        for (int n = random.bounded(5); n > 0; --n)
            base.append({pick(names), pick(texts)});
        const NotePages ours = edited(base);
        const NotePages theirs = random.bounded(4) == 0 ? base : edited(base);
        const NotePages merged = mergePads(base, ours, theirs).notePages();
        const QByteArray where = QByteArray::number(round);

        const auto kept = [&](const NotePage &page) {
            return std::any_of(merged.begin(), merged.end(), [&](const NotePage &m) {
                return m.text == page.text
                       && (pageNames.same(m.name, page.name)
                           || pageNames.same(m.name.left(m.name.lastIndexOf(u" ("_s)), page.name));
            });
        };
        // Every edit on either side is in the merge, under its own name or a copy's.
        for (const NotePages *side : {&ours, &theirs})
            for (const NotePage &page : *side)
                QVERIFY2(base.contains(page) || kept(page), where);
        for (const NotePage &page : merged)
            QVERIFY2(ours.contains(page) || theirs.contains(page) || page.name.contains(u" ("_s), where);
        if (unique(ours) && unique(theirs))
            QVERIFY2(unique(merged), where);
        if (ours == base)
            QVERIFY2(merged == theirs, where);
        // Order included: a file that moved nothing leaves ours as it is.
        if (theirs == base)
            QVERIFY2(merged == ours, where);
        // The same file again, or the same conflict copy again, changes nothing.
        QVERIFY2(!mergePads(theirs, merged, theirs).changed(), where);
        const NotePages copied = mergePads({}, ours, theirs).notePages();
        QVERIFY2(!mergePads({}, copied, theirs).changed(), where);
    }
}

QTEST_GUILESS_MAIN(TestPadMerge)
#include "tst_padmerge.moc"
