#include "widgets/TabStrip.h"

#include <QApplication>
#include <QToolButton>
#include <QWheelEvent>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {

const QString kCaption = QStringLiteral("Page");
constexpr int kWide = 4000;
constexpr int kHeight = 300;

// Rows as the geometry shows them: 0 for the row nearest the page (the topmost),
// counting downwards.
QList<int> observedRows(const TabStrip &strip)
{
    QList<int> tops;
    for (int i = 0; i < strip.count(); ++i) {
        if (!tops.contains(strip.tabRect(i).top()))
            tops.append(strip.tabRect(i).top());
    }
    std::sort(tops.begin(), tops.end());
    QList<int> rows;
    for (int i = 0; i < strip.count(); ++i)
        rows.append(int(tops.indexOf(strip.tabRect(i).top())));
    return rows;
}

int distinctRows(const TabStrip &strip)
{
    const QList<int> rows = observedRows(strip);
    return rows.isEmpty() ? 0 : *std::max_element(rows.begin(), rows.end()) + 1;
}

int ceilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

} // namespace

class TabStripTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsGrowAsTabsAreAdded_data();
    void rowsGrowAsTabsAreAdded();
    void rowsShrinkAsTabsAreRemoved_data();
    void rowsShrinkAsTabsAreRemoved();
    void rowsFollowTheWidth_data();
    void rowsFollowTheWidth();
    void selectingNeverMovesRows_data();
    void selectingNeverMovesRows();
    void pageWidgetFollowsDisplayRect_data();
    void pageWidgetFollowsDisplayRect();
    void codeRaisesNoChangeSignals_data();
    void codeRaisesNoChangeSignals();
    void removeKeepsASaneSelection_data();
    void removeKeepsASaneSelection();
    void userChangeRaisesChangingThenChanged_data();
    void userChangeRaisesChangingThenChanged();
    void refusedChangeKeepsSelection_data();
    void refusedChangeKeepsSelection();
    void nothingToChangeRaisesNothing_data();
    void nothingToChangeRaisesNothing();
    void longCaptionIsElidedNotWidened();
    void captionsFollowTheInheritedFont();
    void stripTakesFocusBeforeItsPage();

    void selectedRowIsInView_data();
    void selectedRowIsInView();
    void rowsScrollByWheelAndButtons_data();
    void rowsScrollByWheelAndButtons();
    void fewTabsDoNotScroll();

private:
    TabStrip *makeStrip(int tabs, int width);
    int naturalTabWidth();
    void userAction(TabStrip *strip, const QString &action, int target);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QWidget> m_host;
};

void TabStripTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
    qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
    m_host = std::make_unique<QWidget>();
    m_host->resize(400, kHeight);
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TabStripTest::cleanup()
{
    m_host.reset();
    m_dir.reset();
}

// A shown strip inside the host window, so that resizes take effect at once.
TabStrip *TabStripTest::makeStrip(int tabs, int width)
{
    auto *strip = new TabStrip(m_host.get());
    strip->setGeometry(0, 0, width, kHeight);
    strip->show();
    for (int i = 0; i < tabs; ++i)
        strip->addTab(kCaption);
    return strip;
}

int TabStripTest::naturalTabWidth()
{
    std::unique_ptr<TabStrip> strip(makeStrip(1, kWide));
    return strip->tabRect(0).width();
}

void TabStripTest::userAction(TabStrip *strip, const QString &action, int target)
{
    if (action == QLatin1String("click")) {
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(target).center());
    } else {
        strip->setFocus();
        QTest::keyClick(strip, action == QLatin1String("left") ? Qt::Key_Left : Qt::Key_Right);
    }
}

void TabStripTest::rowsGrowAsTabsAreAdded_data()
{
    QTest::addColumn<int>("perRow");
    QTest::addColumn<int>("tabs");
    QTest::newRow("one per row") << 1 << 4;
    QTest::newRow("two per row") << 2 << 7;
    QTest::newRow("three per row") << 3 << 10;
}

