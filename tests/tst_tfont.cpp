#include "core/TColor.h"
#include "storage/TFont.h"
#include "widgets/FontColour.h"

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QtTest>

Q_DECLARE_METATYPE(TFontStyles)

class TestTFont : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mulDivRounding_data();
    void mulDivRounding();
    void defaults_data();
    void defaults();
    void sizeSetsHeight_data();
    void sizeSetsHeight();
    void heightGivesSize_data();
    void heightGivesSize();
    void charsetKeepsLowByte_data();
    void charsetKeepsLowByte();
    void name_data();
    void name();
    void toQFont_data();
    void toQFont();
    void textColour_data();
    void textColour();
    void colourEncoding_data();
    void colourEncoding();
};

namespace {
// Distinct colours for the palette roles, so a wrong mapping cannot pass by coincidence.
const QColor BaseColour(1, 2, 3);
const QColor TextColour(4, 5, 6);
const QColor ButtonColour(7, 8, 9);
const QColor HighlightColour(10, 11, 12);
const QColor HighlightedTextColour(13, 14, 15);
}

void TestTFont::initTestCase()
{
    QPalette palette;
    palette.setColor(QPalette::Base, BaseColour);
    palette.setColor(QPalette::Text, TextColour);
    palette.setColor(QPalette::Button, ButtonColour);
    palette.setColor(QPalette::Highlight, HighlightColour);
    palette.setColor(QPalette::HighlightedText, HighlightedTextColour);
    QGuiApplication::setPalette(palette);
}

void TestTFont::mulDivRounding_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");

    QTest::newRow("exact") << 12 << 96 << 72 << 16;
    QTest::newRow("rounds down") << 8 << 120 << 72 << 13;   // 13.33
    QTest::newRow("rounds up") << 8 << 96 << 72 << 11;      // 10.67
    QTest::newRow("half up") << 3 << 1 << 2 << 2;           // 1.5
    QTest::newRow("negative half away") << -3 << 1 << 2 << -2; // -1.5
    QTest::newRow("negative rounds to nearest") << -11 << 72 << 96 << -8; // -8.25
    QTest::newRow("negative divisor") << 3 << 1 << -2 << -2;
    QTest::newRow("both negative") << -3 << 1 << -2 << 2;
    QTest::newRow("product beyond 32 bits") << 2000000000 << 3 << 4 << 1500000000;
    QTest::newRow("result beyond 32 bits") << 2000000000 << 3 << 1 << -1;
    QTest::newRow("divide by zero") << 5 << 5 << 0 << -1;
}

void TestTFont::mulDivRounding()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(mulDiv(a, b, c), expected);
}

void TestTFont::defaults_data()
{
    QTest::addColumn<int>("ppi");
    QTest::addColumn<int>("height");

    QTest::newRow("96 ppi") << 96 << -11;
    QTest::newRow("120 ppi") << 120 << -13;
    QTest::newRow("144 ppi") << 144 << -16;
}

void TestTFont::defaults()
{
    QFETCH(int, ppi);
    QFETCH(int, height);

    const TFont font(ppi);
    QCOMPARE(font.height(), height);
    QCOMPARE(font.size(), 8);
    QCOMPARE(font.charset(), 1);
    QCOMPARE(font.color(), TColor(0x80000008u));
    QCOMPARE(font.name(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(font.style(), TFontStyles());
}

void TestTFont::sizeSetsHeight_data()
{
    QTest::addColumn<int>("ppi");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("height");

    QTest::newRow("12 pt at 96") << 96 << 12 << -16;
    QTest::newRow("10 pt at 96") << 96 << 10 << -13;  // 13.33
    QTest::newRow("11 pt at 96") << 96 << 11 << -15;  // 14.67
    QTest::newRow("9 pt at 120") << 120 << 9 << -15;
    QTest::newRow("10 pt at 120") << 120 << 10 << -17; // 16.67
    QTest::newRow("10 pt at 144") << 144 << 10 << -20;
    QTest::newRow("zero") << 96 << 0 << 0;
    QTest::newRow("negative size") << 96 << -12 << 16;
}

void TestTFont::sizeSetsHeight()
{
    QFETCH(int, ppi);
    QFETCH(int, size);
    QFETCH(int, height);

    TFont font(ppi);
    font.setSize(size);
    QCOMPARE(font.height(), height);
}

void TestTFont::heightGivesSize_data()
{
    QTest::addColumn<int>("ppi");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("size");

    QTest::newRow("-16 at 96") << 96 << -16 << 12;
    QTest::newRow("-13 at 96") << 96 << -13 << 10;  // 9.75
    QTest::newRow("-14 at 96, half") << 96 << -14 << 11; // 10.5
    QTest::newRow("-15 at 96") << 96 << -15 << 11;  // 11.25
    QTest::newRow("-13 at 120") << 120 << -13 << 8; // 7.8
    QTest::newRow("-5 at 144, half") << 144 << -5 << 3; // 2.5
    QTest::newRow("positive cell height") << 96 << 10 << -8; // -7.5
}

void TestTFont::heightGivesSize()
{
    QFETCH(int, ppi);
    QFETCH(int, height);
    QFETCH(int, size);

    TFont font(ppi);
    font.setHeight(height);
    QCOMPARE(font.size(), size);
    QCOMPARE(font.height(), height);
}

void TestTFont::charsetKeepsLowByte_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("charset");

    QTest::newRow("300") << 300 << 44;
    QTest::newRow("256") << 256 << 0;
    QTest::newRow("-1") << -1 << 255;
    QTest::newRow("Shift-JIS") << 128 << 128;
}

void TestTFont::charsetKeepsLowByte()
{
    QFETCH(int, value);
    QFETCH(int, charset);

    TFont font(96);
    font.setCharset(value);
    QCOMPARE(font.charset(), charset);
}

void TestTFont::name_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");

    const QString forty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn");
    QTest::newRow("empty keeps the face") << "" << "MS Sans Serif";
    QTest::newRow("ordinary") << "DejaVu Sans" << "DejaVu Sans";
    QTest::newRow("40 characters keep 31") << forty << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    QTest::newRow("31 characters kept") << forty.left(31) << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
    QTest::newRow("32 characters") << forty.left(32) << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
}

