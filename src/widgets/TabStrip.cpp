#include "widgets/TabStrip.h"

#include "widgets/TabStripAccessible.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr QTabBar::Shape kShape = QTabBar::RoundedSouth;
// The page widget sits this far below the top of the page area.
constexpr int kPageTopGap = 2;
// What a caption shrinks to at the narrowest.
const QString kEllipsis = QStringLiteral("\u2026");
// One wheel notch scrolls one row.
constexpr int kWheelStep = 120;

// Captions are shown literally; the style would take '&' as a mnemonic marker.
QString literal(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent)
{
    TabStripAccessible::install();
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    const auto scrollButton = [this](Qt::ArrowType arrow, const char *name, const char *accessibleName,
                                     int delta) {
        auto *button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAccessibleName(QString::fromLatin1(accessibleName));
        button->setArrowType(arrow);
        button->setAutoRaise(true);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->hide();
        connect(button, &QToolButton::clicked, this, [this, delta] { scrollRows(delta); });
        return button;
    };
    m_scrollUp = scrollButton(Qt::UpArrow, "ScrollUpButton", "Previous rows", -1);
    m_scrollDown = scrollButton(Qt::DownArrow, "ScrollDownButton", "Next rows", 1);
    updateRowHeight();
    relayout();
}

int TabStrip::count() const
{
    return int(m_tabs.size());
}

QString TabStrip::tabText(int index) const
{
    return index >= 0 && index < count() ? m_tabs[index].text : QString();
}

QStringList TabStrip::tabTexts() const
{
    QStringList texts;
    texts.reserve(m_tabs.size());
    for (const Tab &tab : m_tabs)
        texts.append(tab.text);
    return texts;
}

// Appending only ever touches the last row, so it costs the same however many tabs
// there are; only a taller tab, a new size or the start of scrolling needs them all.
int TabStrip::addTab(const QString &text)
{
    Tab tab;
    tab.text = text;
    measure(tab);
    const int height = m_tabs.isEmpty() ? tab.hint.height() : qMax(m_rowHeight, tab.hint.height());
    m_tabs.append(tab);
    if (m_current < 0)
        m_current = 0;
    if (height != m_rowHeight || size() != m_layoutSize) {
        m_rowHeight = height;
        relayout();
    } else {
        appendLayout(count() - 1);
    }
    tabsChanged();
    return count() - 1;
}

void TabStrip::addTabs(const QStringList &texts)
{
    if (texts.isEmpty())
        return;
    m_tabs.reserve(m_tabs.size() + texts.size());
    QHash<int, QSize> hints;
    for (const QString &text : texts) {
        Tab tab;
        tab.text = text;
        measure(tab, &hints);
        m_tabs.append(tab);
    }
    if (m_current < 0)
        m_current = 0;
    updateRowHeight();
    relayout();
    tabsChanged();
}

void TabStrip::removeTab(int index)
{
    if (index < 0 || index >= count())
        return;
    m_tabs.removeAt(index);
    if (m_tabs.isEmpty())
        m_current = -1;
    else if (index < m_current)
        --m_current;
    else if (index == m_current)
        m_current = qMin(index, count() - 1);
    m_hovered = -1;
    updateRowHeight();
    relayout();
    tabsChanged();
}

void TabStrip::clear()
{
    m_tabs.clear();
    m_current = -1;
    m_hovered = -1;
    m_firstRow = 0;
    updateRowHeight();
    relayout();
    tabsChanged();
}

int TabStrip::currentIndex() const
{
    return m_current;
}

void TabStrip::setCurrentIndex(int index)
{
    if (index < 0 || index >= count() || index == m_current)
        return;
    m_current = index;
    showCurrent();
}

void TabStrip::activateTab(int index)
{
    if (index >= 0 && index < count() && index != m_current)
        selectByUser(index);
}

int TabStrip::rowCount() const
{
    ensureLayout();
    return m_rows;
}

int TabStrip::visibleRowCount() const
{
    ensureLayout();
    return m_visibleRows;
}

int TabStrip::firstVisibleRow() const
{
    ensureLayout();
    return m_firstRow;
}