void TabStripTest::rowsGrowAsTabsAreAdded()
{
    QFETCH(int, perRow);
    QFETCH(int, tabs);
    const int w = naturalTabWidth();
    QVERIFY(w > 0);
    std::unique_ptr<TabStrip> strip(makeStrip(0, perRow * w + w / 2));
    QSignalSpy rowSpy(strip.get(), &TabStrip::rowCountChanged);

    for (int n = 1; n <= tabs; ++n) {
        QCOMPARE(strip->addTab(kCaption), n - 1);
        QCOMPARE(strip->rowCount(), ceilDiv(n, perRow));
        QCOMPARE(distinctRows(*strip), strip->rowCount());
        // The new tab sits at the end of the last row.
        QCOMPARE(observedRows(*strip).last(), strip->rowCount() - 1);
        QCOMPARE(observedRows(*strip).first(), 0);
    }
    QCOMPARE(rowSpy.count(), ceilDiv(tabs, perRow));
    QCOMPARE(rowSpy.last().at(0).toInt(), ceilDiv(tabs, perRow));
}

void TabStripTest::rowsShrinkAsTabsAreRemoved_data()
{
    QTest::addColumn<int>("removeAt");
    QTest::newRow("first") << 0;
    QTest::newRow("middle") << 3;
    QTest::newRow("last") << 6;
}

void TabStripTest::rowsShrinkAsTabsAreRemoved()
{
    QFETCH(int, removeAt);
    const int w = naturalTabWidth();
    const int perRow = 3;
    std::unique_ptr<TabStrip> strip(makeStrip(7, perRow * w + w / 2));
    QCOMPARE(strip->rowCount(), 3);
    QSignalSpy rowSpy(strip.get(), &TabStrip::rowCountChanged);

    strip->removeTab(removeAt);
    QCOMPARE(strip->count(), 6);
    QCOMPARE(strip->rowCount(), 2);
    QCOMPARE(distinctRows(*strip), 2);
    QCOMPARE(rowSpy.count(), 1);

    while (strip->count() > 0) {
        strip->removeTab(0);
        QCOMPARE(strip->rowCount(), ceilDiv(strip->count(), perRow));
    }
    QCOMPARE(rowSpy.last().at(0).toInt(), 0);
}

void TabStripTest::rowsFollowTheWidth_data()
{
    QTest::addColumn<int>("fromPerRow");
    QTest::addColumn<int>("toPerRow");
    QTest::addColumn<bool>("shown");
    QTest::newRow("widened") << 2 << 5 << true;
    QTest::newRow("widened to one row") << 1 << 6 << true;
    QTest::newRow("narrowed") << 6 << 2 << true;
    // A hidden widget gets no resize event until shown.
    QTest::newRow("widened while hidden") << 2 << 5 << false;
    QTest::newRow("narrowed while hidden") << 6 << 1 << false;
}

void TabStripTest::rowsFollowTheWidth()
{
    QFETCH(int, fromPerRow);
    QFETCH(int, toPerRow);
    QFETCH(bool, shown);
    const int tabs = 6;
    const int w = naturalTabWidth();
    std::unique_ptr<TabStrip> strip(makeStrip(tabs, fromPerRow * w + w / 2));
    auto *page = new QWidget;
    strip->setPageWidget(page);
    QCOMPARE(strip->rowCount(), ceilDiv(tabs, fromPerRow));
    if (!shown)
        strip->hide();
    QSignalSpy rowSpy(strip.get(), &TabStrip::rowCountChanged);

    strip->resize(toPerRow * w + w / 2, kHeight);
    QCOMPARE(strip->rowCount(), ceilDiv(tabs, toPerRow));
    QCOMPARE(distinctRows(*strip), strip->rowCount());
    QCOMPARE(rowSpy.count(), 1);
    QCOMPARE(rowSpy.at(0).at(0).toInt(), strip->rowCount());
    QCOMPARE(page->geometry(), strip->displayRect().adjusted(0, 2, 0, 0));
}

