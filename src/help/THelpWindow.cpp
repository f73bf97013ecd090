#include "help/THelpWindow.h"

#include "widgets/DesignLayout.h"
#include "widgets/BakedIcons.h"
#include "widgets/DialogPlacement.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

// Outside any namespace, as Qt's resource initialiser must be: the pages live in the
// static library, where nothing else would pull them in.
static void initHelpResources()
{
    static bool done = false;
    if (!done) {
        Q_INIT_RESOURCE(help);
        done = true;
    }
}

namespace {

const char *const WindowTitle = "Pinnote Help";
const char *const BackText = "&Back";
const char *const ForwardText = "&Forward";
const char *const ContentsText = "&Contents";
const char *const IndexText = "&Index";
const char *const FindText = "F&ind";
const char *const UsingHelpText = "Using Help";
const char *const UsingHelpPage = "helpwindow.html";
const char *const FindLabelText = "Find:";
const char *const NextText = "Next";
const char *const PreviousText = "Previous";
const char *const CloseFindText = "Close";
const char *const NotFoundText = "Not found";
const char *const MissingHelpText =
    "<h1>Help not found</h1><p>The help file <b>%1</b> is not part of this copy of Pinnote.</p>";
const char *const IconScheme = "icon";

constexpr int DesignPpi = 96;
constexpr int DesignWidth = 620;
constexpr int DesignHeight = 540;
constexpr int IconImageSize = 23;

constexpr DesignLayout Layout(DesignPpi);

// A browser that also shows the program's own images, named "icon:<name>" in the pages,
// so the help shows the very toolbar pictures the window has.
class HelpBrowser : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int type, const QUrl &name) override
    {
        if (type == QTextDocument::ImageResource && name.scheme() == QLatin1String(IconScheme)) {
            const QIcon icon = BakedIcons::icon(QLatin1StringView(name.path().toLatin1()));
            if (icon.isNull())
                return {};
            return icon.pixmap(QSize(IconImageSize, IconImageSize), devicePixelRatioF());
        }
        return QTextBrowser::loadResource(type, name);
    }
};

} // namespace

THelpWindow::THelpWindow(const QString &helpFile, QWidget *parent)
    : QMainWindow(parent, Qt::Window)
    , m_root(QStringLiteral("qrc:/%1/").arg(helpFile))
    , m_helpFile(helpFile)
{
    initHelpResources();
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QString::fromLatin1(WindowTitle));
    setWindowIcon(BakedIcons::icon(QLatin1StringView("pinnote")));
    // Reading help must not keep the user from the notes.
    setWindowModality(Qt::NonModal);
    // Closing the notes ends the program even while the help is open.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_browser = new HelpBrowser(central);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    layout->addWidget(m_browser);
    setCentralWidget(central);

    createActions();
    createToolBar();
    createFindBar();
    layout->addWidget(m_findBar);

    resize(Layout.scaled(DesignWidth), Layout.scaled(DesignHeight));
    if (parent)
        parent->installEventFilter(this);
}

void THelpWindow::createActions()
{
    const auto action = [this](const char *name, const char *text, const QList<QKeySequence> &keys) {
        auto *a = new QAction(QString::fromLatin1(text), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        addAction(a);
        return a;
    };
    m_backAction = action("HelpBack", BackText, QKeySequence::keyBindings(QKeySequence::Back));
    m_forwardAction = action("HelpForward", ForwardText, QKeySequence::keyBindings(QKeySequence::Forward));
    m_contentsAction = action("HelpContents", ContentsText, {QKeySequence(Qt::ALT | Qt::Key_Home)});
    m_indexAction = action("HelpIndex", IndexText, {});
    m_findAction = action("HelpFind", FindText, QKeySequence::keyBindings(QKeySequence::Find));
    QAction *usingHelp = action("HelpUsingHelp", UsingHelpText, {QKeySequence(Qt::Key_F1)});
    m_backAction->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    m_forwardAction->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));

    m_backAction->setEnabled(false);
    m_forwardAction->setEnabled(false);
    connect(m_backAction, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forwardAction, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_backAction, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forwardAction, &QAction::setEnabled);
    connect(m_contentsAction, &QAction::triggered, this, [this] { goToPage(QString::fromLatin1(ContentsPage)); });
    connect(m_indexAction, &QAction::triggered, this, [this] { goToPage(QString::fromLatin1(IndexPage)); });
    connect(m_findAction, &QAction::triggered, this, &THelpWindow::showFindBar);
    connect(usingHelp, &QAction::triggered, this, [this] { goToPage(QString::fromLatin1(UsingHelpPage)); });

    auto *closeWindow = new QAction(this);
    closeWindow->setShortcuts(QKeySequence::Close);
    addAction(closeWindow);
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
}

