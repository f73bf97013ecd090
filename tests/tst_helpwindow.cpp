#include "app/Main.h"
#include "dialogs/THelpWindow.h"
#include "editor/RichEdit.h"
#include "support/TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

const QString HelpFile = QStringLiteral("Pinnote.hlp");

struct PageLinks
{
    QStringList hrefs;
    QStringList images;
    QSet<QString> anchors;
    QString text;
};

// What one page, as the browser shows it, links to and offers as anchors.
PageLinks readPage(THelpWindow &window, const QString &page)
{
    PageLinks links;
    window.browser()->setSource(window.root().resolved(QUrl(page)));
    const QTextDocument *document = window.browser()->document();
    links.text = document->toPlainText();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) {
                if (!format.anchorHref().isEmpty())
                    links.hrefs << format.anchorHref();
                for (const QString &name : format.anchorNames())
                    links.anchors.insert(name);
            }
            if (format.isImageFormat())
                links.images << format.toImageFormat().name();
        }
    }
    return links;
}

// "File > Export > Text (*.txt) file": the path a user reads in the menus, without
// mnemonics, shortcut column or trailing dots.
QString commandName(const QString &menuPath, const QAction *action)
{
    QString caption = action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    if (caption.endsWith(QLatin1String("...")))
        caption.chop(3);
    return menuPath.isEmpty() ? caption : menuPath + QStringLiteral(" > ") + caption;
}

void collectCommands(const QString &menuPath, const QMenu *menu, QStringList *names, QStringList *shortcuts)
{
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QString name = commandName(menuPath, action);
        if (action->menu()) {
            collectCommands(name, action->menu(), names, shortcuts);
            continue;
        }
        *names << name;
        const QString shortcut = action->text().section(QLatin1Char('\t'), 1);
        if (!shortcut.isEmpty())
            *shortcuts << shortcut;
    }
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyPageAndLinkResolves();
    void everyMenuCommandAndShortcutIsNamed();
    void aboutPageGivesTheVersion();
    void f1FromTheEditorOpensOneWindowAtContents();
    void helpFollowsOnTop_data();
    void helpFollowsOnTop();
    void find_data();
    void find();
    void ctrlFOpensTheFindBar();
    void backAndForward();
    void missingHelpFileIsSaidInTheWindow();
};

void TestHelpWindow::everyPageAndLinkResolves()
{
    THelpWindow window(HelpFile);
    const QStringList pages = window.pages();
    QVERIFY(pages.contains(QString::fromLatin1(THelpWindow::ContentsPage)));
    QVERIFY(pages.contains(QString::fromLatin1(THelpWindow::IndexPage)));

    QHash<QString, PageLinks> links;
    for (const QString &page : pages) {
        links.insert(page, readPage(window, page));
        QVERIFY2(!links[page].text.trimmed().isEmpty(), qPrintable(page));
    }

    // Walk from the contents: every link leads to a page (and anchor) that exists, every
    // image shows, and every page can be reached.
    QSet<QString> reached{QString::fromLatin1(THelpWindow::ContentsPage)};
    QStringList toVisit(reached.begin(), reached.end());
    while (!toVisit.isEmpty()) {
        const QString page = toVisit.takeFirst();
        const PageLinks &on = links[page];
        for (const QString &href : on.hrefs) {
            const QUrl url = window.root().resolved(QUrl(page)).resolved(QUrl(href));
            const QString where = page + QStringLiteral(" -> ") + href;
            QVERIFY2(url.scheme() == QLatin1String("qrc"), qPrintable(where + QStringLiteral(" leaves the help")));
            const QString target = url.fileName();
            QVERIFY2(links.contains(target) && url.adjusted(QUrl::RemoveFilename | QUrl::RemoveFragment) == window.root(),
                     qPrintable(where + QStringLiteral(" leads to no page")));
            if (url.hasFragment())
                QVERIFY2(links[target].anchors.contains(url.fragment()), qPrintable(where + QStringLiteral(" leads to no anchor")));
            if (!reached.contains(target)) {
                reached.insert(target);
                toVisit << target;
            }
        }
        for (const QString &image : on.images) {
            const QVariant pixels = window.browser()->loadResource(QTextDocument::ImageResource, QUrl(image));
            QVERIFY2(!pixels.value<QPixmap>().isNull(), qPrintable(page + QStringLiteral(": no image ") + image));
        }
    }
    for (const QString &page : pages)
        QVERIFY2(reached.contains(page), qPrintable(page + QStringLiteral(" cannot be reached from the contents")));
}

