// The main window as assistive technology and big pads meet it: menu items named by
// their captions, the editor named after its page, page tabs pressed through the
// accessibility interface, and a pad of a thousand pages that leaves the editor room.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "platform/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <memory>

namespace {

QAccessibleInterface *pageTabList(TabStrip *strip)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(strip);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        if (iface->child(i)->role() == QAccessible::PageTabList)
            return iface->child(i);
    }
    return nullptr;
}

QAccessibleInterface *menuItemNamed(QMenu *menu, const QString &name)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(menu);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        if (iface->child(i)->text(QAccessible::Name) == name)
            return iface->child(i);
    }
    return nullptr;
}

} // namespace

class TestMainAccess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void menuItemsNamedByCaptionWithKeyBinding_data();
    void menuItemsNamedByCaptionWithKeyBinding();
    void shortcutDoesNothingWhileAMenuIsOpen();
    void editorIsNamedAfterThePageOnShow();
    void pressingATabSwitchesPagesKeepingTexts();
    void thousandPagesLeaveHalfForTheEditor();

private:
    bool startForm(const NotePages &pages);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainAccess::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
}

void TestMainAccess::cleanup()
{
    m_form.reset();
    m_env.reset();
}

bool TestMainAccess::startForm(const NotePages &pages)
{
    if (!pages.isEmpty())
        NoteFile(m_env->notesPath()).save(pages);
    m_form = std::make_unique<TMainForm>();
    if (!m_form->notesLoaded())
        return false;
    m_form->createDialogs();
    m_form->resize(400, 280);
    m_form->show();
    return QTest::qWaitForWindowExposed(m_form.get());
}

void TestMainAccess::menuItemsNamedByCaptionWithKeyBinding_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::newRow("Save") << u"FileMenuItem"_qs << u"Save"_qs << u"Ctrl+S"_qs;
    QTest::newRow("Exit, mnemonic only") << u"FileMenuItem"_qs << u"Exit"_qs << u"Alt+x"_qs;
    QTest::newRow("Find") << u"SearchMenuItem"_qs << u"Find..."_qs << u"Ctrl+F"_qs;
    QTest::newRow("Find again") << u"SearchMenuItem"_qs << u"Find again"_qs << u"F3"_qs;
    QTest::newRow("Select All") << u"Edit1"_qs << u"Select All"_qs << u"Ctrl+A"_qs;
    QTest::newRow("On Top, mnemonic only") << u"View1"_qs << u"On Top"_qs << u"Alt+O"_qs;
}

void TestMainAccess::menuItemsNamedByCaptionWithKeyBinding()
{
    QFETCH(QString, menu);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QVERIFY(startForm({}));
    auto *qmenu = m_form->findChild<QMenu *>(menu);
    QVERIFY(qmenu);
    QAccessibleInterface *item = menuItemNamed(qmenu, name);
    QVERIFY2(item, qPrintable(name));
    QAccessibleActionInterface *actions = item->actionInterface();
    QVERIFY(actions);
    // The AT-SPI bridge offers the accelerator text when the action lists no binding.
    const QStringList bindings = actions->keyBindingsForAction(QAccessibleActionInterface::pressAction());
    const QString binding = bindings.isEmpty() ? item->text(QAccessible::Accelerator) : bindings.first();
    QCOMPARE(binding, key);
    // No caption in any menu carries a shortcut.
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(qmenu);
    for (int i = 0; i < iface->childCount(); ++i)
        QVERIFY(!iface->child(i)->text(QAccessible::Name).contains(QLatin1Char('\t')));
}