void TabStrip::scrollRows(int delta)
{
    ensureLayout();
    const int first = std::clamp(m_firstRow + delta, 0, qMax(0, m_rows - m_visibleRows));
    if (first == m_firstRow)
        return;
    m_firstRow = first;
    m_hovered = -1;
    updateScrollButtons();
    update();
}

QRect TabStrip::displayRect() const
{
    ensureLayout();
    const int fw = frameWidth();
    QRect r = paneRect().adjusted(fw, fw, -fw, -fw);
    if (r.width() < 0)
        r.setWidth(0);
    if (r.height() < 0)
        r.setHeight(0);
    return r;
}

QRect TabStrip::tabRect(int index) const
{
    ensureLayout();
    if (index < 0 || index >= count())
        return QRect();
    const Tab &tab = m_tabs[index];
    if (tab.row < m_firstRow || tab.row >= m_firstRow + m_visibleRows)
        return QRect();
    return QRect(tab.x, m_tabAreaTop + (tab.row - m_firstRow) * m_rowHeight, tab.width, m_rowHeight);
}

int TabStrip::tabAt(const QPoint &pos) const
{
    ensureLayout();
    if (m_visibleRows == 0 || m_rowHeight <= 0 || pos.y() < m_tabAreaTop || pos.x() < 0)
        return -1;
    const int row = m_firstRow + (pos.y() - m_tabAreaTop) / m_rowHeight;
    if (row >= m_firstRow + m_visibleRows || row >= m_rows)
        return -1;
    const int end = row + 1 < m_rows ? m_rowStarts[row + 1] : count();
    for (int i = m_rowStarts[row]; i < end; ++i) {
        if (pos.x() >= m_tabs[i].x && pos.x() < m_tabs[i].x + m_tabs[i].width)
            return i;
    }
    return -1;
}

void TabStrip::setPageWidget(QWidget *widget)
{
    if (widget != m_page) {
        if (m_page)
            m_page->hide();
        m_page = widget;
        if (widget && widget->parentWidget() != this)
            widget->setParent(this);
    }
    if (widget) {
        layoutPage();
        widget->show();
    }
    updateGeometry();
}

QWidget *TabStrip::pageWidget() const
{
    return m_page;
}

QSize TabStrip::sizeHint() const
{
    const QSize minimum = minimumSizeHint();
    const int fw = frameWidth();
    const QSize page = m_page ? m_page->sizeHint().expandedTo(QSize(0, 0)) : QSize(0, 0);
    const int width = qMax(minimum.width(), page.width() + 2 * fw);
    if (width != m_hintWidth) {
        m_hintRows = countRows(width);
        m_hintWidth = width;
    }
    const int pageHeight = page.height() + 2 * fw + kPageTopGap;
    // The rows ask for no more than the page does: beyond that they scroll.
    const int rowsHeight = qMin(m_hintRows * m_rowHeight, qMax(m_rowHeight, pageHeight));
    return QSize(width, pageHeight + rowsHeight).expandedTo(minimum);
}

QSize TabStrip::minimumSizeHint() const
{
    // Captions are elided rather than widening the strip, so no caption sets the width.
    Tab narrowest;
    narrowest.text = kEllipsis;
    measure(narrowest);
    return QSize(narrowest.hint.width(), m_rowHeight + 2 * frameWidth() + kPageTopGap);
}

bool TabStrip::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        setHovered(tabAt(static_cast<QHoverEvent *>(event)->position().toPoint()));
        break;
    case QEvent::HoverLeave:
        setHovered(-1);
        break;
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void TabStrip::paintEvent(QPaintEvent *)
{
    ensureLayout();
    QStylePainter painter(this);

    QStyleOptionTabWidgetFrame frame;
    initFrameOption(&frame);
    // The page covers most of the frame; filling it under the page made up a good
    // part of the window's first paint, and of every repaint of a large strip.
    painter.save();
    if (m_page && m_page->isVisible())
        painter.setClipRegion(QRegion(rect()) - m_page->geometry());
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
    painter.restore();
    if (m_visibleRows == 0)
        return;

    // Only the rows in view; the current tab goes last, so that it overlaps its neighbours.
    const int lastRow = m_firstRow + m_visibleRows;
    const int from = m_rowStarts[m_firstRow];
    const int to = lastRow < m_rows ? m_rowStarts[lastRow] : count();
    for (int i = from; i < to; ++i) {
        if (i != m_current)
            paintTab(painter, i);
    }
    if (m_current >= from && m_current < to)
        paintTab(painter, m_current);
}