void TabStripTest::selectingNeverMovesRows_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("target");
    QTest::newRow("code, last row") << "code" << 6;
    QTest::newRow("code, middle row") << "code" << 4;
    QTest::newRow("click, last row") << "click" << 6;
    QTest::newRow("click, middle row") << "click" << 3;
}

void TabStripTest::selectingNeverMovesRows()
{
    QFETCH(QString, how);
    QFETCH(int, target);
    const int w = naturalTabWidth();
    std::unique_ptr<TabStrip> strip(makeStrip(7, 3 * w + w / 2));
    QList<QRect> before;
    for (int i = 0; i < strip->count(); ++i)
        before.append(strip->tabRect(i));
    const QList<int> rowsBefore = observedRows(*strip);
    QCOMPARE(rowsBefore.first(), 0);

    if (how == QLatin1String("code"))
        strip->setCurrentIndex(target);
    else
        userAction(strip.get(), how, target);
    QCOMPARE(strip->currentIndex(), target);

    QCOMPARE(observedRows(*strip), rowsBefore);
    for (int i = 0; i < strip->count(); ++i)
        QCOMPARE(strip->tabRect(i), before.at(i));

    // Nor does a later re-layout bring the current row forward.
    strip->resize(strip->width() + 1, strip->height() - 1);
    QCOMPARE(observedRows(*strip), rowsBefore);
}

void TabStripTest::pageWidgetFollowsDisplayRect_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("one row") << 1 << 400 << 250;
    QTest::newRow("many rows") << 12 << 300 << 250;
    QTest::newRow("narrow") << 5 << 120 << 400;
    QTest::newRow("short") << 3 << 500 << 90;
}

void TabStripTest::pageWidgetFollowsDisplayRect()
{
    QFETCH(int, tabs);
    QFETCH(int, width);
    QFETCH(int, height);
    std::unique_ptr<TabStrip> strip(makeStrip(0, 200));
    auto *page = new QWidget;
    strip->setPageWidget(page);
    QCOMPARE(strip->pageWidget(), page);
    QCOMPARE(page->parentWidget(), strip.get());

    for (int i = 0; i < tabs; ++i)
        strip->addTab(kCaption + QString::number(i));
    strip->resize(width, height);

    const QRect display = strip->displayRect();
    QCOMPARE(page->geometry(), display.adjusted(0, 2, 0, 0));
    QVERIFY(page->isVisible());
    // The page area lies above every tab and inside the strip.
    QVERIFY(strip->rect().contains(display) || display.isEmpty());
    for (int i = 0; i < strip->count(); ++i)
        QVERIFY(strip->tabRect(i).top() >= display.bottom());

    // One more row takes its height from the page.
    const int rowsBefore = strip->rowCount();
    const int pageHeightBefore = page->height();
    while (strip->rowCount() == rowsBefore)
        strip->addTab(kCaption);
    QCOMPARE(page->geometry(), strip->displayRect().adjusted(0, 2, 0, 0));
    if (strip->visibleRowCount() < strip->rowCount()) // the rows scroll instead
        QCOMPARE(page->height(), pageHeightBefore);
    else if (pageHeightBefore > 0)
        QVERIFY(page->height() < pageHeightBefore);
}

void TabStripTest::codeRaisesNoChangeSignals_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("setCurrentIndex") << "select";
    QTest::newRow("addTab") << "add";
    QTest::newRow("removeTab current") << "removeCurrent";
    QTest::newRow("removeTab other") << "removeOther";
    QTest::newRow("clear") << "clear";
}

void TabStripTest::codeRaisesNoChangeSignals()
{
    QFETCH(QString, operation);
    std::unique_ptr<TabStrip> strip(makeStrip(4, 300));
    strip->setCurrentIndex(1);
    QSignalSpy changing(strip.get(), &TabStrip::currentChanging);
    QSignalSpy changed(strip.get(), &TabStrip::currentChanged);

    if (operation == QLatin1String("select"))
        strip->setCurrentIndex(3);
    else if (operation == QLatin1String("add"))
        strip->addTab(kCaption);
    else if (operation == QLatin1String("removeCurrent"))
        strip->removeTab(1);
    else if (operation == QLatin1String("removeOther"))
        strip->removeTab(0);
    else
        strip->clear();

    QCOMPARE(changing.count(), 0);
    QCOMPARE(changed.count(), 0);
}

