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
    void randomPadsLoseNoEdit();
};

namespace {

// "Shop=eggs|Work=mail"; each page's stored bytes name the side it was read on.
NotePages pad(const QString &notation, const char *side)
{
    NotePages pages;
    for (const QString &page : notation.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const qsizetype equals = page.indexOf(QLatin1Char('='));
        pages.append({page.left(equals), page.mid(equals + 1), side, side});
    }
    return pages;
}

// "Shop=eggs@o|Shop (2)=milk@t~": whose stored text each page has, and ~ where its name has none.
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

constexpr char Pad[] = "Shop=eggs|Work=mail";
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

    const QString pad = QString::fromLatin1(Pad);
    const QString merged = QStringLiteral("Merged changes from disk");
    QTest::newRow("nobody changed it") << pad << pad << pad << "Shop=eggs@o|Work=mail@o" << "";
    QTest::newRow("changed there") << pad << pad << "Shop=milk|Work=mail" << "Shop=milk@t|Work=mail@o"
                                   << merged + QStringLiteral(": Shop updated");
    QTest::newRow("changed here") << pad << "Shop=milk|Work=mail" << pad << "Shop=milk@o|Work=mail@o" << "";
    QTest::newRow("changed on both sides") << pad << "Shop=milk|Work=mail" << "Shop=bread|Work=mail"
                                           << "Shop=milk@o|Shop (2)=bread@t~|Work=mail@o"
                                           << merged + QStringLiteral(": Shop kept twice");
    QTest::newRow("changed alike on both sides") << pad << "Shop=milk|Work=mail" << "Shop=milk|Work=mail"
                                                 << "Shop=milk@o|Work=mail@o" << "";
    QTest::newRow("copy's name unique whatever the case")
        << "Shop=eggs|shop (2)=x" << "Shop=milk|shop (2)=x" << "Shop=bread|shop (2)=x"
        << "Shop=milk@o|Shop (3)=bread@t~|shop (2)=x@o" << merged + QStringLiteral(": Shop kept twice");
    QTest::newRow("renamed there in another case") << pad << pad << "SHOP=eggs|Work=mail"
                                                   << "SHOP=eggs@t|Work=mail@o" << merged + QStringLiteral(": SHOP updated");
    QTest::newRow("added there") << pad << pad << "Shop=eggs|Work=mail|New=x" << "Shop=eggs@o|Work=mail@o|New=x@t"
                                 << merged + QStringLiteral(": New added");
    QTest::newRow("added here") << pad << "Shop=eggs|New=x|Work=mail" << pad << "Shop=eggs@o|New=x@o|Work=mail@o"
                                << "";
    QTest::newRow("removed there, unchanged here") << pad << pad << "Work=mail" << "Work=mail@o"
                                                   << merged + QStringLiteral(": Shop removed");
    QTest::newRow("removed there, changed here") << pad << "Shop=milk|Work=mail" << "Work=mail"
                                                 << "Shop=milk@o|Work=mail@o" << "";
    QTest::newRow("removed here, unchanged there") << pad << "Work=mail" << pad << "Work=mail@o" << "";
    QTest::newRow("removed here, changed there") << pad << "Work=mail" << "Shop=milk|Work=mail"
                                                 << "Shop=milk@t|Work=mail@o" << merged + QStringLiteral(": Shop added");
    QTest::newRow("repeated names matched in order") << "Shop=a|Shop=b" << "Shop=a|Shop=c" << "Shop=x|Shop=b"
                                                     << "Shop=x@t|Shop=c@o" << merged + QStringLiteral(": Shop updated");
    QTest::newRow("order is theirs, pages only here after their predecessor")
        << "A=1|B=2|C=3" << "A=1|X=9|Y=8|B=2|C=3" << "C=3|A=1|B=2" << "C=3@o|A=1@o|X=9@o|Y=8@o|B=2@o" << merged;
    QTest::newRow("page only here follows the nearest page kept")
        << "A=1|B=2|C=3" << "A=1|B=2|X=9|C=3" << "A=1|C=3" << "A=1@o|X=9@o|C=3@o" << merged + QStringLiteral(": B removed");
    QTest::newRow("page only here before all others") << "A=1" << "X=9|A=1" << "A=2" << "X=9@o|A=2@t"
                                                      << merged + QStringLiteral(": A updated");
    QTest::newRow("conflict copy, identical") << "" << "A=1|B=2" << "A=1|B=2" << "A=1@o|B=2@o" << "";
    QTest::newRow("conflict copy, differing") << "" << "A=1|B=2" << "A=1|B=3|C=4" << "A=1@o|B=2@o|B (2)=3@t~|C=4@t"
                                              << merged + QStringLiteral(": B kept twice; C added");
    QTest::newRow("many names shortened") << "A=1|B=1|C=1|D=1|E=1" << "A=1|B=1|C=1|D=1|E=1" << "A=2|B=2|C=2|D=2|E=1"
                                          << "A=2@t|B=2@t|C=2@t|D=2@t|E=1@o"
                                          << merged + QStringLiteral(": A, B, C and 1 more updated");
    QTest::newRow("all parts, most important first")
        << "A=1|B=1|C=1" << "A=2|B=1|C=1" << "A=3|C=2|D=1" << "A=2@o|A (2)=3@t~|C=2@t|D=1@t"
        << merged + QStringLiteral(": A kept twice; B removed; D added; C updated");
    // A stored name is cut to its byte limit; the copy's number must survive the cut.
    const QString longName(4095, QLatin1Char('n'));
    QTest::newRow("longest name keeps its number")
        << longName + QStringLiteral("=1") << longName + QStringLiteral("=2") << longName + QStringLiteral("=3")
        << longName + QStringLiteral("=2@o|") + longName.left(4091) + QStringLiteral(" (2)=3@t~") << merged + QStringLiteral(": ") + longName.left(39) + QChar(0x2026) + QStringLiteral(" kept twice");
}