// Each row is painted as if it were a tab bar of its own, at the painter's top:
// some styles flip south tabs about that line.
void TabStrip::paintTab(QStylePainter &painter, int index) const
{
    QStyleOptionTab option;
    initTabOption(&option, index);
    const int top = option.rect.top();
    option.rect.moveTop(0);
    painter.save();
    painter.translate(0, top);
    // Only the row next to the page may reach out of its row, to join the page's frame;
    // elsewhere the style's selected tab would blank the tab above it.
    if (m_tabs[index].row != m_firstRow)
        painter.setClipRect(QRect(0, 0, width(), m_rowHeight));
    painter.drawControl(QStyle::CE_TabBarTab, option);
    if (index == m_current && hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = style()->subElementRect(QStyle::SE_TabBarTabText, &option, this);
        if (focus.rect.isEmpty())
            focus.rect = option.rect;
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
    painter.restore();
}

void TabStrip::resizeEvent(QResizeEvent *)
{
    relayout();
}

void TabStrip::keyPressEvent(QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_Left:
            if (m_current > 0)
                selectByUser(m_current - 1);
            event->accept();
            return;
        case Qt::Key_Right:
            if (m_current >= 0 && m_current < count() - 1)
                selectByUser(m_current + 1);
            event->accept();
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void TabStrip::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    const int index = tabAt(event->position().toPoint());
    if (index >= 0 && index != m_current)
        selectByUser(index);
}

void TabStrip::wheelEvent(QWheelEvent *event)
{
    ensureLayout();
    if (m_visibleRows >= m_rows) {
        event->ignore();
        return;
    }
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / kWheelStep;
    m_wheelDelta -= steps * kWheelStep;
    // Wheel up shows the rows nearer the page.
    if (steps)
        scrollRows(-steps);
    event->accept();
}

void TabStrip::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        remeasureAll();
        relayout();
    }
    QWidget::changeEvent(event);
}

void TabStrip::initTabOption(QStyleOptionTab *option, int index) const
{
    const Tab &tab = m_tabs[index];
    option->initFrom(this);
    option->state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
    option->shape = kShape;
    option->rect = tabRect(index);
    option->text = drawnText(index);
    option->row = tab.row;
    option->documentMode = false;
    option->features |= QStyleOptionTab::HasFrame;
    if (index == m_current)
        option->state |= QStyle::State_Selected;
    if (index == m_hovered && underMouse())
        option->state |= QStyle::State_MouseOver;

    const bool firstInRow = index == 0 || m_tabs[index - 1].row != tab.row;
    const bool lastInRow = index == count() - 1 || m_tabs[index + 1].row != tab.row;
    if (firstInRow && lastInRow)
        option->position = QStyleOptionTab::OnlyOneTab;
    else if (firstInRow)
        option->position = QStyleOptionTab::Beginning;
    else if (lastInRow)
        option->position = QStyleOptionTab::End;
    else
        option->position = QStyleOptionTab::Middle;

    if (!firstInRow && m_current == index - 1)
        option->selectedPosition = QStyleOptionTab::PreviousIsSelected;
    else if (!lastInRow && m_current == index + 1)
        option->selectedPosition = QStyleOptionTab::NextIsSelected;
    else
        option->selectedPosition = QStyleOptionTab::NotAdjacent;
}

void TabStrip::initFrameOption(QStyleOptionTabWidgetFrame *option) const
{
    option->initFrom(this);
    option->rect = paneRect();
    option->shape = kShape;
    option->lineWidth = frameWidth();
    option->tabBarSize = QSize(width(), m_visibleRows * m_rowHeight);
    option->tabBarRect = QRect(0, m_tabAreaTop, width(), m_visibleRows * m_rowHeight);
    // Only a tab in the row next to the page joins the page's frame.
    if (m_current >= 0 && m_visibleRows > 0 && m_tabs[m_current].row == m_firstRow)
        option->selectedTabRect = tabRect(m_current);
}

