// What the page layout draws on paper: the text colour on a light and a dark page.

#include "editor/PageLayout.h"
#include "editor/RichEdit.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <optional>

namespace {

const QColor Yellow(0xFF, 0xFF, 0x00);
const QColor Navy(0x00, 0x00, 0x80);
const QColor Red(0xFF, 0x00, 0x00);
constexpr int SheetPixels = 400;
constexpr int ChannelTolerance = 40;

// The inked pixel that stands out most from the white sheet.
QColor strongestInk(const QImage &sheet)
{
    QColor strongest(Qt::white);
    int most = 0;
    for (int y = 0; y < sheet.height(); ++y) {
        for (int x = 0; x < sheet.width(); ++x) {
            const QColor pixel = sheet.pixelColor(x, y);
            const int distance = (255 - pixel.red()) + (255 - pixel.green()) + (255 - pixel.blue());
            if (distance > most) {
                most = distance;
                strongest = pixel;
            }
        }
    }
    return strongest;
}

} // namespace

class TestPageLayout : public QObject
{
    Q_OBJECT

private slots:
    void printedTextColour_data();
    void printedTextColour();
};

void TestPageLayout::printedTextColour_data()
{
    QTest::addColumn<QColor>("page");
    QTest::addColumn<QColor>("chosen"); // invalid: the automatic colour
    QTest::addColumn<QColor>("printed");

    QTest::newRow("light page, automatic colour") << Yellow << QColor() << QColor(Qt::black);
    QTest::newRow("dark page, automatic colour") << Navy << QColor() << QColor(Qt::black);
    QTest::newRow("light page, red chosen") << Yellow << Red << Red;
    QTest::newRow("dark page, yellow chosen") << Navy << Yellow << Yellow;
}

void TestPageLayout::printedTextColour()
{
    QFETCH(QColor, page);
    QFETCH(QColor, chosen);
    QFETCH(QColor, printed);

    RichEdit editor;
    editor.setBackgroundColour(page);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(20);
    font.setBold(true);
    editor.setDefaultFont(font, chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt);
    editor.setText(QStringLiteral("Milk, bread\r\nWWW"));

    QImage sheet(SheetPixels, SheetPixels, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    PageLayout layout(editor);
    const int twips = SheetPixels * PageLayout::TwipsPerInch / sheet.logicalDpiX();
    QCOMPARE(layout.formatRange(painter, QRect(0, 0, twips, twips), 0), layout.textLength());
    painter.end();

    const QColor ink = strongestInk(sheet);
    QVERIFY2(qAbs(ink.red() - printed.red()) <= ChannelTolerance
                 && qAbs(ink.green() - printed.green()) <= ChannelTolerance
                 && qAbs(ink.blue() - printed.blue()) <= ChannelTolerance,
             qPrintable(QStringLiteral("printed in %1, not %2").arg(ink.name(), printed.name())));
}

QTEST_MAIN(TestPageLayout)
#include "tst_pagelayout.moc"