void TestTFont::name()
{
    QFETCH(QString, given);
    QFETCH(QString, expected);

    TFont font(96);
    font.setName(given);
    QCOMPARE(font.name(), expected);
}

void TestTFont::toQFont_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<TFontStyles>("style");

    QTest::newRow("plain 8 pt") << 8 << TFontStyles();
    QTest::newRow("bold") << 12 << TFontStyles(fsBold);
    QTest::newRow("italic underline") << 10 << (fsItalic | fsUnderline);
    QTest::newRow("strikeout") << 9 << TFontStyles(fsStrikeOut);
    QTest::newRow("all four") << 20 << (fsBold | fsItalic | fsUnderline | fsStrikeOut);
}

void TestTFont::toQFont()
{
    QFETCH(int, size);
    QFETCH(TFontStyles, style);

    TFont font(120);
    font.setName(QStringLiteral("DejaVu Serif"));
    font.setSize(size);
    font.setStyle(style);
    const QFont qfont = ::toQFont(font);
    QCOMPARE(qfont.family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(qfont.pointSize(), size);
    QCOMPARE(qfont.bold(), bool(style & fsBold));
    QCOMPARE(qfont.italic(), bool(style & fsItalic));
    QCOMPARE(qfont.underline(), bool(style & fsUnderline));
    QCOMPARE(qfont.strikeOut(), bool(style & fsStrikeOut));
}

void TestTFont::textColour_data()
{
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("window text is automatic") << clWindowText << true << QColor();
    QTest::newRow("red") << TColor(0x0000FF) << false << QColor(255, 0, 0);
    QTest::newRow("navy") << TColor(0x800000) << false << QColor(0, 0, 128);
    QTest::newRow("window background") << TColor(0x80000005u) << false << BaseColour;
}

void TestTFont::textColour()
{
    QFETCH(TColor, colour);
    QFETCH(bool, automatic);
    QFETCH(QColor, expected);

    TFont font(96);
    font.setColor(colour);
    const std::optional<QColor> result = ::textColour(font);
    QCOMPARE(!result.has_value(), automatic);
    if (result)
        QCOMPARE(*result, expected);
}

void TestTFont::colourEncoding_data()
{
    QTest::addColumn<TColor>("colour");
    QTest::addColumn<bool>("system");
    QTest::addColumn<QColor>("resolved");

    QTest::newRow("yellow") << clYellow << false << QColor(255, 255, 0);
    QTest::newRow("blue") << TColor(0xFF0000) << false << QColor(0, 0, 255);
    QTest::newRow("mixed") << TColor(0x123456) << false << QColor(0x56, 0x34, 0x12);
    QTest::newRow("window text") << clWindowText << true << TextColour;
    QTest::newRow("window") << TColor(0x80000005u) << true << BaseColour;
    QTest::newRow("button face") << TColor(0x8000000Fu) << true << ButtonColour;
    QTest::newRow("highlight") << TColor(0x8000000Du) << true << HighlightColour;
    QTest::newRow("highlight text") << TColor(0x8000000Eu) << true << HighlightedTextColour;
    QTest::newRow("unknown system index") << TColor(0x800000F0u) << true << QColor(Qt::black);
}

void TestTFont::colourEncoding()
{
    QFETCH(TColor, colour);
    QFETCH(bool, system);
    QFETCH(QColor, resolved);

    QCOMPARE(isSystemColour(colour), system);
    QCOMPARE(resolveColour(colour), resolved);
    if (!system)
        QCOMPARE(fromQColor(resolved), colour);
}

QTEST_MAIN(TestTFont)
#include "tst_tfont.moc"
