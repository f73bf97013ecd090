// The main window as a user meets it: focus, shortcuts, the refresh of command
// states, the hint line and the close sequence.

#include "app/Main.h"
#include "app/Startup.h"
#include "dialogs/TFindDlg.h"
#include "editor/RichEdit.h"
#include "widgets/ErrorBox.h"
#include "widgets/TabStrip.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QEnterEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <QToolTip>

#include <memory>

class TestMainForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { Startup::initialiseApplication(); }
    void init();
    void cleanup();

    void startsWithOneEmptyPageNamedMemo();
    void tabStripHasFocusAndTypedKeysMissTheEditor();

    void shortcutWithoutSelectionIsSwallowed_data();
    void shortcutWithoutSelectionIsSwallowed();
    void deleteShortcutRemovesSelectionKeepsClipboard();
    void cutShortcutMovesSelectionToClipboard();
    void pasteWithoutTextOnClipboardDoesNothing();
    void shortcutsDoNothingWhileModalDialogIsOpen();

    void editMenuIsCurrentTheMomentItOpens();
    void toolbarFollowsKeyboardSelectionWithinATick();
    void toolbarRefreshGoesOnWhileHidden();
    void removeEnabledOnlyWithSeveralPages();
    void toolbarStatesAreRightBeforeTheFirstTick();

    void hintFollowsPointerOverToolbar();
    void hintFollowsMenuHighlightAndEmptiesOnClose();
    void hintFollowsPointerInMenu_data();
    void hintFollowsPointerInMenu();
    void memoPanelAlwaysReadsMemo();
    void noTooltips();

    void commandFailureIsShownInErrorBox();
    void closeAsksWhenSaveFailsAndNoKeepsEverything();
    void closeYesEndsWithoutSaving();

    void dialogsLeaveNoNativeChildWindows_data();
    void dialogsLeaveNoNativeChildWindows();

private:
    QLabel *hintPanel() const { return m_form->findChild<QLabel *>(QStringLiteral("HintPanel")); }
    void typeIntoEditor(const QString &text);
    void hover(QWidget *widget);

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    std::unique_ptr<TMainForm> m_form;
};

void TestMainForm::init()
{
    m_env = std::make_unique<TestEnvironment>();
    QVERIFY(m_env->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    QGuiApplication::clipboard()->clear();
    m_form = startMainForm();
    QVERIFY(m_form);
}

void TestMainForm::cleanup()
{
    m_form.reset();
    m_boxes.reset();
    m_env.reset();
}

void TestMainForm::typeIntoEditor(const QString &text)
{
    m_form->Memo->setFocus();
    QTest::keyClicks(m_form->Memo, text);
}

void TestMainForm::hover(QWidget *widget)
{
    const QPointF centre = QRectF(widget->rect()).center();
    QEnterEvent enter(centre, widget->mapTo(m_form.get(), centre), widget->mapToGlobal(centre));
    QCoreApplication::sendEvent(widget, &enter);
}

void TestMainForm::startsWithOneEmptyPageNamedMemo()
{
    QCOMPARE(m_form->pageCount(), 1);
    QCOMPARE(m_form->TabControl->tabText(0), QStringLiteral("Memo"));
    QCOMPARE(m_form->TabControl->currentIndex(), 0);
    QVERIFY(m_form->Memo->text().isEmpty());
}

void TestMainForm::tabStripHasFocusAndTypedKeysMissTheEditor()
{
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_form->TabControl));

    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QVERIFY(m_form->Memo->text().isEmpty());

    // Tab moves on to the editor, which then takes typing.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_form->Memo));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("abc"));
    QCOMPARE(m_form->Memo->text(), QStringLiteral("abc"));
}

void TestMainForm::shortcutWithoutSelectionIsSwallowed_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("caret");

    // Ctrl+Del would otherwise delete the next word, Ctrl+X would cut a line on
    // some styles; neither may reach the editor.
    QTest::newRow("ctrl+del at start") << int(Qt::Key_Delete) << 0;
    QTest::newRow("ctrl+del mid-text") << int(Qt::Key_Delete) << 6;
    QTest::newRow("ctrl+x") << int(Qt::Key_X) << 3;
    QTest::newRow("ctrl+c") << int(Qt::Key_C) << 3;
}

void TestMainForm::shortcutWithoutSelectionIsSwallowed()
{
    QFETCH(int, key);
    QFETCH(int, caret);

    const QString original = QStringLiteral("hello world\r\nsecond line");
    m_form->Memo->setText(original);
    m_form->Memo->setFocus();
    m_form->Memo->setSelection(caret, caret);
    QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));

    QTest::keyClick(m_form->Memo, Qt::Key(key), Qt::ControlModifier);

    QCOMPARE(m_form->Memo->text(), original);
    QCOMPARE(m_form->Memo->selection().start, caret);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
}

