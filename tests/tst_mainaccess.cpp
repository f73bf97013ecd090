// The main window as assistive technology and big pads meet it.

#include "app/Main.h"
#include "app/Startup.h"
#include "editor/RichEdit.h"
#include "widgets/TabStrip.h"
#include "storage/NoteFile.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QMenu>
#include <QTest>

#include <memory>

namespace {

// The child of iface that matches, or nullptr.
template<typename Match>
QAccessibleInterface *childWhere(QAccessibleInterface *iface, Match match)
{
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        if (match(iface->child(i)))
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
    void init()
    {
        m_env = std::make_unique<TestEnvironment>();
        QVERIFY(m_env->isValid());
    }
    void cleanup() { m_form.reset(); m_env.reset(); }

    void menuItemsNamedByCaptionWithKeyBinding_data();
    void menuItemsNamedByCaptionWithKeyBinding();
    void pressingATabSwitchesPagesKeepingTextsAndNames();
    void thousandPagesLeaveHalfForTheEditor();

private:
    bool startForm(const NotePages &pages);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<TMainForm> m_form;
};

bool TestMainAccess::startForm(const NotePages &pages)
{
    if (!pages.isEmpty())
        NoteFile(m_env->notesPath()).save(pages);
    m_form = startMainForm(QSize(400, 280));
    return m_form != nullptr;
}

void TestMainAccess::menuItemsNamedByCaptionWithKeyBinding_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::newRow("Save") << u"FileMenuItem"_qs << u"Save"_qs << u"Ctrl+S"_qs;
    QTest::newRow("Find again") << u"SearchMenuItem"_qs << u"Find again"_qs << u"F3"_qs;
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
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(qmenu);
    QAccessibleInterface *item = childWhere(iface, [&](auto *c) { return c->text(QAccessible::Name) == name; });
    QVERIFY2(item && item->actionInterface(), qPrintable(name));
    // The AT-SPI bridge offers the accelerator text when the action lists no binding.
    const QStringList bindings =
        item->actionInterface()->keyBindingsForAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(bindings.isEmpty() ? item->text(QAccessible::Accelerator) : bindings.first(), key);
    QVERIFY(!childWhere(iface, [](auto *c) { return c->text(QAccessible::Name).contains(u'\t'); }));
}

void TestMainAccess::pressingATabSwitchesPagesKeepingTextsAndNames()
{
    const QStringList names{u"One"_qs, u"Two"_qs, u"Three"_qs};
    const QStringList texts{u"first"_qs, u"second"_qs, u"third"_qs};
    QVERIFY(startForm({{names[0], texts[0]}, {names[1], texts[1]}, {names[2], texts[2]}}));
    QAccessibleInterface *list = childWhere(QAccessible::queryAccessibleInterface(m_form->TabControl),
                                            [](auto *c) { return c->role() == QAccessible::PageTabList; });
    QVERIFY(list);
    QCOMPARE(list->childCount(), 3);
    QAccessibleInterface *editor = QAccessible::queryAccessibleInterface(m_form->Memo);
    QCOMPARE(editor->text(QAccessible::Name), names[0]);
    // Typed, as a user edits: only an edit counts as a change to the page.
    m_form->Memo->moveCursor(QTextCursor::End);
    QTest::keyClicks(m_form->Memo, u", edited"_qs);
    for (const int pressed : {2, 0}) {
        list->child(pressed)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(m_form->TabControl->currentIndex(), pressed);
        QCOMPARE(m_form->Memo->text(), pressed == 0 ? u"first, edited"_qs : texts[pressed]);
        QCOMPARE(editor->text(QAccessible::Name), names[pressed]);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list->child(i)->role(), QAccessible::PageTab);
            QCOMPARE(list->child(i)->text(QAccessible::Name), names[i]);
            QCOMPARE(bool(list->child(i)->state().selected), i == pressed);
        }
    }
    const NotePages pages = m_form->pages();
    QCOMPARE(pages.at(0).text, u"first, edited"_qs);
    QCOMPARE(pages.at(1).text, texts[1]);
    QCOMPARE(pages.at(2).text, texts[2]);
}

void TestMainAccess::thousandPagesLeaveHalfForTheEditor()
{
    NotePages pages;
    for (int i = 0; i < 1000; ++i)
        pages.append({u"Page %1"_qs.arg(i), QString()});
    QVERIFY(startForm(pages));
    TabStrip *strip = m_form->TabControl;
    QCOMPARE(strip->count(), 1000);
    QVERIFY(strip->rowCount() > strip->visibleRowCount());
    QVERIFY(m_form->Memo->isVisible());
    QVERIFY(m_form->Memo->height() >= strip->height() / 2 - 4);
}

QTEST_MAIN(TestMainAccess)
#include "tst_mainaccess.moc"
