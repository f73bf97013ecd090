#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include <functional>

class PageLayout;
class QPainter;
class RichEdit;

// Printing the editor's whole content on the selected printer, page by page over the
// full printable area, with nothing added: no margin, header, footer or page number.
namespace PrintRun {

// The layout rectangle in twips for a printable area in pixels at the given pixels per
// inch across and down; the remainder of each division is dropped.
QRect layoutRectTwips(const QSize &printablePixels, int pixelsPerInchX, int pixelsPerInchY);

// Lays out pages until the text of length total is used up. formatPage(first) draws one
// page from position first and returns where the next begins (-1: the end); newPage()
// starts the next sheet. A page that takes nothing ends the run rather than repeating
// for ever. Returns the number of sheets.
int pageLoop(int total, const std::function<int(int first)> &formatPage, const std::function<void()> &newPage);

// Draws every page of the layout with the painter, over the area given in twips;
// newPage() starts each sheet after the first. Returns the number of sheets.
int drawPages(PageLayout &layout, QPainter &canvas, const QRect &areaTwips, const std::function<void()> &newPage);

// Prints the editor's content as it stands now as one job named title.
// Throws EPrinter when the job cannot start.
void print(const RichEdit &editor, const QString &title);

} // namespace PrintRun