// The style pads a caption the same whatever it says, so the size for a caption width
// can be kept for the next tab of that width: a pad of many pages loads faster.
void TabStrip::measure(Tab &tab, QHash<int, QSize> *hints) const
{
    tab.textWidth = fontMetrics().horizontalAdvance(tab.text);
    tab.elidedFor = -1;
    if (hints) {
        const auto known = hints->constFind(tab.textWidth);
        if (known != hints->constEnd()) {
            tab.hint = *known;
            return;
        }
    }
    QStyleOptionTab option;
    option.initFrom(this);
    option.shape = kShape;
    option.text = literal(tab.text);
    const int hspace = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
    const int vspace = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
    const QSize contents(tab.textWidth + hspace, fontMetrics().height() + vspace);
    tab.hint = style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this);
    if (hints)
        hints->insert(tab.textWidth, tab.hint);
}

void TabStrip::remeasureAll()
{
    QHash<int, QSize> hints;
    for (Tab &tab : m_tabs)
        measure(tab, &hints);
    updateRowHeight();
}

void TabStrip::updateRowHeight()
{
    if (m_tabs.isEmpty()) {
        Tab empty;
        measure(empty);
        m_rowHeight = empty.hint.height();
        return;
    }
    m_rowHeight = 0;
    for (const Tab &tab : m_tabs)
        m_rowHeight = qMax(m_rowHeight, tab.hint.height());
}

namespace {

// Fills rows left to right: a tab that does not fit on the row begun starts the next
// one, and a tab wider than a whole row gets a row of its own, cut to the row's width.
class RowFiller
{
public:
    struct Place
    {
        int x;
        int width;
        bool newRow;
    };

    explicit RowFiller(int rowWidth, int x = 0)
        : m_rowWidth(qMax(1, rowWidth))
        , m_x(x)
    {
    }

    Place next(int hintWidth)
    {
        const int width = qMin(hintWidth, m_rowWidth);
        const bool newRow = m_x > 0 && m_x + width > m_rowWidth;
        if (newRow)
            m_x = 0;
        const Place place{m_x, width, newRow};
        m_x += width;
        return place;
    }

private:
    int m_rowWidth;
    int m_x;
};

} // namespace

// After m_current has moved: its row in view, and the change told.
void TabStrip::showCurrent()
{
    ensureLayout();
    ensureCurrentVisible();
    updateScrollButtons();
    update();
    TabStripAccessible::currentChanged(this);
}

int TabStrip::countRows(int rowWidth) const
{
    RowFiller filler(rowWidth);
    int rows = m_tabs.isEmpty() ? 0 : 1;
    for (const Tab &tab : m_tabs)
        rows += filler.next(tab.hint.width()).newRow ? 1 : 0;
    return rows;
}

// Fills rows from tab first on, carrying on after the tab before it.
void TabStrip::placeFrom(int first)
{
    int x = 0;
    int row = 0;
    if (first > 0) {
        const Tab &previous = m_tabs[first - 1];
        x = previous.x + previous.width;
        row = previous.row;
        m_rowStarts.resize(row + 1);
    } else {
        m_rowStarts.clear();
    }
    RowFiller filler(m_rowWidth, x);
    for (int i = first; i < count(); ++i) {
        Tab &tab = m_tabs[i];
        const RowFiller::Place place = filler.next(tab.hint.width());
        if (i == 0) {
            m_rowStarts.append(0);
        } else if (place.newRow) {
            ++row;
            m_rowStarts.append(i);
        }
        tab.x = place.x;
        tab.width = place.width;
        tab.row = row;
    }
}

int TabStrip::maxVisibleRows() const
{
    return m_rowHeight > 0 ? qMax(1, height() / 2 / m_rowHeight) : 1;
}

int TabStrip::scrollButtonWidth() const
{
    return qMax(style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth, nullptr, this), m_rowHeight * 2 / 3);
}

void TabStrip::relayout()
{
    const int oldRows = m_rows;
    m_scrolling = false;
    m_rowWidth = width();
    placeFrom(0);
    if (int(m_rowStarts.size()) > maxVisibleRows()) {
        // The arrow buttons take the right end of every row.
        m_scrolling = true;
        m_rowWidth = width() - 2 * scrollButtonWidth();
        placeFrom(0);
    }
    finishLayout(oldRows);
}

