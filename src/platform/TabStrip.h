#pragma once

#include <QStringList>
#include <QWidget>

// A tab strip with its tabs along the bottom edge, wrapping into as many rows as
// needed. The rows keep their order: selecting a tab never moves a row. It holds
// one page widget, laid out in the page area above the tabs.
class TabStrip : public QWidget
{
    Q_OBJECT

public:
    explicit TabStrip(QWidget *parent = nullptr);

    int count() const;
    QString tabText(int index) const;
    QStringList tabTexts() const;
    int addTab(const QString &text);    // appends; returns the new index
    void removeTab(int index);
    void clear();

    int currentIndex() const;           // -1 when there are no tabs
    void setCurrentIndex(int index);    // from code: raises no change signals

    int rowCount() const;
    // The page area (client coordinates) above the tab rows.
    QRect displayRect() const;

    // The widget shown in the page area, re-laid-out whenever the strip's size or row
    // count changes; its top edge sits 2 pixels below the page area's.
    void setPageWidget(QWidget *widget);
    QWidget *pageWidget() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Raised only for the user's clicks and arrow keys, never when code selects.
    // Before the move, with the old tab still current; clearing *allow refuses it.
    void currentChanging(bool *allow);
    // After the move.
    void currentChanged(int index);
    void rowCountChanged(int rows);
};
