#include "print/PrintRun.h"

#include "print/PageLayout.h"
#include "print/TPrinter.h"

QRect PrintRun::layoutRectTwips(const QSize &printablePixels, int pixelsPerInchX, int pixelsPerInchY)
{
    if (pixelsPerInchX <= 0 || pixelsPerInchY <= 0)
        return {};
    const qint64 right = qint64(printablePixels.width()) * PageLayout::TwipsPerInch / pixelsPerInchX;
    const qint64 bottom = qint64(printablePixels.height()) * PageLayout::TwipsPerInch / pixelsPerInchY;
    return QRect(0, 0, int(right), int(bottom));
}

int PrintRun::pageLoop(int total, const std::function<int(int first)> &formatPage,
                       const std::function<void()> &newPage)
{
    int sheets = 1;
    int first = 0;
    for (;;) {
        const int next = formatPage(first);
        if (next < 0 || next >= total || next <= first)
            break;
        newPage();
        ++sheets;
        first = next;
    }
    return sheets;
}

int PrintRun::drawPages(PageLayout &layout, QPainter &canvas, const QRect &areaTwips,
                        const std::function<void()> &newPage)
{
    canvas.save();
    layout.dropCache();
    const int sheets = pageLoop(
        layout.textLength(), [&](int first) { return layout.formatRange(canvas, areaTwips, first); }, newPage);
    layout.dropCache();
    canvas.restore();
    return sheets;
}

void PrintRun::print(const RichEdit &editor, const QString &title)
{
    TPrinter &printer = TPrinter::instance();
    printer.setTitle(title);
    // The text as it is now: the window stays live while pages spool, and edits made
    // meanwhile belong to the next run.
    PageLayout layout(editor);
    printer.beginDoc();
    try {
        QPainter &canvas = printer.canvas();
        const QRect area = layoutRectTwips(QSize(printer.pageWidth(), printer.pageHeight()),
                                           printer.pixelsPerInchX(), printer.pixelsPerInchY());
        drawPages(layout, canvas, area, [&] { printer.newPage(); });
        printer.endDoc();
    } catch (...) {
        printer.abortDoc();
        throw;
    }
}