void THelpWindow::createToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Help"));
    m_toolBar->setObjectName(QStringLiteral("HelpToolBar"));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->toggleViewAction()->setVisible(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction *a : {m_backAction, m_forwardAction, m_contentsAction, m_indexAction, m_findAction})
        m_toolBar->addAction(a);
}

void THelpWindow::createFindBar()
{
    m_findBar = new QWidget(this);
    m_findBar->setObjectName(QStringLiteral("HelpFindBar"));
    auto *layout = new QHBoxLayout(m_findBar);
    layout->setContentsMargins(6, 4, 6, 4);
    auto *label = new QLabel(QString::fromLatin1(FindLabelText), m_findBar);
    m_findEdit = new QLineEdit(m_findBar);
    m_findEdit->setObjectName(QStringLiteral("HelpFindText"));
    m_findEdit->setClearButtonEnabled(true);
    label->setBuddy(m_findEdit);
    const auto button = [this](const char *text) {
        auto *b = new QToolButton(m_findBar);
        b->setText(QString::fromLatin1(text));
        b->setAutoRaise(true);
        return b;
    };
    QToolButton *next = button(NextText);
    QToolButton *previous = button(PreviousText);
    QToolButton *close = button(CloseFindText);
    m_findStatus = new QLabel(m_findBar);
    m_findStatus->setObjectName(QStringLiteral("HelpFindStatus"));
    layout->addWidget(label);
    layout->addWidget(m_findEdit, 1);
    layout->addWidget(next);
    layout->addWidget(previous);
    layout->addWidget(m_findStatus);
    layout->addWidget(close);
    m_findBar->hide();

    connect(m_findEdit, &QLineEdit::returnPressed, this, [this] {
        if (QApplication::keyboardModifiers() & Qt::ShiftModifier)
            findPrevious();
        else
            findNext();
    });
    connect(m_findEdit, &QLineEdit::textEdited, m_findStatus, &QLabel::clear);
    connect(next, &QToolButton::clicked, this, &THelpWindow::findNext);
    connect(previous, &QToolButton::clicked, this, &THelpWindow::findPrevious);
    connect(close, &QToolButton::clicked, this, &THelpWindow::hideFindBar);

    auto *nextKey = new QAction(this);
    nextKey->setShortcuts(QKeySequence::FindNext);
    auto *previousKey = new QAction(this);
    previousKey->setShortcuts(QKeySequence::FindPrevious);
    auto *escape = new QAction(m_findBar);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    escape->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(nextKey);
    addAction(previousKey);
    m_findBar->addAction(escape);
    connect(nextKey, &QAction::triggered, this, &THelpWindow::findNext);
    connect(previousKey, &QAction::triggered, this, &THelpWindow::findPrevious);
    connect(escape, &QAction::triggered, this, &THelpWindow::hideFindBar);
}

bool THelpWindow::helpFileExists() const
{
    return QFile::exists(QLatin1Char(':') + m_root.path() + QString::fromLatin1(ContentsPage));
}