void TestPadMerge::merge()
{
    QFETCH(QString, base);
    QFETCH(QString, ours);
    QFETCH(QString, theirs);
    QFETCH(QString, expected);
    QFETCH(QString, notice);

    const PadMergeResult result = mergePads(pad(base, "b"), pad(ours, "o"), pad(theirs, "t"));
    QCOMPARE(notation(result), expected);
    QCOMPARE(result.notice(), notice);
    QCOMPARE(result.changed(), !notice.isEmpty());
}

void TestPadMerge::randomPadsLoseNoEdit()
{
    QRandomGenerator random(RandomSeed);
    const QStringList names = {QStringLiteral("a"), QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("B"), QStringLiteral("c")};
    const QStringList texts = {QStringLiteral(""), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral("xy")};
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

        for (const NotePages *side : {&ours, &theirs}) {
            for (const NotePage &page : *side) {
                if (base.contains(page))
                    continue;
                const bool kept = std::any_of(merged.begin(), merged.end(), [&](const NotePage &m) {
                    return m.text == page.text && (m.name == page.name || m.name.startsWith(page.name + QStringLiteral(" (")));
                });
                QVERIFY2(kept, where);
            }
        }
        for (const NotePage &page : merged)
            QVERIFY2(ours.contains(page) || theirs.contains(page) || page.name.contains(QStringLiteral(" (")), where);
        if (unique(ours) && unique(theirs))
            QVERIFY2(unique(merged), where);
        if (ours == base)
            QVERIFY2(merged == theirs, where);
        if (theirs == base) {
            QVERIFY2(merged.size() == ours.size(), where);
            for (const NotePage &page : ours)
                QVERIFY2(merged.count(page) == ours.count(page), where);
        }
    }
}

QTEST_GUILESS_MAIN(TestPadMerge)
#include "tst_padmerge.moc"
