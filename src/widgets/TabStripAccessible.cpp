#include "widgets/TabStripAccessible.h"

#include "widgets/TabStrip.h"

#include <QToolButton>
#include <QWindow>

namespace {

QRect toScreen(const TabStrip *strip, const QRect &rect)
{
    return rect.isEmpty() ? QRect() : QRect(strip->mapToGlobal(rect.topLeft()), rect.size());
}

QWindow *windowOf(const TabStrip *strip)
{
    return strip ? strip->window()->windowHandle() : nullptr;
}

// One page tab; it stands for whichever tab holds its index.
class PageTabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    PageTabAccessible(TabStrip *strip, int index)
        : m_strip(strip)
        , m_index(index)
    {
    }

    bool isValid() const override { return m_strip && m_index < m_strip->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return windowOf(m_strip); }
    QAccessibleInterface *parent() const override
    {
        auto *strip = m_strip ? static_cast<TabStripAccessible *>(QAccessible::queryAccessibleInterface(m_strip.data()))
                              : nullptr;
        return strip ? strip->tabList() : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && isValid() ? m_strip->tabText(m_index) : QString();
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override { return isValid() ? toScreen(m_strip, m_strip->tabRect(m_index)) : QRect(); }
    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.selectable = true;
        s.focusable = true;
        const bool current = m_strip->currentIndex() == m_index;
        s.selected = current;
        s.focused = current && m_strip->hasFocus();
        if (m_strip->tabRect(m_index).isEmpty()) {
            s.invisible = true;
            s.offscreen = true;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid())
            m_strip->activateTab(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    int index() const { return m_index; }

private:
    QPointer<TabStrip> m_strip;
    int m_index;
};

// The row of tabs itself; its children are the page tabs.
class PageTabListAccessible : public QAccessibleInterface
{
public:
    explicit PageTabListAccessible(TabStrip *strip)
        : m_strip(strip)
    {
    }

    ~PageTabListAccessible() override
    {
        for (const QAccessible::Id id : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(id);
    }

    bool isValid() const override { return m_strip; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return windowOf(m_strip); }
    QAccessibleInterface *parent() const override
    {
        return m_strip ? QAccessible::queryAccessibleInterface(m_strip.data()) : nullptr;
    }

    QAccessibleInterface *child(int index) const override
    {
        if (!m_strip || index < 0 || index >= m_strip->count())
            return nullptr;
        const auto it = m_tabs.constFind(index);
        if (it != m_tabs.constEnd())
            return QAccessible::accessibleInterface(*it);
        auto *tab = new PageTabAccessible(m_strip, index);
        m_tabs.insert(index, QAccessible::registerAccessibleInterface(tab));
        return tab;
    }

    int childCount() const override { return m_strip ? m_strip->count() : 0; }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || child->role() != QAccessible::PageTab || child->parent() != this)
            return -1;
        return static_cast<const PageTabAccessible *>(child)->index();
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        if (!m_strip)
            return nullptr;
        return child(m_strip->tabAt(m_strip->mapFromGlobal(QPoint(x, y))));
    }

    QString text(QAccessible::Text) const override { return QString(); }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!m_strip || m_strip->visibleRowCount() == 0)
            return QRect();
        const QRect page = m_strip->displayRect();
        return toScreen(m_strip, QRect(0, page.bottom() + 1, m_strip->width(), m_strip->height() - page.bottom() - 1));
    }

    QAccessible::Role role() const override { return QAccessible::PageTabList; }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_strip) {
            s.invalid = true;
            return s;
        }
        s.focusable = true;
        s.focused = m_strip->hasFocus();
        return s;
    }

private:
    QPointer<TabStrip> m_strip;
    mutable QHash<int, QAccessible::Id> m_tabs;
};

QAccessibleInterface *tabStripFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TabStrip") && object && object->isWidgetType())
        return new TabStripAccessible(static_cast<TabStrip *>(object));
    return nullptr;
}

} // namespace

TabStripAccessible::TabStripAccessible(TabStrip *strip)
    : QAccessibleWidget(strip, QAccessible::Client)
{
}

TabStripAccessible::~TabStripAccessible()
{
    if (m_listId)
        QAccessible::deleteAccessibleInterface(m_listId);
}

void TabStripAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(tabStripFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

TabStrip *TabStripAccessible::strip() const
{
    return static_cast<TabStrip *>(widget());
}

QAccessibleInterface *TabStripAccessible::tabList() const
{
    if (m_listId)
        return QAccessible::accessibleInterface(m_listId);
    auto *list = new PageTabListAccessible(strip());
    m_listId = QAccessible::registerAccessibleInterface(list);
    return list;
}

// The page first, then the tabs, then whichever scroll buttons show.
QList<QWidget *> TabStripAccessible::childWidgets() const
{
    QList<QWidget *> widgets;
    if (QWidget *page = strip()->pageWidget(); page && page->isVisibleTo(strip()))
        widgets.append(page);
    for (QToolButton *button : strip()->findChildren<QToolButton *>(Qt::FindDirectChildrenOnly)) {
        if (button->isVisibleTo(strip()))
            widgets.append(button);
    }
    return widgets;
}

int TabStripAccessible::childCount() const
{
    return int(childWidgets().size()) + 1;
}

QAccessibleInterface *TabStripAccessible::child(int index) const
{
    const QList<QWidget *> widgets = childWidgets();
    const bool hasPage = !widgets.isEmpty() && widgets.first() == strip()->pageWidget();
    const int listIndex = hasPage ? 1 : 0;
    if (index == listIndex)
        return tabList();
    const int widgetIndex = index < listIndex ? index : index - 1;
    if (index < 0 || widgetIndex >= widgets.size())
        return nullptr;
    return QAccessible::queryAccessibleInterface(widgets.at(widgetIndex));
}

int TabStripAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    for (int i = 0; i < childCount(); ++i) {
        if (this->child(i) == child)
            return i;
    }
    return -1;
}

QAccessibleInterface *TabStripAccessible::childAt(int x, int y) const
{
    for (int i = 0; i < childCount(); ++i) {
        QAccessibleInterface *c = child(i);
        if (c && c->rect().contains(x, y))
            return c;
    }
    return nullptr;
}

void TabStripAccessible::currentChanged(TabStrip *strip)
{
    if (!QAccessible::isActive() || strip->currentIndex() < 0)
        return;
    auto *iface = static_cast<TabStripAccessible *>(QAccessible::queryAccessibleInterface(strip));
    QAccessibleInterface *tab = iface ? iface->tabList()->child(strip->currentIndex()) : nullptr;
    if (!tab)
        return;
    QAccessibleEvent selection(tab, QAccessible::Selection);
    QAccessible::updateAccessibility(&selection);
    if (strip->hasFocus()) {
        QAccessibleEvent focus(tab, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void TabStripAccessible::tabsChanged(TabStrip *strip)
{
    if (!QAccessible::isActive())
        return;
    auto *iface = static_cast<TabStripAccessible *>(QAccessible::queryAccessibleInterface(strip));
    if (!iface)
        return;
    QAccessibleEvent reorder(iface->tabList(), QAccessible::ObjectReorder);
    QAccessible::updateAccessibility(&reorder);
}
