#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QUrl>

class QAction;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QToolBar;
class QWidget;

// The program's help viewer: a window of its own, not modal, over the HTML pages of
// the help file bundled with the program. It has a contents page, an index, find
// (Ctrl+F) through all pages, back and forward.
class THelpWindow : public QMainWindow
{
    Q_OBJECT

public:
    static constexpr char ContentsPage[] = "contents.html";
    static constexpr char IndexPage[] = "index.html";

    // helpFile is the help file's name as the application knows it ("Pinnote.hlp");
    // its pages are the resources under ":/<helpFile>/".
    explicit THelpWindow(const QString &helpFile, QWidget *parent = nullptr);

    // Shows the window at its contents and brings it to the front.
    void showContents();

    // The folder URL of the help file's pages, and the pages in it, in name order.
    QUrl root() const { return m_root; }
    QStringList pages() const;
    bool helpFileExists() const;

    QTextBrowser *browser() const { return m_browser; }

    // Finds the text from the selection on, going on into the following pages (the
    // previous ones when backward) and round to where it started. True when found;
    // the match is then selected.
    bool findText(const QString &text, bool backward = false);

public slots:
    void showFindBar();
    void hideFindBar();
    void findNext();
    void findPrevious();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    void createToolBar();
    void createFindBar();
    void followOwnerOnTop();
    void placeBesideOwner();
    void goToPage(const QString &page);
    bool pageContains(const QString &page, const QString &text) const;
    QString currentPage() const;

    QUrl m_root;
    QString m_helpFile;
    QTextBrowser *m_browser = nullptr;
    QToolBar *m_toolBar = nullptr;
    QWidget *m_findBar = nullptr;
    QLineEdit *m_findEdit = nullptr;
    QLabel *m_findStatus = nullptr;
    QAction *m_backAction = nullptr;
    QAction *m_forwardAction = nullptr;
    QAction *m_contentsAction = nullptr;
    QAction *m_indexAction = nullptr;
    QAction *m_findAction = nullptr;
    bool m_placed = false;
};