void TabStripTest::removeKeepsASaneSelection_data()
{
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("removed");
    QTest::newRow("before current") << 5 << 3 << 1;
    QTest::newRow("after current") << 5 << 1 << 3;
    QTest::newRow("current in the middle") << 5 << 2 << 2;
    QTest::newRow("current and last") << 5 << 4 << 4;
    QTest::newRow("only tab") << 1 << 0 << 0;
    QTest::newRow("out of range") << 3 << 1 << 7;
}

void TabStripTest::removeKeepsASaneSelection()
{
    QFETCH(int, tabs);
    QFETCH(int, current);
    QFETCH(int, removed);
    std::unique_ptr<TabStrip> strip(makeStrip(0, 300));
    for (int i = 0; i < tabs; ++i)
        strip->addTab(QStringLiteral("tab %1").arg(i));
    strip->setCurrentIndex(current);
    const QString currentText = strip->tabText(current);

    strip->removeTab(removed);
    const int expectedCount = removed < tabs ? tabs - 1 : tabs;
    QCOMPARE(strip->count(), expectedCount);
    if (expectedCount == 0) {
        QCOMPARE(strip->currentIndex(), -1);
        QCOMPARE(strip->rowCount(), 0);
        return;
    }
    QVERIFY(strip->currentIndex() >= 0 && strip->currentIndex() < expectedCount);
    // Unless the current tab went, the same tab stays current.
    if (removed != current)
        QCOMPARE(strip->tabText(strip->currentIndex()), currentText);
    else
        QVERIFY(!strip->tabTexts().contains(currentText));
}

void TabStripTest::userChangeRaisesChangingThenChanged_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("target");
    QTest::newRow("click to a later row") << "click" << 0 << 5;
    QTest::newRow("click to an earlier tab") << "click" << 4 << 1;
    QTest::newRow("left") << "left" << 3 << 2;
    QTest::newRow("right") << "right" << 3 << 4;
    QTest::newRow("right into next row") << "right" << 2 << 3;
}

void TabStripTest::userChangeRaisesChangingThenChanged()
{
    QFETCH(QString, action);
    QFETCH(int, start);
    QFETCH(int, target);
    const int w = naturalTabWidth();
    std::unique_ptr<TabStrip> strip(makeStrip(6, 3 * w + w / 2));
    strip->setCurrentIndex(start);

    QStringList log;
    connect(strip.get(), &TabStrip::currentChanging, strip.get(), [&](bool *allow) {
        QVERIFY(allow && *allow);
        log << QStringLiteral("changing %1").arg(strip->currentIndex());
    });
    connect(strip.get(), &TabStrip::currentChanged, strip.get(), [&](int index) {
        log << QStringLiteral("changed %1 %2").arg(index).arg(strip->currentIndex());
    });

    userAction(strip.get(), action, target);

    const QStringList expected{QStringLiteral("changing %1").arg(start),
                               QStringLiteral("changed %1 %1").arg(target)};
    QCOMPARE(log, expected);
    QCOMPARE(strip->currentIndex(), target);
}

void TabStripTest::refusedChangeKeepsSelection_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("target");
    QTest::newRow("click") << "click" << 0;
    QTest::newRow("left") << "left" << 1;
    QTest::newRow("right") << "right" << 3;
}

void TabStripTest::refusedChangeKeepsSelection()
{
    QFETCH(QString, action);
    QFETCH(int, target);
    std::unique_ptr<TabStrip> strip(makeStrip(4, kWide));
    strip->setCurrentIndex(2);
    connect(strip.get(), &TabStrip::currentChanging, strip.get(), [](bool *allow) { *allow = false; });
    QSignalSpy changing(strip.get(), &TabStrip::currentChanging);
    QSignalSpy changed(strip.get(), &TabStrip::currentChanged);

    userAction(strip.get(), action, target);
    QCOMPARE(changing.count(), 1);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(strip->currentIndex(), 2);
}

