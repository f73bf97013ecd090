#include "platform/TabStrip.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>

namespace {

constexpr QTabBar::Shape kShape = QTabBar::RoundedSouth;
// The page widget sits this far below the top of the page area.
constexpr int kPageTopGap = 2;
// What a caption shrinks to at the narrowest.
const QString kEllipsis = QStringLiteral("\u2026");

// Captions are shown literally; the style would take '&' as a mnemonic marker.
QString literal(QString text)
{
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace

TabStrip::TabStrip(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
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

int TabStrip::addTab(const QString &text)
{
    Tab tab;
    tab.text = text;
    measure(tab);
    m_tabs.append(tab);
    if (m_current < 0)
        m_current = 0;
    updateRowHeight();
    relayout();
    return count() - 1;
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
}

void TabStrip::clear()
{
    m_tabs.clear();
    m_current = -1;
    m_hovered = -1;
    updateRowHeight();
    relayout();
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
    update();
}

int TabStrip::rowCount() const
{
    ensureLayout();
    return m_rows;
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
    return index >= 0 && index < count() ? m_tabs[index].rect : QRect();
}

int TabStrip::tabAt(const QPoint &pos) const
{
    ensureLayout();
    for (int i = 0; i < count(); ++i) {
        if (m_tabs[i].rect.contains(pos))
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
    const int rows = placeTabs(width, nullptr, nullptr);
    const int height = page.height() + 2 * fw + kPageTopGap + rows * m_rowHeight;
    return QSize(width, height).expandedTo(minimum);
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
    painter.drawPrimitive(QStyle::PE_FrameTabWidget, frame);

    // The current tab goes last, so that it overlaps its neighbours.
    for (int i = 0; i < count(); ++i) {
        if (i != m_current)
            paintTab(painter, i);
    }
    if (m_current >= 0)
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
    option->rect = tab.rect;
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
    option->tabBarSize = QSize(width(), m_rows * m_rowHeight);
    option->tabBarRect = QRect(0, m_tabAreaTop, width(), m_rows * m_rowHeight);
    // Only a tab in the row next to the page joins the page's frame.
    if (m_current >= 0 && m_tabs[m_current].row == 0)
        option->selectedTabRect = m_tabs[m_current].rect;
}

void TabStrip::measure(Tab &tab) const
{
    QStyleOptionTab option;
    option.initFrom(this);
    option.shape = kShape;
    option.text = literal(tab.text);
    const int hspace = style()->pixelMetric(QStyle::PM_TabBarTabHSpace, &option, this);
    const int vspace = style()->pixelMetric(QStyle::PM_TabBarTabVSpace, &option, this);
    const QFontMetrics metrics = fontMetrics();
    tab.textWidth = metrics.horizontalAdvance(tab.text);
    const QSize contents(tab.textWidth + hspace, metrics.height() + vspace);
    tab.hint = style()->sizeFromContents(QStyle::CT_TabBarTab, &option, contents, this);
    tab.elidedFor = -1;
}

void TabStrip::remeasureAll()
{
    for (Tab &tab : m_tabs)
        measure(tab);
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

// Fills rows left to right; a tab wider than a whole row gets a row of its own,
// cut to the row's width. Rectangles are relative to the top of the tab area.
int TabStrip::placeTabs(int rowWidth, QList<QRect> *rects, QList<int> *rows) const
{
    rowWidth = qMax(1, rowWidth);
    int x = 0;
    int row = 0;
    for (const Tab &tab : m_tabs) {
        const int width = qMin(tab.hint.width(), rowWidth);
        if (x > 0 && x + width > rowWidth) {
            ++row;
            x = 0;
        }
        if (rects)
            rects->append(QRect(x, row * m_rowHeight, width, m_rowHeight));
        if (rows)
            rows->append(row);
        x += width;
    }
    return m_tabs.isEmpty() ? 0 : row + 1;
}

void TabStrip::relayout()
{
    QList<QRect> rects;
    QList<int> rows;
    const int rowCount = placeTabs(width(), &rects, &rows);
    // When the rows do not fit, the page area goes first, then the rows furthest from it.
    m_tabAreaTop = qMax(0, height() - rowCount * m_rowHeight);
    for (int i = 0; i < count(); ++i) {
        m_tabs[i].rect = rects[i].translated(0, m_tabAreaTop);
        m_tabs[i].row = rows[i];
    }
    m_layoutSize = size();
    const bool rowsChanged = rowCount != m_rows;
    m_rows = rowCount;
    layoutPage();
    update();
    if (rowsChanged) {
        updateGeometry();
        emit rowCountChanged(m_rows);
    }
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
    const int space = qMax(0, tab.rect.width() - (tab.hint.width() - tab.textWidth));
    if (tab.elidedFor != space) {
        tab.elided = literal(fontMetrics().elidedText(tab.text, Qt::ElideRight, space));
        tab.elidedFor = space;
    }
    return tab.elided;
}

bool TabStrip::isElided(int index) const
{
    return m_tabs[index].rect.width() < m_tabs[index].hint.width();
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
    update();
    emit currentChanged(m_current);
}

void TabStrip::setHovered(int index)
{
    if (index == m_hovered)
        return;
    m_hovered = index;
    update();
}