void TestHelpWindow::everyMenuCommandAndShortcutIsNamed()
{
    TestEnvironment env;
    QVERIFY(env.isValid());
    TMainForm form;
    QVERIFY(form.notesLoaded());
    QStringList names, shortcuts;
    for (const QAction *top : form.menuBar()->actions())
        collectCommands(commandName(QString(), top), top->menu(), &names, &shortcuts);
    QVERIFY(names.size() >= 20);
    QVERIFY(names.contains(QStringLiteral("File > Export > Rich Text (*.rtf) file")));

    THelpWindow window(HelpFile);
    QString help;
    for (const QString &page : window.pages())
        help += readPage(window, page).text + QLatin1Char('\n');
    const QString keys = readPage(window, QStringLiteral("keys.html")).text;
    for (const QString &name : names)
        QVERIFY2(help.contains(name), qPrintable(name + QStringLiteral(" is not in the help")));
    for (const QString &shortcut : shortcuts)
        QVERIFY2(keys.contains(QRegularExpression(QStringLiteral("(^|\\s)") + QRegularExpression::escape(shortcut)
                                                  + QStringLiteral("(\\s|$)"))),
                 qPrintable(shortcut + QStringLiteral(" is not among the keys")));
}

void TestHelpWindow::aboutPageGivesTheVersion()
{
    // The About box, the help and the man page share one version.
    THelpWindow window(HelpFile);
    QVERIFY(readPage(window, QStringLiteral("about.html")).text.contains(QString::fromLatin1(TMainForm::VersionText)));
}

void TestHelpWindow::f1FromTheEditorOpensOneWindowAtContents()
{
    TestEnvironment env;
    TMainForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Memo->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form.Memo->focusProxy() ? form.Memo->focusProxy() : form.Memo);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QVERIFY(form.HelpWindow);
    QTRY_VERIFY(form.HelpWindow->isVisible());
    QVERIFY(!form.HelpWindow->isModal());
    QCOMPARE(form.HelpWindow->browser()->source().fileName(), QString::fromLatin1(THelpWindow::ContentsPage));

    // Reading elsewhere, F1 in the notes again brings the same window back to the contents.
    THelpWindow *first = form.HelpWindow;
    first->browser()->setSource(first->root().resolved(QUrl(QStringLiteral("pages.html"))));
    form.activateWindow();
    form.Memo->setFocus();
    QTRY_VERIFY(QApplication::focusWidget() && QApplication::focusWidget()->window() == &form);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QCOMPARE(form.HelpWindow, first);
    QCOMPARE(form.findChildren<THelpWindow *>().size(), 1);
    QCOMPARE(first->browser()->source().fileName(), QString::fromLatin1(THelpWindow::ContentsPage));
    QVERIFY(first->browser()->isBackwardAvailable());
}

void TestHelpWindow::helpFollowsOnTop_data()
{
    QTest::addColumn<bool>("onTop");
    QTest::newRow("on top") << true;
    QTest::newRow("not on top") << false;
}