void TabStripTest::nothingToChangeRaisesNothing_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("current");
    QTest::newRow("left on the first tab") << "left" << 0;
    QTest::newRow("right on the last tab") << "right" << 3;
    QTest::newRow("click on the current tab") << "click" << 2;
}

void TabStripTest::nothingToChangeRaisesNothing()
{
    QFETCH(QString, action);
    QFETCH(int, current);
    std::unique_ptr<TabStrip> strip(makeStrip(4, kWide));
    strip->setCurrentIndex(current);
    QSignalSpy changing(strip.get(), &TabStrip::currentChanging);
    QSignalSpy changed(strip.get(), &TabStrip::currentChanged);

    userAction(strip.get(), action, current);
    QCOMPARE(changing.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(strip->currentIndex(), current);
}

void TabStripTest::longCaptionIsElidedNotWidened()
{
    const QString longCaption = QString(5000, QLatin1Char('w')) + QStringLiteral("&end");
    const int width = 300;
    std::unique_ptr<TabStrip> strip(makeStrip(0, width));
    strip->addTab(kCaption);
    strip->addTab(longCaption);
    strip->addTab(kCaption);

    QCOMPARE(strip->tabText(1), longCaption);
    QCOMPARE(strip->tabTexts().at(1), longCaption);
    QVERIFY(strip->tabRect(1).width() <= width);
    QVERIFY(strip->rect().contains(strip->tabRect(1)));
    // The long tab cannot share a row with the others.
    QCOMPARE(strip->rowCount(), 3);
    QVERIFY(strip->minimumSizeHint().width() <= naturalTabWidth());
    QVERIFY(strip->sizeHint().width() < QFontMetrics(strip->font()).horizontalAdvance(longCaption));
    QVERIFY(!strip->grab().isNull());
}

void TabStripTest::captionsFollowTheInheritedFont()
{
    std::unique_ptr<TabStrip> strip(makeStrip(1, kWide));
    QFont small = m_host->font();
    small.setPixelSize(10);
    m_host->setFont(small);
    const int smallWidth = strip->tabRect(0).width();
    QFont large = small;
    large.setPixelSize(30);
    m_host->setFont(large);
    QCOMPARE(strip->font().pixelSize(), 30);
    QVERIFY(strip->tabRect(0).width() > smallWidth);
    QVERIFY(strip->tabRect(0).height() > 0);
}

void TabStripTest::stripTakesFocusBeforeItsPage()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *strip = new TabStrip;
    layout->addWidget(strip);
    strip->addTab(QStringLiteral("one"));
    strip->addTab(QStringLiteral("two"));
    auto *edit = new QTextEdit;
    strip->setPageWidget(edit);
    QWidget::setTabOrder(strip, edit);
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(QApplication::focusWidget(), strip);

    QSignalSpy changed(strip, &TabStrip::currentChanged);
    QTest::keyClick(window.windowHandle(), 'x');
    QTest::keyClick(window.windowHandle(), 'y');
    QCOMPARE(edit->toPlainText(), QString());
    QTest::keyClick(window.windowHandle(), Qt::Key_Right);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(strip->currentIndex(), 1);

    // Tab moves on to the page, which then gets the typing.
    QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), edit);
    QTest::keyClick(window.windowHandle(), 'z');
    QCOMPARE(edit->toPlainText(), QStringLiteral("z"));
    QCOMPARE(strip->currentIndex(), 1);
}

