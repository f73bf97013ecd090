#pragma once

#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

class TabStrip;

// What assistive technology sees of a TabStrip: the strip holds the page widget, a
// page-tab list with one page tab per tab, and the scroll buttons while they show.
// Interfaces for the tabs are made only when asked for, so a pad of many pages costs
// nothing until a screen reader walks it.
class TabStripAccessible : public QAccessibleWidget
{
public:
    explicit TabStripAccessible(TabStrip *strip);
    ~TabStripAccessible() override;

    // Registers the factory with Qt; safe to call more than once.
    static void install();
    // Notifications from the strip, sent only while accessibility is active.
    static void currentChanged(TabStrip *strip);
    static void tabsChanged(TabStrip *strip);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;

    // The page-tab list.
    QAccessibleInterface *tabList() const;
    TabStrip *strip() const;

private:
    QList<QWidget *> childWidgets() const;

    mutable QAccessible::Id m_listId = 0;
};