void TestMainForm::deleteShortcutRemovesSelectionKeepsClipboard()
{
    m_form->Memo->setText(QStringLiteral("one\r\ntwo three"));
    m_form->Memo->setFocus();
    m_form->Memo->setSelection(3, 8); // the line break and "two"
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));

    QTest::keyClick(m_form->Memo, Qt::Key_Delete, Qt::ControlModifier);

    QCOMPARE(m_form->Memo->text(), QStringLiteral("one three"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void TestMainForm::cutShortcutMovesSelectionToClipboard()
{
    m_form->Memo->setText(QStringLiteral("alpha\r\nbeta"));
    m_form->Memo->setFocus();
    m_form->Memo->setSelection(7, 11);

    QTest::keyClick(m_form->Memo, Qt::Key_X, Qt::ControlModifier);

    QCOMPARE(m_form->Memo->text(), QStringLiteral("alpha\r\n"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("beta"));
}

void TestMainForm::pasteWithoutTextOnClipboardDoesNothing()
{
    auto *data = new QMimeData;
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    data->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(data);

    typeIntoEditor(QStringLiteral("abc"));
    QTest::keyClick(m_form->Memo, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("abc"));

    m_form->Edit1->aboutToShow();
    QVERIFY(!m_form->EditPasteMenuItem->isEnabled());
}

void TestMainForm::shortcutsDoNothingWhileModalDialogIsOpen()
{
    m_form->Memo->setText(QStringLiteral("some text"));
    m_form->Memo->setSelection(0, 0);

    QDialog dialog(m_form.get());
    dialog.setModal(true);
    dialog.show();
    QTRY_COMPARE(QApplication::activeModalWidget(), static_cast<QWidget *>(&dialog));

    // Ctrl+A goes to the main window's editor, as a stray event would.
    QTest::keyClick(m_form->Memo, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_form->Memo->selection().length(), 0);
    dialog.close();
}

void TestMainForm::editMenuIsCurrentTheMomentItOpens()
{
    m_form->Memo->setText(QStringLiteral("text to select"));
    m_form->Memo->setSelection(0, 4);

    m_form->Edit1->popup(m_form->mapToGlobal(QPoint(10, 10)));
    QVERIFY(m_form->EditCutMenuItem->isEnabled());
    QVERIFY(m_form->EditCopyMenuItem->isEnabled());
    QVERIFY(m_form->EditDeleteMenuItem->isEnabled());
    m_form->Edit1->close();

    m_form->Memo->setSelection(2, 2);
    m_form->Edit1->popup(m_form->mapToGlobal(QPoint(10, 10)));
    QVERIFY(!m_form->EditCutMenuItem->isEnabled());
    QVERIFY(!m_form->EditCopyMenuItem->isEnabled());
    QVERIFY(!m_form->EditDeleteMenuItem->isEnabled());
    m_form->Edit1->close();
}

void TestMainForm::toolbarFollowsKeyboardSelectionWithinATick()
{
    typeIntoEditor(QStringLiteral("hello"));
    m_form->UpdateToolbarItems();
    QVERIFY(!m_form->CutButton->isEnabled());

    QTest::keyClick(m_form->Memo, Qt::Key_Home, Qt::ShiftModifier);
    QTRY_VERIFY(m_form->CutButton->isEnabled());
    QVERIFY(m_form->CopyButton->isEnabled());
}

void TestMainForm::toolbarRefreshGoesOnWhileHidden()
{
    m_form->ViewToolbarMenuItemClick();
    QVERIFY(!m_form->ToolBar->isVisible());

    m_form->Memo->setText(QStringLiteral("word"));
    m_form->Memo->selectAllText();
    QTRY_VERIFY(m_form->CutButton->isEnabled());

    m_form->ViewToolbarMenuItemClick();
    QVERIFY(m_form->ToolBar->isVisible());
}

void TestMainForm::removeEnabledOnlyWithSeveralPages()
{
    m_form->Memo->setText(QString());
    m_form->PagesMenuItem->aboutToShow();
    QVERIFY(!m_form->PagesRemoveMenuItem->isEnabled());
    m_form->UpdateToolbarItems();
    QVERIFY(!m_form->RemoveButton->isEnabled());

    whenModalOpens([](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("NameEdit"))->setText(QStringLiteral("Second"));
        static_cast<QDialog *>(dialog)->accept();
    });
    m_form->PagesAddMemoMenuItem->trigger();
    m_form->PagesMenuItem->aboutToShow();
    QVERIFY(m_form->PagesRemoveMenuItem->isEnabled());
    QTRY_VERIFY(m_form->RemoveButton->isEnabled());
}

void TestMainForm::toolbarStatesAreRightBeforeTheFirstTick()
{
    // One page, nothing selected, an empty clipboard: nothing to cut, copy, paste or remove.
    QVERIFY(!m_form->CutButton->isEnabled());
    QVERIFY(!m_form->CopyButton->isEnabled());
    QVERIFY(!m_form->PasteButton->isEnabled());
    QVERIFY(!m_form->RemoveButton->isEnabled());
    QVERIFY(m_form->AddMemoButton->isEnabled());
}

void TestMainForm::hintFollowsPointerOverToolbar()
{
    QWidget *print = m_form->ToolBar->widgetForAction(m_form->PrintButton);
    QVERIFY(print);
    hover(print);
    QTRY_COMPARE(hintPanel()->text(), QStringLiteral("Print the current page"));

    // Disabled buttons show their hint too.
    QWidget *cut = m_form->ToolBar->widgetForAction(m_form->CutButton);
    m_form->UpdateToolbarItems();
    QVERIFY(!cut->isEnabled());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(print, &leave);
    hover(cut);
    QTRY_COMPARE(hintPanel()->text(), QStringLiteral("Cut selected items to clipboard"));

    QCoreApplication::sendEvent(cut, &leave);
    hover(m_form->Memo->viewport());
    QTRY_VERIFY(hintPanel()->text().isEmpty());
}

void TestMainForm::hintFollowsMenuHighlightAndEmptiesOnClose()
{
    m_form->FileMenuItem->popup(m_form->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(m_form->FileMenuItem->isVisible());
    m_form->FileMenuItem->setActiveAction(m_form->FileSaveMenuItem);
    QCOMPARE(hintPanel()->text(), QStringLiteral("Save notes"));

    QTest::keyClick(m_form->FileMenuItem, Qt::Key_Down);
    QVERIFY(hintPanel()->text() != QStringLiteral("Save notes"));

    m_form->FileMenuItem->close();
    QTRY_VERIFY(!m_form->FileMenuItem->isVisible());
    QVERIFY(hintPanel()->text().isEmpty());
}

void TestMainForm::hintFollowsPointerInMenu_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item"); // an item's object name, or a submenu's to open it
    QTest::addColumn<QString>("target"); // an item's object name, "separator" or "editor"
    QTest::addColumn<QString>("hint");

    QTest::newRow("Pages: onto a separator") << "PagesMenuItem" << "PagesAddMemoMenuItem" << "separator" << "";
    QTest::newRow("Pages: onto a greyed item") << "PagesMenuItem" << "PagesAddMemoMenuItem" << "PagesRemoveMenuItem" << "";
    QTest::newRow("View: onto a separator") << "View1" << "ViewOnTopMenuItem" << "separator" << "";
    QTest::newRow("Search: onto a greyed item") << "SearchMenuItem" << "SearchFindMenuItem"
                                                << "SearchFindagainMenuItem" << "";
    QTest::newRow("Search: off the menu") << "SearchMenuItem" << "SearchFindMenuItem" << "editor" << "";
    QTest::newRow("File: from the open Export submenu onto Print")
        << "FileMenuItem" << "FileExportMenuItem" << "FilePrintMenuItem" << "Print the current page";
}

void TestMainForm::hintFollowsPointerInMenu()
{
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(QString, target);
    QFETCH(QString, hint);

    auto *popup = m_form->findChild<QMenu *>(menu);
    QVERIFY(popup);
    const auto actionNamed = [popup](const QString &name) {
        for (QAction *action : popup->actions()) {
            if (name == QLatin1String("separator") ? action->isSeparator()
                                                   : (action->menu() ? action->menu()->objectName() : action->objectName()) == name)
                return action;
        }
        return static_cast<QAction *>(nullptr);
    };
    QAction *start = actionNamed(item);
    QVERIFY(start);
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    popup->popup(m_form->mapToGlobal(QPoint(10, 10)));
    QTRY_VERIFY(popup->isVisible());
    QTest::mouseMove(popup, popup->actionGeometry(start).center());
    QTRY_VERIFY(start->menu() ? start->menu()->isVisible() : !hintPanel()->text().isEmpty());

    if (target == QLatin1String("editor")) {
        QTest::mouseMove(popup, popup->mapFromGlobal(m_form->Memo->mapToGlobal(m_form->Memo->rect().bottomRight()
                                                                                  - QPoint(20, 20))));
    } else {
        QAction *end = actionNamed(target);
        QVERIFY(end);
        QVERIFY(!hint.isEmpty() || end->isSeparator() || !end->isEnabled());
        QTest::mouseMove(popup, popup->actionGeometry(end).center());
    }
    // Not before the menus have finished with the move: a hint shown at first can go again.
    bool handled = false;
    QTimer::singleShot(0, popup, [&handled] { handled = true; });
    QTRY_VERIFY(handled);
    QTRY_COMPARE(hintPanel()->text(), hint);
    popup->close();
}

void TestMainForm::memoPanelAlwaysReadsMemo()
{
    auto *panel = m_form->findChild<QLabel *>(QStringLiteral("MemoPanel"));
    QVERIFY(panel);
    QCOMPARE(panel->text(), QStringLiteral("Memo"));
    m_form->TabControl->addTab(QStringLiteral("Work"));
    m_form->TabControl->setCurrentIndex(1);
    QCOMPARE(panel->text(), QStringLiteral("Memo"));
}

void TestMainForm::noTooltips()
{
    QWidget *print = m_form->ToolBar->widgetForAction(m_form->PrintButton);
    QHelpEvent tip(QEvent::ToolTip, QPoint(5, 5), print->mapToGlobal(QPoint(5, 5)));
    QVERIFY(!print->toolTip().isEmpty());
    QCoreApplication::sendEvent(print, &tip);
    QVERIFY(!QToolTip::isVisible());
}

void TestMainForm::commandFailureIsShownInErrorBox()
{
    ErrorBox::guard(m_form.get(), [] { throw ERegistryException(QStringLiteral("Failed to create key Settings")); });
    QCOMPARE(m_boxes->requests().size(), 1);
    const MessageBox::Request &box = m_boxes->requests().constFirst();
    QCOMPARE(box.text, QStringLiteral("Failed to create key Settings."));
    QCOMPARE(box.caption, QStringLiteral("Pinnote"));
    QCOMPARE(box.icon, MessageBox::Icon::Error);
    QCOMPARE(box.buttons, MessageBox::Buttons(MessageBox::Ok));
    QVERIFY(m_form->isVisible());
}

void TestMainForm::closeAsksWhenSaveFailsAndNoKeepsEverything()
{
    // A directory where the note file should be: no save can replace it, root or not.
    QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("Pinnote.set")));
    typeIntoEditor(QStringLiteral("keep me"));

    m_boxes->queueAnswer(MessageBox::No);
    QVERIFY(!m_form->close());
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_boxes->texts(),
             QStringList{QStringLiteral("Could not save Pinnote.set. Exit anyway (all data will be lost)?")});
    const MessageBox::Request &question = m_boxes->requests().constFirst();
    QCOMPARE(question.caption, QStringLiteral("Error"));
    QCOMPARE(question.icon, MessageBox::Icon::Exclamation);
    QCOMPARE(question.buttons, MessageBox::Buttons(MessageBox::Yes | MessageBox::No));
    QCOMPARE(question.defaultButton, MessageBox::Yes);
    QCOMPARE(m_form->Memo->text(), QStringLiteral("keep me"));
    QCOMPARE(m_form->pageCount(), 1);

    // The next close asks again.
    m_boxes->queueAnswer(MessageBox::No);
    QVERIFY(!m_form->close());
    QCOMPARE(m_boxes->requests().size(), 2);
}

