#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QRect>
#include <QStringList>
#include <QWidget>

class QStyleOptionTab;
class QStyleOptionTabWidgetFrame;
class QStylePainter;
class QToolButton;

// A tab strip with its tabs along the bottom edge, wrapping into as many rows as
// needed. The rows keep their order: selecting a tab never moves a row. It holds
// one page widget, laid out in the page area above the tabs.
//
// Row 0, holding tab 0, lies next to the page area; later rows follow below it, so
// a newly added tab lands at the end of the bottom row.
//
// The rows take at most half of the strip's height, so the page keeps its room;
// beyond that the rows scroll (wheel, or the two arrow buttons at the right end of
// the tab area), and the current tab's row is brought into view whenever the
// selection or the layout changes.
class TabStrip : public QWidget
{
    Q_OBJECT

public:
    explicit TabStrip(QWidget *parent = nullptr);

    int count() const;
    QString tabText(int index) const;   // the full caption, however it is drawn
    QStringList tabTexts() const;
    int addTab(const QString &text);    // appends; returns the new index
    void addTabs(const QStringList &texts); // appends all, laid out once
    void removeTab(int index);          // out-of-range indexes are ignored
    void clear();

    int currentIndex() const;           // -1 when there are no tabs
    void setCurrentIndex(int index);    // from code: raises no change signals; out of range is ignored

    // Selects a tab as the user's click does, change signals included.
    void activateTab(int index);

    int rowCount() const;               // 0 when there are no tabs
    int visibleRowCount() const;
    int firstVisibleRow() const;
    // Scrolls the rows by delta (negative: towards row 0), as the arrow buttons do.
    void scrollRows(int delta);
    // The page area (client coordinates) above the tab rows.
    QRect displayRect() const;

    // Client rectangle of a tab, empty for an index out of range or a row out of view.
    QRect tabRect(int index) const;
    // Index of the tab under a client point, or -1.
    int tabAt(const QPoint &pos) const;

    // The widget shown in the page area, re-laid-out whenever the strip's size or row
    // count changes; its top edge sits 2 pixels below the page area's. The strip
    // becomes its parent; a widget replaced by another is hidden, not deleted.
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

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Tab
    {
        QString text;
        int textWidth = 0;      // advance of the caption in the current font
        QSize hint;             // natural size, before clamping to the strip's width
        int x = 0;
        int width = 0;
        int row = 0;
        mutable QString elided; // caption as last drawn into a narrower rect
        mutable int elidedFor = -1;
    };

    void initTabOption(QStyleOptionTab *option, int index) const;
    void initFrameOption(QStyleOptionTabWidgetFrame *option) const;
    void paintTab(QStylePainter &painter, int index) const;
    void measure(Tab &tab, QHash<int, QSize> *hints = nullptr) const;
    void remeasureAll();
    int countRows(int rowWidth) const;
    void placeFrom(int first);
    int maxVisibleRows() const;
    int scrollButtonWidth() const;
    void relayout();
    void appendLayout(int first);
    void finishLayout(int oldRows);
    void ensureCurrentVisible();
    void showCurrent();
    void updateScrollButtons();
    void tabsChanged();
    void ensureLayout() const;
    void layoutPage();
    void updateRowHeight();
    int frameWidth() const;
    int baseOverlap() const;
    QRect paneRect() const;
    QString drawnText(int index) const;
    bool isElided(int index) const;
    void selectByUser(int index);
    void setHovered(int index);

    QList<Tab> m_tabs;
    QList<int> m_rowStarts; // index of the first tab of each row
    int m_current = -1;
    int m_rows = 0;
    int m_rowWidth = 0;     // width the rows are filled to
    int m_visibleRows = 0;
    int m_firstRow = 0;
    int m_wheelDelta = 0;
    bool m_scrolling = false;
    QToolButton *m_scrollUp = nullptr;
    QToolButton *m_scrollDown = nullptr;
    int m_tabAreaTop = 0;
    int m_hovered = -1;
    int m_rowHeight = 0;
    QSize m_layoutSize;     // the size the rows were last placed for
    mutable int m_hintWidth = -1; // sizeHint() cache
    mutable int m_hintRows = 0;
    QPointer<QWidget> m_page;
};