void TabStrip::appendLayout(int first)
{
    const int oldRows = m_rows;
    placeFrom(first);
    if ((int(m_rowStarts.size()) > maxVisibleRows()) != m_scrolling) {
        relayout();
        return;
    }
    finishLayout(oldRows);
}

void TabStrip::finishLayout(int oldRows)
{
    m_rows = int(m_rowStarts.size());
    m_visibleRows = m_scrolling ? qMin(m_rows, maxVisibleRows()) : m_rows;
    // When the rows do not fit, the page area goes first, then the rows furthest from it.
    m_tabAreaTop = qMax(0, height() - m_visibleRows * m_rowHeight);
    m_firstRow = std::clamp(m_firstRow, 0, qMax(0, m_rows - m_visibleRows));
    ensureCurrentVisible();
    m_layoutSize = size();
    m_hintWidth = -1;
    updateScrollButtons();
    layoutPage();
    update();
    if (m_rows != oldRows) {
        updateGeometry();
        emit rowCountChanged(m_rows);
    }
}

void TabStrip::ensureCurrentVisible()
{
    if (m_current < 0 || m_current >= count() || m_visibleRows <= 0)
        return;
    const int row = m_tabs[m_current].row;
    if (row < m_firstRow)
        m_firstRow = row;
    else if (row >= m_firstRow + m_visibleRows)
        m_firstRow = row - m_visibleRows + 1;
}

void TabStrip::updateScrollButtons()
{
    m_scrollUp->setVisible(m_scrolling);
    m_scrollDown->setVisible(m_scrolling);
    if (!m_scrolling)
        return;
    const int buttonWidth = scrollButtonWidth();
    m_scrollUp->setGeometry(width() - 2 * buttonWidth, m_tabAreaTop, buttonWidth, m_rowHeight);
    m_scrollDown->setGeometry(width() - buttonWidth, m_tabAreaTop, buttonWidth, m_rowHeight);
    m_scrollUp->setEnabled(m_firstRow > 0);
    m_scrollDown->setEnabled(m_firstRow + m_visibleRows < m_rows);
}

void TabStrip::tabsChanged()
{
    TabStripAccessible::tabsChanged(this);
}

// A hidden widget gets its resize event only when shown; answer for its size now.
void TabStrip::ensureLayout() const
{
    if (size() != m_layoutSize)
        const_cast<TabStrip *>(this)->relayout();
}

void TabStrip::layoutPage()
{
    if (!m_page)
        return;
    QRect r = displayRect();
    r.setTop(qMin(r.top() + kPageTopGap, r.bottom() + 1));
    m_page->setGeometry(r);
}

int TabStrip::frameWidth() const
{
    QStyleOptionTabWidgetFrame option;
    option.initFrom(this);
    option.shape = kShape;
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
}

int TabStrip::baseOverlap() const
{
    QStyleOptionTab option;
    option.initFrom(this);
    option.shape = kShape;
    return style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, &option, this);
}

// The framed page area; it reaches into the first row by the style's overlap so the
// current tab can join it.
QRect TabStrip::paneRect() const
{
    if (m_rows == 0)
        return rect();
    return QRect(0, 0, width(), qMin(height(), m_tabAreaTop + baseOverlap()));
}

QString TabStrip::drawnText(int index) const
{
    const Tab &tab = m_tabs[index];
    if (!isElided(index))
        return literal(tab.text);
    const int space = qMax(0, tab.width - (tab.hint.width() - tab.textWidth));
    if (tab.elidedFor != space) {
        tab.elided = literal(fontMetrics().elidedText(tab.text, Qt::ElideRight, space));
        tab.elidedFor = space;
    }
    return tab.elided;
}

bool TabStrip::isElided(int index) const
{
    return m_tabs[index].width < m_tabs[index].hint.width();
}

void TabStrip::selectByUser(int index)
{
    const QPointer<TabStrip> self(this);
    bool allow = true;
    emit currentChanging(&allow);
    // The handler may have changed the tabs, or deleted the strip.
    if (!self || !allow || index < 0 || index >= count())
        return;
    m_current = index;
    showCurrent();
    emit currentChanged(m_current);
}

void TabStrip::setHovered(int index)
{
    if (index == m_hovered)
        return;
    m_hovered = index;
    update();
}