void TestMainForm::closeYesEndsWithoutSaving()
{
    QVERIFY(QDir(m_env->path()).mkdir(QStringLiteral("Pinnote.set")));
    m_boxes->queueAnswer(MessageBox::Yes);
    QVERIFY(m_form->close());
    QVERIFY(!m_form->isVisible());
    QVERIFY(QFileInfo(m_env->notesPath()).isDir());
}

void TestMainForm::dialogsLeaveNoNativeChildWindows_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::newRow("New Memo") << QStringLiteral("New Memo");
    QTest::newRow("Find Text") << QStringLiteral("Find Text");
    QTest::newRow("About") << QStringLiteral("About");
}

// Regression: placing a dialog once made the menu bar, toolbar, tab strip and status bar
// native windows of their own, which slows painting and flickers.
void TestMainForm::dialogsLeaveNoNativeChildWindows()
{
    QFETCH(QString, dialog);
    QTimer::singleShot(0, this, [] {
        QTRY_VERIFY(QApplication::activeModalWidget());
        QApplication::activeModalWidget()->close();
    });
    if (dialog == QLatin1String("New Memo"))
        m_form->PagesAddMemoMenuItemClick();
    else if (dialog == QLatin1String("About"))
        m_form->AboutMenuItemClick();
    else
        m_form->FindDlg->exec();
    QVERIFY(!QApplication::activeModalWidget());

    QStringList native;
    for (const QWidget *child : m_form->findChildren<QWidget *>()) {
        if (!child->isWindow() && (child->testAttribute(Qt::WA_NativeWindow) || child->internalWinId()))
            native << QString::fromLatin1(child->metaObject()->className()) + QLatin1Char(' ') + child->objectName();
    }
    QVERIFY2(native.isEmpty(), qPrintable(native.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
