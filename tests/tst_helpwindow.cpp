#include "app/Main.h"
#include "help/THelpWindow.h"
#include "support/TestEnvironment.h"

#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>

namespace {

const QString HelpFile = QStringLiteral("Pinnote.hlp");

struct Page
{
    QStringList hrefs, images;
    QSet<QString> anchors;
    QString text;
};

// What one page, as the browser shows it, links to and offers as anchors.
Page readPage(THelpWindow &window, const QString &name)
{
    Page page;
    window.browser()->setSource(window.root().resolved(QUrl(name)));
    const QTextDocument *document = window.browser()->document();
    page.text = document->toPlainText();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor() && !format.anchorHref().isEmpty())
                page.hrefs << format.anchorHref();
            for (const QString &anchor : format.anchorNames())
                page.anchors.insert(anchor);
            if (format.isImageFormat())
                page.images << format.toImageFormat().name();
        }
    }
    return page;
}

// "File > Export > Text (*.txt) file", as a user reads it: no mnemonics, shortcuts or dots.
void collectCommands(const QString &path, const QList<QAction *> &actions, QStringList *names, QStringList *shortcuts)
{
    for (const QAction *action : actions) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        QString caption = action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
        if (caption.endsWith(QLatin1String("...")))
            caption.chop(3);
        const QString name = path.isEmpty() ? caption : path + QStringLiteral(" > ") + caption;
        if (action->menu()) {
            collectCommands(name, action->menu()->actions(), names, shortcuts);
            continue;
        }
        *names << name;
        if (const QString key = action->text().section(QLatin1Char('\t'), 1); !key.isEmpty())
            *shortcuts << key;
    }
}

} // namespace

class TestHelpWindow : public QObject
{
    Q_OBJECT

private slots:
    void everyPageAndLinkResolves();
    void everyMenuCommandAndShortcutIsNamed();
    void find_data();
    void find();
};

void TestHelpWindow::everyPageAndLinkResolves()
{
    THelpWindow window(HelpFile);
    const QString contents = QString::fromLatin1(THelpWindow::ContentsPage);
    QVERIFY(window.pages().contains(contents));
    QVERIFY(window.pages().contains(QString::fromLatin1(THelpWindow::IndexPage)));
    QHash<QString, Page> pages;
    for (const QString &name : window.pages()) {
        pages.insert(name, readPage(window, name));
        QVERIFY2(!pages[name].text.trimmed().isEmpty(), qPrintable(name));
    }

    // From the contents, every link leads to a page and anchor that exist, every image
    // shows, and every page is reached.
    QSet<QString> reached{contents};
    QStringList toVisit{contents};
    while (!toVisit.isEmpty()) {
        const QString name = toVisit.takeFirst();
        for (const QString &href : pages[name].hrefs) {
            const QUrl url = window.root().resolved(QUrl(name)).resolved(QUrl(href));
            const QString target = url.fileName();
            const QByteArray where = (name + QStringLiteral(" -> ") + href).toUtf8();
            QVERIFY2(url.scheme() == QLatin1String("qrc") && pages.contains(target)
                         && url.adjusted(QUrl::RemoveFilename | QUrl::RemoveFragment) == window.root(),
                     (where + " leads to no page").constData());
            QVERIFY2(!url.hasFragment() || pages[target].anchors.contains(url.fragment()),
                     (where + " leads to no anchor").constData());
            if (!reached.contains(target)) {
                reached.insert(target);
                toVisit << target;
            }
        }
        for (const QString &image : pages[name].images)
            QVERIFY2(!window.browser()->loadResource(QTextDocument::ImageResource, QUrl(image)).value<QPixmap>().isNull(),
                     qPrintable(name + QStringLiteral(": no image ") + image));
    }
    for (const QString &name : window.pages())
        QVERIFY2(reached.contains(name), qPrintable(name + QStringLiteral(" cannot be reached from the contents")));
}

void TestHelpWindow::everyMenuCommandAndShortcutIsNamed()
{
    TestEnvironment env;
    QVERIFY(env.isValid());
    TMainForm form;
    QVERIFY(form.notesLoaded());
    QStringList names, shortcuts;
    collectCommands(QString(), form.menuBar()->actions(), &names, &shortcuts);
    QVERIFY(names.size() >= 20);
    QVERIFY(names.contains(QStringLiteral("File > Export > Rich Text (*.rtf) file")));

    THelpWindow window(HelpFile);
    QString help;
    for (const QString &name : window.pages())
        help += readPage(window, name).text + QLatin1Char('\n');
    for (const QString &name : names)
        QVERIFY2(help.contains(name), qPrintable(name + QStringLiteral(" is not in the help")));
    const QString keys = readPage(window, QStringLiteral("keys.html")).text;
    for (const QString &key : shortcuts) {
        const QRegularExpression word(QStringLiteral("(^|\\s)%1(\\s|$)").arg(QRegularExpression::escape(key)));
        QVERIFY2(keys.contains(word), qPrintable(key + QStringLiteral(" is not among the keys")));
    }
    // The help gives the About box's version.
    QVERIFY(readPage(window, QStringLiteral("about.html")).text.contains(QString::fromLatin1(TMainForm::VersionText)));
}

void TestHelpWindow::find_data()
{
    QTest::addColumn<QString>("startPage");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("backward");
    QTest::addColumn<QString>("foundOn"); // empty: found nowhere

    QTest::newRow("on a later page, case ignored") << "contents.html" << "could not save Pinnote.set" << false
                                                   << "files.html";
    QTest::newRow("backward to an earlier page") << "view.html" << "CR LF as on Windows" << true << "export.html";
    QTest::newRow("nowhere") << "contents.html" << "zebra crossing" << false << "";
}

void TestHelpWindow::find()
{
    QFETCH(QString, startPage);
    QFETCH(QString, text);
    QFETCH(bool, backward);
    QFETCH(QString, foundOn);

    THelpWindow window(HelpFile);
    window.browser()->setSource(window.root().resolved(QUrl(startPage)));
    QCOMPARE(window.findText(text, backward), !foundOn.isEmpty());
    QCOMPARE(window.browser()->source().fileName(), foundOn.isEmpty() ? startPage : foundOn);
    QCOMPARE(window.browser()->textCursor().selectedText().toLower(), foundOn.isEmpty() ? QString() : text.toLower());
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