QStringList THelpWindow::pages() const
{
    return QDir(QLatin1Char(':') + m_root.path()).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

void THelpWindow::showContents()
{
    goToPage(QString::fromLatin1(ContentsPage));
    followOwnerOnTop();
    if (!m_placed) {
        placeBesideOwner();
        m_placed = true;
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void THelpWindow::goToPage(const QString &page)
{
    if (!helpFileExists()) {
        m_browser->setHtml(QString::fromLatin1(MissingHelpText).arg(m_helpFile.toHtmlEscaped()));
        return;
    }
    const QUrl url = m_root.resolved(QUrl(page));
    if (m_browser->source() != url)
        m_browser->setSource(url);
    else
        m_browser->scrollToAnchor(QString()); // already there: back to its top
}

bool THelpWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The owner shows itself again after switching On Top.
    if (watched == parentWidget() && event->type() == QEvent::Show && isVisible())
        followOwnerOnTop();
    return QMainWindow::eventFilter(watched, event);
}

void THelpWindow::followOwnerOnTop()
{
    // Beside a window that stays on top, help that does not would be hidden behind it.
    const QWidget *owner = parentWidget();
    const bool onTop = owner && owner->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    const bool wasVisible = isVisible();
    const QPoint where = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop); // hides the window
    if (wasVisible) {
        move(where);
        show();
    }
}

void THelpWindow::placeBesideOwner()
{
    // Beside the notes rather than over them, so both can be read; centred when
    // there is no room on either side.
    const QWidget *owner = parentWidget();
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = frameGeometry().size();
    QPoint where = centredPosition(area, size);
    if (owner && owner->isVisible()) {
        const QRect beside = owner->frameGeometry();
        const int top = std::clamp(beside.top(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
        if (beside.right() + 1 + size.width() <= area.right() + 1)
            where = QPoint(beside.right() + 1, top);
        else if (beside.left() - size.width() >= area.left())
            where = QPoint(beside.left() - size.width(), top);
    }
    move(where);
}

QString THelpWindow::currentPage() const
{
    return m_browser->source().fileName();
}

void THelpWindow::showFindBar()
{
    m_findBar->show();
    m_findEdit->setFocus(Qt::ShortcutFocusReason);
    m_findEdit->selectAll();
}

void THelpWindow::hideFindBar()
{
    m_findBar->hide();
    m_findStatus->clear();
    m_browser->setFocus(Qt::OtherFocusReason);
}

void THelpWindow::findNext()
{
    if (!m_findBar->isVisible()) {
        showFindBar();
        if (m_findEdit->text().isEmpty())
            return;
    }
    m_findStatus->setText(findText(m_findEdit->text()) ? QString() : QString::fromLatin1(NotFoundText));
}

void THelpWindow::findPrevious()
{
    if (!m_findBar->isVisible()) {
        showFindBar();
        if (m_findEdit->text().isEmpty())
            return;
    }
    m_findStatus->setText(findText(m_findEdit->text(), true) ? QString() : QString::fromLatin1(NotFoundText));
}

bool THelpWindow::pageContains(const QString &page, const QString &text) const
{
    QFile file(QLatin1Char(':') + m_root.path() + page);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QTextDocument document;
    document.setHtml(QString::fromUtf8(file.readAll()));
    return !document.find(text).isNull();
}

bool THelpWindow::findText(const QString &text, bool backward)
{
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_browser->find(text, flags))
        return true;

    // Not in the rest of this page: go on through the others, then round to the part
    // of this page before where the search began.
    const QStringList all = pages();
    const qsizetype here = all.indexOf(currentPage());
    const qsizetype count = all.size();
    for (qsizetype step = 1; here >= 0 && step < count; ++step) {
        const QString &page = all[((backward ? here - step : here + step) % count + count) % count];
        if (pageContains(page, text)) {
            goToPage(page);
            break;
        }
    }
    m_browser->moveCursor(backward ? QTextCursor::End : QTextCursor::Start);
    return m_browser->find(text, flags);
}