void TestHelpWindow::helpFollowsOnTop()
{
    QFETCH(bool, onTop);
    TestEnvironment env;
    TMainForm form;
    form.show();
    form.Contents1Click();
    if (!onTop)
        form.ViewOnTopMenuItemClick();
    QCOMPARE(form.OnTop, onTop);
    QTRY_COMPARE(form.HelpWindow->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
    QVERIFY(form.HelpWindow->isVisible());
}

void TestHelpWindow::find_data()
{
    QTest::addColumn<QString>("startPage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("foundOn");

    QTest::newRow("on this page") << "contents.html" << "Keyboard shortcuts" << false << true << "contents.html";
    QTest::newRow("letter case ignored") << "contents.html" << "KEYBOARD" << false << true << "contents.html";
    QTest::newRow("only on a later page") << "contents.html" << "Could not save Pinnote.set" << false << true
                                          << "files.html";
    QTest::newRow("only on an earlier page") << "view.html" << "Sorry, you can't remove the last item" << false << true
                                             << "pages.html";
    QTest::newRow("backward to an earlier page") << "view.html" << "CR LF as on Windows" << true << true
                                                 << "export.html";
    QTest::newRow("nowhere") << "contents.html" << "zebra crossing" << false << false << "contents.html";
}

void TestHelpWindow::find()
{
    QFETCH(QString, startPage);
    QFETCH(QString, text);
    QFETCH(bool, backward);
    QFETCH(bool, found);
    QFETCH(QString, foundOn);

    THelpWindow window(HelpFile);
    window.browser()->setSource(window.root().resolved(QUrl(startPage)));
    QCOMPARE(window.findText(text, backward), found);
    QCOMPARE(window.browser()->source().fileName(), foundOn);
    if (found)
        QCOMPARE(window.browser()->textCursor().selectedText().toLower(), text.toLower());
    else
        QVERIFY(!window.browser()->textCursor().hasSelection());
}

void TestHelpWindow::ctrlFOpensTheFindBar()
{
    THelpWindow window(HelpFile);
    window.showContents();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto *edit = window.findChild<QLineEdit *>(QStringLiteral("HelpFindText"));
    QVERIFY(edit && !edit->isVisible());

    QTest::keyClick(window.browser(), Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(edit->hasFocus());
    QTest::keyClicks(edit, QStringLiteral("Index"));
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(window.browser()->textCursor().selectedText(), QStringLiteral("Index"));
    // Escape puts the bar away and the reader back in the page, the match still selected.
    QTest::keyClick(edit, Qt::Key_Escape);
    QVERIFY(!edit->isVisible());
    QVERIFY(window.browser()->hasFocus());
    QCOMPARE(window.browser()->textCursor().selectedText(), QStringLiteral("Index"));
}

void TestHelpWindow::backAndForward()
{
    THelpWindow window(HelpFile);
    window.showContents();
    auto *back = window.findChild<QAction *>(QStringLiteral("HelpBack"));
    auto *forward = window.findChild<QAction *>(QStringLiteral("HelpForward"));
    auto *index = window.findChild<QAction *>(QStringLiteral("HelpIndex"));
    QVERIFY(back && forward && index);
    QVERIFY(!back->isEnabled());

    index->trigger();
    QCOMPARE(window.browser()->source().fileName(), QString::fromLatin1(THelpWindow::IndexPage));
    QVERIFY(back->isEnabled());
    back->trigger();
    QCOMPARE(window.browser()->source().fileName(), QString::fromLatin1(THelpWindow::ContentsPage));
    QVERIFY(forward->isEnabled());
    forward->trigger();
    QCOMPARE(window.browser()->source().fileName(), QString::fromLatin1(THelpWindow::IndexPage));
}

void TestHelpWindow::missingHelpFileIsSaidInTheWindow()
{
    THelpWindow window(QStringLiteral("Elsewhere.hlp"));
    QVERIFY(!window.helpFileExists());
    window.showContents();
    QVERIFY(window.isVisible());
    QVERIFY(window.browser()->toPlainText().contains(QStringLiteral("Elsewhere.hlp")));
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