namespace {

void wheel(TabStrip *strip, int notches)
{
    const QPointF at(strip->width() / 4, strip->height() - 2);
    QWheelEvent event(at, strip->mapToGlobal(at), QPoint(), QPoint(0, notches * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip, &event);
}

} // namespace

void TabStripTest::selectedRowIsInView_data()
{
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<int>("target");
    for (const int target : {0, 250, 499}) {
        QTest::addRow("code to %d", target) << false << target;
        QTest::addRow("key to %d", target) << true << target;
    }
}

void TabStripTest::selectedRowIsInView()
{
    QFETCH(bool, byKey);
    QFETCH(int, target);
    std::unique_ptr<TabStrip> strip(makeStrip(0, 400));
    strip->addTabs(QStringList(500, kCaption));
    strip->setCurrentIndex(byKey ? (target == 0 ? 1 : target - 1) : (target < 250 ? 499 : 0));
    strip->scrollRows(target < 250 ? strip->rowCount() : -strip->rowCount());
    QVERIFY(strip->tabRect(target).isEmpty());
    QSignalSpy changed(strip.get(), &TabStrip::currentChanged);
    if (byKey) {
        strip->setFocus();
        QTest::keyClick(strip.get(), target == 0 ? Qt::Key_Left : Qt::Key_Right);
    } else {
        strip->setCurrentIndex(target);
    }
    QCOMPARE(strip->currentIndex(), target);
    QCOMPARE(changed.count(), byKey ? 1 : 0);
    QVERIFY(strip->rect().contains(strip->tabRect(target)));
    QCOMPARE(strip->tabAt(strip->tabRect(target).center()), target);
}

void TabStripTest::rowsScrollByWheelAndButtons_data()
{
    QTest::addColumn<bool>("byWheel");
    QTest::newRow("wheel") << true;
    QTest::newRow("buttons") << false;
}

void TabStripTest::rowsScrollByWheelAndButtons()
{
    QFETCH(bool, byWheel);
    std::unique_ptr<TabStrip> strip(makeStrip(0, 400));
    strip->addTabs(QStringList(400, kCaption));
    auto *up = strip->findChild<QToolButton *>(QStringLiteral("ScrollUpButton"));
    auto *down = strip->findChild<QToolButton *>(QStringLiteral("ScrollDownButton"));
    QVERIFY(up && down && up->isVisible() && down->isVisible());
    QSignalSpy changed(strip.get(), &TabStrip::currentChanged);
    const auto scroll = [&](int rows) {
        for (int i = 0; i < qAbs(rows); ++i) {
            if (byWheel)
                wheel(strip.get(), rows > 0 ? -1 : 1);
            else
                QTest::mouseClick(rows > 0 ? down : up, Qt::LeftButton);
        }
    };
    scroll(3);
    QCOMPARE(strip->firstVisibleRow(), 3);
    QVERIFY(strip->tabRect(0).isEmpty());
    // Scrolling stops at the last row, which shows the last tab.
    scroll(strip->rowCount());
    QCOMPARE(strip->firstVisibleRow(), strip->rowCount() - strip->visibleRowCount());
    QVERIFY(!strip->tabRect(strip->count() - 1).isEmpty());
    QVERIFY(!down->isEnabled());
    scroll(-strip->rowCount());
    QVERIFY(!strip->tabRect(0).isEmpty());
    QVERIFY(!up->isEnabled());
    QCOMPARE(strip->currentIndex(), 0);
    QCOMPARE(changed.count(), 0);
}

void TabStripTest::fewTabsDoNotScroll()
{
    std::unique_ptr<TabStrip> strip(makeStrip(5, 400));
    std::unique_ptr<TabStrip> loaded(makeStrip(0, 400));
    loaded->addTabs(QStringList(5, kCaption));
    wheel(strip.get(), -3);
    strip->scrollRows(2);
    for (QToolButton *button : strip->findChildren<QToolButton *>())
        QVERIFY(!button->isVisible());
    for (int i = 0; i < strip->count(); ++i) {
        QCOMPARE(strip->tabRect(i), loaded->tabRect(i));
        // One row along the bottom, filled from the left edge without gaps.
        QCOMPARE(strip->tabRect(i).left(), i == 0 ? 0 : strip->tabRect(i - 1).right() + 1);
        QCOMPARE(strip->tabRect(i).bottom(), strip->height() - 1);
    }
}

QTEST_MAIN(TabStripTest)
#include "tst_tabstrip.moc"
