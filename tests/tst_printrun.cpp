// The print run's arithmetic: the layout rectangle in twips and the page loop.

#include "print/PrintRun.h"

#include <QTest>

class TestPrintRun : public QObject
{
    Q_OBJECT

private slots:
    void layoutRectTwips_data();
    void layoutRectTwips();
    void pageLoop_data();
    void pageLoop();
};

void TestPrintRun::layoutRectTwips_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("ppiX");
    QTest::addColumn<int>("ppiY");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("600 x 300 ppi") << QSize(4800, 3000) << 600 << 300 << QRect(0, 0, 11520, 14400);
    QTest::newRow("remainder dropped") << QSize(7, 11) << 600 << 600 << QRect(0, 0, 16, 26);
    // 2 m of paper at 2400 ppi overflows 32 bits before the division.
    QTest::newRow("no overflow") << QSize(188976, 188976) << 2400 << 2400 << QRect(0, 0, 113385, 113385);
    QTest::newRow("no resolution") << QSize(4800, 3000) << 0 << 300 << QRect();
}

void TestPrintRun::layoutRectTwips()
{
    QFETCH(QSize, pixels);
    QFETCH(int, ppiX);
    QFETCH(int, ppiY);
    QFETCH(QRect, twips);
    QCOMPARE(PrintRun::layoutRectTwips(pixels, ppiX, ppiY), twips);
}

void TestPrintRun::pageLoop_data()
{
    QTest::addColumn<QList<int>>("answers"); // what each page pass returns, of 100 characters
    QTest::addColumn<QList<int>>("firsts");  // where each pass is asked to start
    QTest::newRow("three pages") << QList<int>{40, 80, 100} << QList<int>{0, 40, 80};
    QTest::newRow("layout reports the end") << QList<int>{40, -1} << QList<int>{0, 40};
    QTest::newRow("nothing fits on a page") << QList<int>{40, 40, 100} << QList<int>{0, 40};
    QTest::newRow("nothing fits on the first") << QList<int>{0, 100} << QList<int>{0};
}

void TestPrintRun::pageLoop()
{
    QFETCH(QList<int>, answers);
    QFETCH(QList<int>, firsts);
    QList<int> asked;
    int newPages = 0;
    const auto formatPage = [&](int first) {
        asked.append(first);
        return answers.value(asked.size() - 1, 100);
    };
    QCOMPARE(PrintRun::pageLoop(100, formatPage, [&] { ++newPages; }), firsts.size());
    QCOMPARE(asked, firsts);
    QCOMPARE(newPages, firsts.size() - 1);
}

QTEST_APPLESS_MAIN(TestPrintRun)
#include "tst_printrun.moc"
