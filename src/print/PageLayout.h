#pragma once

#include <QColor>
#include <QRect>

#include <memory>

class QPainter;
class QTextDocument;
class RichEdit;

// The editor's page-by-page layout for printing, over a snapshot of its content taken
// when the layout is made: later edits in the editor do not reach a run under way.
// Positions count a line break as two characters, as the editor's do.
class PageLayout
{
public:
    static constexpr int TwipsPerInch = 1440;

    explicit PageLayout(const RichEdit &editor);
    ~PageLayout();
    PageLayout(const PageLayout &) = delete;
    PageLayout &operator=(const PageLayout &) = delete;

    // Length of the snapshot's text.
    int textLength() const;

    // Lays out the text from position first onwards on the painter's device, into the
    // area given in twips at the painter's origin, and draws what fits. Returns the
    // position of the first character that did not fit, or textLength() when all did.
    // A page always takes at least one line, cut off when it is taller than the area.
    int formatRange(QPainter &painter, const QRect &areaTwips, int first);

    // Forgets the layout kept between calls for the same device and area.
    void dropCache();

private:
    struct Cache;

    void layOut(QPainter &painter, const QRect &areaTwips);
    int toDocument(int crlfPosition) const;
    int toCrlf(int documentPosition) const;

    std::unique_ptr<QTextDocument> m_document;
    QColor m_textColour;
    std::unique_ptr<Cache> m_cache;
};
