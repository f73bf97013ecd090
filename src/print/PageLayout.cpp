#include "print/PageLayout.h"

#include "editor/RichEdit.h"
#include "core/CrlfPositions.h"
#include "widgets/FontColour.h"

#include <QAbstractTextDocumentLayout>
#include <QPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>


struct PageLayout::Cache
{
    QPaintDevice *device = nullptr;
    QRect area;
    qreal width = 0;
    qreal height = 0;
};

namespace {

// Below this contrast with white paper, text prints black.
constexpr double MinimumInkContrast = 3.0;

// Device pixels by which the drawing band is narrowed at top and bottom.
constexpr qreal EdgeTolerance = 0.25;

qreal twipsToPixels(int twips, int pixelsPerInch)
{
    return qreal(qint64(twips) * pixelsPerInch / PageLayout::TwipsPerInch);
}

// A line's top and bottom in document coordinates.
struct LineSpan
{
    qreal top = 0;
    qreal bottom = 0;
};

LineSpan spanOf(QAbstractTextDocumentLayout *layout, const QTextBlock &block, const QTextLine &line)
{
    // The block's rectangle is in document coordinates, its lines relative to the block.
    const qreal origin = layout->blockBoundingRect(block).top() - block.layout()->boundingRect().top();
    const qreal top = origin + line.y();
    return {top, top + line.height()};
}

} // namespace

PageLayout::PageLayout(const RichEdit &editor)
    : m_document(editor.document()->clone())
{
    // The editor's text colour lives in its palette, not in the document. The automatic
    // colour prints as the dark text of paper, however the screen made it readable on
    // the page's background; so does a chosen colour too light to read on white paper,
    // such as the white or yellow picked for a dark page.
    m_textColour = editor.textColour().value_or(QColor(Qt::black));
    if (contrastRatio(m_textColour, Qt::white) < MinimumInkContrast)
        m_textColour = Qt::black;
    m_document->setDocumentMargin(0);
    QTextOption option = m_document->defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_document->setDefaultTextOption(option);
}

PageLayout::~PageLayout() = default;

int PageLayout::textLength() const
{
    return m_document->characterCount() - 1 + m_document->blockCount() - 1;
}

void PageLayout::dropCache()
{
    m_cache.reset();
}

void PageLayout::layOut(QPainter &painter, const QRect &areaTwips)
{
    QPaintDevice *device = painter.device();
    if (m_cache && m_cache->device == device && m_cache->area == areaTwips)
        return;
    m_cache = std::make_unique<Cache>();
    m_cache->device = device;
    m_cache->area = areaTwips;
    m_cache->width = twipsToPixels(areaTwips.width(), device->logicalDpiX());
    m_cache->height = twipsToPixels(areaTwips.height(), device->logicalDpiY());
    // Measured on the printer itself, so lines break as they will on paper.
    m_document->documentLayout()->setPaintDevice(device);
    m_document->setTextWidth(m_cache->width);
}

int PageLayout::toDocument(int crlfPosition) const
{
    const QTextDocument *doc = m_document.get();
    return CrlfPositions::toDocument(
        crlfPosition, doc->blockCount(), [doc](int n) { return doc->findBlockByNumber(n).position(); },
        doc->characterCount() - 1);
}

int PageLayout::toCrlf(int documentPosition) const
{
    return CrlfPositions::fromDocument(documentPosition, m_document->findBlock(documentPosition).blockNumber());
}

int PageLayout::formatRange(QPainter &painter, const QRect &areaTwips, int first)
{
    layOut(painter, areaTwips);
    const int total = textLength();
    if (first >= total && total > 0)
        return total;

    QAbstractTextDocumentLayout *layout = m_document->documentLayout();
    const int start = toDocument(first);
    QTextBlock block = m_document->findBlock(start);
    if (!block.isValid())
        block = m_document->lastBlock();
    layout->blockBoundingRect(block); // lays the block out
    int lineIndex = std::max(0, block.layout()->lineForTextPosition(start - block.position()).lineNumber());

    qreal pageTop = -1;
    qreal pageBottom = 0;
    int next = total;
    bool placedOne = false;
    for (; block.isValid() && next == total; block = block.next(), lineIndex = 0) {
        layout->blockBoundingRect(block);
        const QTextLayout *lines = block.layout();
        for (int i = lineIndex; i < lines->lineCount(); ++i) {
            const QTextLine line = lines->lineAt(i);
            const LineSpan span = spanOf(layout, block, line);
            if (pageTop < 0)
                pageTop = span.top;
            if (placedOne && span.bottom - pageTop > m_cache->height) {
                next = toCrlf(block.position() + line.textStart());
                break;
            }
            placedOne = true;
            pageBottom = span.bottom;
        }
    }
    if (pageTop < 0)
        pageTop = 0;
    pageBottom = std::min(pageBottom, pageTop + m_cache->height);

    painter.save();
    painter.translate(0, -pageTop);
    const QRectF band(0, pageTop, m_cache->width, pageBottom - pageTop);
    painter.setClipRect(band);
    QAbstractTextDocumentLayout::PaintContext context;
    // Lines just touching the band belong to the sheets before and after; a clipped
    // line would still leave its text in the job.
    context.clip = band.adjusted(0, EdgeTolerance, 0, -EdgeTolerance);
    context.palette.setColor(QPalette::Text, m_textColour);
    layout->draw(&painter, context);
    painter.restore();
    return next;
}