void TestMainAccess::shortcutDoesNothingWhileAMenuIsOpen()
{
    QVERIFY(startForm({}));
    m_form->Memo->setText(u"some text"_qs);
    m_form->Memo->setFocus();
    m_form->Edit1->popup(m_form->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(QApplication::activePopupWidget() == m_form->Edit1);
    QTest::keyClick(m_form->Edit1, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->selection().length(), 0);
    m_form->Edit1->close();
    QTRY_VERIFY(!QApplication::activePopupWidget());
    // Closed, the menu's shortcut works as before.
    m_form->Memo->setFocus();
    QTest::keyClick(m_form->Memo, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->selection().length(), 9);
}

void TestMainAccess::editorIsNamedAfterThePageOnShow()
{
    QVERIFY(startForm({{u"Shopping"_qs, u"milk"_qs}, {u"Work"_qs, u"report"_qs}, {u"Ideas"_qs, QString()}}));
    const auto editorName = [this] {
        return QAccessible::queryAccessibleInterface(m_form->Memo)->text(QAccessible::Name);
    };
    QCOMPARE(editorName(), u"Shopping"_qs);
    QTest::mouseClick(m_form->TabControl, Qt::LeftButton, {}, m_form->TabControl->tabRect(2).center());
    QCOMPARE(editorName(), u"Ideas"_qs);
    m_form->PagesRemoveMenuItem->trigger();
    QCOMPARE(editorName(), u"Shopping"_qs);
    m_form->TabControl->setFocus();
    QTest::keyClick(m_form->TabControl, Qt::Key_Right);
    QCOMPARE(editorName(), u"Work"_qs);
}

void TestMainAccess::pressingATabSwitchesPagesKeepingTexts()
{
    QVERIFY(startForm({{u"One"_qs, u"first"_qs}, {u"Two"_qs, u"second"_qs}, {u"Three"_qs, u"third"_qs}}));
    QAccessibleInterface *list = pageTabList(m_form->TabControl);
    QVERIFY(list);
    QCOMPARE(list->childCount(), 3);
    const QStringList names{u"One"_qs, u"Two"_qs, u"Three"_qs};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(list->child(i)->role(), QAccessible::PageTab);
        QCOMPARE(list->child(i)->text(QAccessible::Name), names.at(i));
        QCOMPARE(bool(list->child(i)->state().selected), i == 0);
    }
    // Typed, as a user edits: only an edit counts as a change to the page.
    m_form->Memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_form->Memo, u", edited"_qs);

    const auto press = [list](int index) {
        list->child(index)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    };
    press(2);
    QCOMPARE(m_form->TabControl->currentIndex(), 2);
    QCOMPARE(m_form->Memo->text(), u"third"_qs);
    QVERIFY(list->child(2)->state().selected);
    QVERIFY(!list->child(0)->state().selected);
    press(0);
    QCOMPARE(m_form->Memo->text(), u"first, edited"_qs);
    const NotePages pages = m_form->pages();
    QCOMPARE(pages.at(0).text, u"first, edited"_qs);
    QCOMPARE(pages.at(1).text, u"second"_qs);
    QCOMPARE(pages.at(2).text, u"third"_qs);
}

void TestMainAccess::thousandPagesLeaveHalfForTheEditor()
{
    NotePages pages;
    for (int i = 0; i < 1000; ++i)
        pages.append({u"Page %1"_qs.arg(i), u"text %1"_qs.arg(i)});
    QVERIFY(startForm(pages));
    QCOMPARE(m_form->pageCount(), 1000);
    TabStrip *strip = m_form->TabControl;
    QVERIFY(m_form->Memo->isVisible());
    QVERIFY(m_form->Memo->height() >= strip->height() / 2 - 4);
    QVERIFY(strip->rowCount() > strip->visibleRowCount());

    // The last page, reached by keys, has its tab in view and its text on show.
    strip->setFocus();
    for (int i = 0; i < 999; ++i)
        QTest::keyClick(strip, Qt::Key_Right);
    QCOMPARE(strip->currentIndex(), 999);
    QVERIFY(strip->rect().contains(strip->tabRect(999)));
    QCOMPARE(m_form->Memo->text(), u"text 999"_qs);
    QVERIFY(m_form->Memo->height() >= strip->height() / 2 - 4);
}

QTEST_MAIN(TestMainAccess)
#include "tst_mainaccess.moc"
