#include "app/Main.h"

#include "app/MainTexts.h"
#include "core/DesignFont.h"
#include "dialogs/TAboutDlg.h"
#include "dialogs/TFindDlg.h"
#include "editor/RichEdit.h"
#include "widgets/BakedIcons.h"
#include "widgets/ErrorBox.h"
#include "widgets/FontColour.h"
#include "widgets/MessageBox.h"
#include "widgets/ScreenPpi.h"
#include "widgets/TabStrip.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

using namespace MainTexts;

namespace {

constexpr int ToolbarTimerInterval = 1000;
constexpr int HintPanelWidth = 300;
constexpr int ToolButtonWidth = 30;
constexpr int ToolButtonHeight = 29;
constexpr int ToolImageSize = 23;
constexpr int DesignWidth = 382;
constexpr int DesignHeight = 254;
constexpr int DesignPpi = 96;
constexpr int WindowFontPixels = 10;

const char HintProperty[] = "pinnoteHint";

// The part of a hint after the first '|', or all of it.
QString longHint(const QString &hint)
{
    const qsizetype bar = hint.indexOf(QLatin1Char('|'));
    return bar < 0 ? hint : hint.mid(bar + 1);
}

QString hintOf(const QObject *object)
{
    return object ? object->property(HintProperty).toString() : QString();
}

bool contains(const QWidget *ancestor, const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == ancestor)
            return true;
    }
    return false;
}

QKeySequence keyOf(const QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    return QKeySequence(QKeyCombination(modifiers, Qt::Key(event->key())));
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent)
    , m_noteFile(QDir::current().absoluteFilePath(QString::fromLatin1(NoteFile::FileName)))
    , m_screenPpi(screenPpi())
    , m_editorFont(m_screenPpi)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setWindowIcon(BakedIcons::icon(QLatin1StringView("pinnote")));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setContextMenuPolicy(Qt::PreventContextMenu);

    QFont windowFont(QString::fromLatin1(DesignFontFace));
    windowFont.setPixelSize(WindowFontPixels * m_screenPpi / DesignPpi);
    setFont(windowFont);
    resize(DesignWidth, DesignHeight);

    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createCentralArea();
    createTimer();

    FormCreate();
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
}

void TMainForm::createActions()
{
    // The menus own their items; see createMenus(). Toolbar buttons are actions of
    // their own, with their own hints and enabled states.
    const auto button = [this](const char *name, const char *icon, const char *hint,
                               void (TMainForm::*handler)()) {
        auto *action = new QAction(BakedIcons::icon(QLatin1StringView(icon)), longHint(QString::fromLatin1(hint)), this);
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty(HintProperty, QString::fromLatin1(hint));
        if (handler)
            connect(action, &QAction::triggered, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
        return action;
    };
    SaveButton = button("SaveButton", "save", SaveButtonHint, &TMainForm::FileSaveMenuItemClick);
    CutButton = button("CutButton", "cut", CutButtonHint, &TMainForm::EditCutMenuItemClick);
    CopyButton = button("CopyButton", "copy", CopyButtonHint, &TMainForm::EditCopyMenuItemClick);
    PasteButton = button("PasteButton", "paste", PasteButtonHint, &TMainForm::EditPasteMenuItemClick);
    AddMemoButton = button("AddMemoButton", "addmemo", AddMemoButtonHint,
                           &TMainForm::PagesAddMemoMenuItemClick);
    RemoveButton = button("RemoveButton", "removememo", RemoveButtonHint,
                          &TMainForm::PagesRemoveMenuItemClick);
    PrintButton = button("PrintButton", "print", PrintButtonHint, &TMainForm::FilePrintMenuItemClick);
    AboutButton = button("AboutButton", "about", AboutButtonHint, &TMainForm::AboutMenuItemClick);
}

QAction *TMainForm::addMenuAction(QMenu *menu, const char *name, const char *caption, const char *hint,
                                  const QKeySequence &shortcut, void (TMainForm::*handler)())
{
    // The shortcut is the action's own, so menus draw it and screen readers offer it as
    // the item's key binding; but the window handles the keys itself (handleShortcut)
    // and claims them before Qt's shortcut map, so that a disabled item still swallows
    // its key and the states are refreshed first.
    QAction *action = menu->addAction(QString::fromLatin1(caption));
    action->setShortcut(shortcut);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty(HintProperty, QString::fromLatin1(hint));
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { runCommand([this, handler] { (this->*handler)(); }); });
    if (!shortcut.isEmpty())
        m_shortcuts.insert(shortcut, action);
    return action;
}

void TMainForm::createMenus()
{
    const auto topMenu = [this](const char *name, const char *caption) {
        QMenu *menu = menuBar()->addMenu(QString::fromLatin1(caption));
        menu->setObjectName(QString::fromLatin1(name));
        menu->setToolTipsVisible(false);
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdateMenuItems);
        connect(menu, &QMenu::hovered, this, [this](QAction *action) { setHint(longHint(hintOf(action))); });
        connect(menu, &QMenu::aboutToHide, this, [this] { setHint(QString()); });
        menu->installEventFilter(this);
        return menu;
    };

    FileMenuItem = topMenu("FileMenuItem", FileMenuCaption);
    FileSaveMenuItem = addMenuAction(FileMenuItem, "FileSaveMenuItem", FileSaveCaption, FileSaveHint,
                                     QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::FileSaveMenuItemClick);
    FileMenuItem->addSeparator()->setObjectName(QStringLiteral("N7"));
    FileExportMenuItem = FileMenuItem->addMenu(QString::fromLatin1(FileExportCaption));
    FileExportMenuItem->setObjectName(QStringLiteral("FileExportMenuItem"));
    connect(FileExportMenuItem, &QMenu::hovered, this, [this](QAction *action) { setHint(longHint(hintOf(action))); });
    FileExportMenuItem->installEventFilter(this);
    ExportTextMenuItem = addMenuAction(FileExportMenuItem, "ExportTextMenuItem", ExportTextCaption, ExportTextHint,
                                       {}, &TMainForm::ExportTextMenuItemClick);
    ExportRTFMenuTiem = addMenuAction(FileExportMenuItem, "ExportRTFMenuTiem", ExportRtfCaption, ExportRtfHint, {},
                                      &TMainForm::ExportRTFMenuTiemClick);
    FileMenuItem->addSeparator()->setObjectName(QStringLiteral("N1"));
    FilePrintMenuItem = addMenuAction(FileMenuItem, "FilePrintMenuItem", FilePrintCaption, FilePrintHint,
                                      QKeySequence(Qt::CTRL | Qt::Key_P), &TMainForm::FilePrintMenuItemClick);
    PrinterSetup1 = addMenuAction(FileMenuItem, "PrinterSetup1", PrinterSetupCaption, PrinterSetupHint, {},
                                  &TMainForm::PrinterSetup1Click);
    FileMenuItem->addSeparator()->setObjectName(QStringLiteral("N5"));
    FileExitMenuItem = addMenuAction(FileMenuItem, "FileExitMenuItem", FileExitCaption, FileExitHint, {},
                                     &TMainForm::FileExitMenuItemClick);

    SearchMenuItem = topMenu("SearchMenuItem", SearchMenuCaption);
    SearchFindMenuItem = addMenuAction(SearchMenuItem, "SearchFindMenuItem", SearchFindCaption, SearchFindHint,
                                       QKeySequence(Qt::CTRL | Qt::Key_F), &TMainForm::SearchFindMenuItemClick);
    // Searching every window is not offered: the item stays hidden and disabled.
    SearchFindallMenuItem = addMenuAction(SearchMenuItem, "SearchFindallMenuItem", SearchFindAllCaption,
                                          SearchFindAllHint, {}, nullptr);
    SearchFindallMenuItem->setEnabled(false);
    SearchFindallMenuItem->setVisible(false);
    SearchFindagainMenuItem = addMenuAction(SearchMenuItem, "SearchFindagainMenuItem", SearchFindAgainCaption,
                                            SearchFindAgainHint, QKeySequence(Qt::Key_F3),
                                            &TMainForm::SearchFindagainMenuItemClick);

    Edit1 = topMenu("Edit1", EditMenuCaption);
    EditCutMenuItem = addMenuAction(Edit1, "EditCutMenuItem", EditCutCaption, EditCutHint,
                                    QKeySequence(Qt::CTRL | Qt::Key_X), &TMainForm::EditCutMenuItemClick);
    EditCopyMenuItem = addMenuAction(Edit1, "EditCopyMenuItem", EditCopyCaption, EditCopyHint,
                                     QKeySequence(Qt::CTRL | Qt::Key_C), &TMainForm::EditCopyMenuItemClick);
    EditPasteMenuItem = addMenuAction(Edit1, "EditPasteMenuItem", EditPasteCaption, EditPasteHint,
                                      QKeySequence(Qt::CTRL | Qt::Key_V), &TMainForm::EditPasteMenuItemClick);
    EditDeleteMenuItem = addMenuAction(Edit1, "EditDeleteMenuItem", EditDeleteCaption, EditDeleteHint,
                                       QKeySequence(Qt::CTRL | Qt::Key_Delete), &TMainForm::EditDeleteMenuItemClick);
    EditSelectAllMenuItem = addMenuAction(Edit1, "EditSelectAllMenuItem", EditSelectAllCaption, EditSelectAllHint,
                                          QKeySequence(Qt::CTRL | Qt::Key_A), &TMainForm::EditSelectAllMenuItemClick);

    View1 = topMenu("View1", ViewMenuCaption);
    ViewOnTopMenuItem = addMenuAction(View1, "ViewOnTopMenuItem", ViewOnTopCaption, ViewOnTopHint, {},
                                      &TMainForm::ViewOnTopMenuItemClick);
    ViewOnTopMenuItem->setCheckable(true);
    ViewOnTopMenuItem->setChecked(true);
    View1->addSeparator()->setObjectName(QStringLiteral("N4"));
    ViewColourMenuItem = addMenuAction(View1, "ViewColourMenuItem", ViewColourCaption, ViewColourHint, {},
                                       &TMainForm::ViewColourMenuItemClick);
    ViewFontMenuItem = addMenuAction(View1, "ViewFontMenuItem", ViewFontCaption, ViewFontHint, {},
                                     &TMainForm::ViewFontMenuItemClick);
    View1->addSeparator()->setObjectName(QStringLiteral("N6"));
    ViewToolbarMenuItem = addMenuAction(View1, "ViewToolbarMenuItem", ViewToolbarCaption, ViewToolbarHint, {},
                                        &TMainForm::ViewToolbarMenuItemClick);
    ViewToolbarMenuItem->setCheckable(true);
    ViewStatusMenuItem = addMenuAction(View1, "ViewStatusMenuItem", ViewStatusCaption, ViewStatusHint, {},
                                       &TMainForm::ViewStatusMenuItemClick);
    ViewStatusMenuItem->setCheckable(true);

    PagesMenuItem = topMenu("PagesMenuItem", PagesMenuCaption);
    PagesAddMemoMenuItem = addMenuAction(PagesMenuItem, "PagesAddMemoMenuItem", PagesAddMemoCaption,
                                         PagesAddMemoHint, {}, &TMainForm::PagesAddMemoMenuItemClick);
    PagesRemoveMenuItem = addMenuAction(PagesMenuItem, "PagesRemoveMenuItem", PagesRemoveCaption, PagesRemoveHint,
                                        {}, &TMainForm::PagesRemoveMenuItemClick);
    PagesMenuItem->addSeparator()->setObjectName(QStringLiteral("N2"));
    PagesPropertiesMenuItem = addMenuAction(PagesMenuItem, "PagesPropertiesMenuItem", PagesPropertiesCaption,
                                            PagesPropertiesHint, {}, nullptr);
    PagesPropertiesMenuItem->setEnabled(false);

    Help1 = topMenu("Help1", HelpMenuCaption);
    Contents1 = addMenuAction(Help1, "Contents1", HelpContentsCaption, HelpContentsHint, QKeySequence(Qt::Key_F1),
                              &TMainForm::Contents1Click);
    Help1->addSeparator()->setObjectName(QStringLiteral("N3"));
    AboutMenuItem = addMenuAction(Help1, "AboutMenuItem", AboutCaption, AboutHint, {},
                                  &TMainForm::AboutMenuItemClick);
}

void TMainForm::createToolBar()
{
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setIconSize(QSize(ToolImageSize, ToolImageSize));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar);

    const auto addButton = [this](QAction *action) {
        ToolBar->addAction(action);
        QWidget *button = ToolBar->widgetForAction(action);
        button->setObjectName(action->objectName());
        button->setProperty(HintProperty, action->property(HintProperty));
        button->setFixedSize(ToolButtonWidth, ToolButtonHeight);
    };
    const auto addSeparator = [this](const char *name) {
        QAction *separator = ToolBar->addSeparator();
        separator->setObjectName(QString::fromLatin1(name));
    };
    addButton(SaveButton);
    addSeparator("ToolButton1");
    addButton(CutButton);
    addButton(CopyButton);
    addButton(PasteButton);
    addSeparator("ToolButton3");
    addButton(AddMemoButton);
    addButton(RemoveButton);
    addSeparator("ToolButton2");
    addButton(PrintButton);
    addSeparator("ToolButton5");
    addButton(AboutButton);
}

void TMainForm::createStatusBar()
{
    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    StatusBar->setSizeGripEnabled(true);

    m_hintPanel = new QLabel(StatusBar);
    m_hintPanel->setObjectName(QStringLiteral("HintPanel"));
    m_hintPanel->setFixedWidth(HintPanelWidth * m_screenPpi / DesignPpi);
    m_hintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(m_hintPanel);

    m_memoPanel = new QLabel(QString::fromLatin1(MemoPanelText), StatusBar);
    m_memoPanel->setObjectName(QStringLiteral("MemoPanel"));
    m_memoPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar->addWidget(m_memoPanel, 1);
}

void TMainForm::createCentralArea()
{
    TabControl = new TabStrip(this);
    TabControl->setObjectName(QStringLiteral("TabControl"));
    TabControl->addTab(QString::fromLatin1(FirstPageName));
    TabControl->setCurrentIndex(0);
    connect(TabControl, &TabStrip::currentChanging, this, [this](bool *allow) {
        runCommand([this, allow] { TabControlChanging(allow); });
    });
    connect(TabControl, &TabStrip::currentChanged, this, [this] { runCommand([this] { TabControlChange(); }); });

    Memo = new RichEdit(TabControl);
    Memo->setObjectName(QStringLiteral("Memo"));
    TabControl->setPageWidget(Memo);
    setCentralWidget(TabControl);

    // The tab strip comes first in the tab order and has the focus when the window opens.
    setTabOrder(TabControl, Memo);
    TabControl->setFocus();
}

void TMainForm::createTimer()
{
    ToolbarTimer = new QTimer(this);
    ToolbarTimer->setObjectName(QStringLiteral("ToolbarTimer"));
    ToolbarTimer->setInterval(ToolbarTimerInterval);
    connect(ToolbarTimer, &QTimer::timeout, this, &TMainForm::UpdateToolbarItems);
    ToolbarTimer->start();
}

void TMainForm::FormCreate()
{
    qApp->installEventFilter(this);

    readSettings();
    StatusBar->setVisible(StatusOn);
    ToolBar->setVisible(ToolbarOn);
    applyStayOnTop();
    Memo->setBackgroundColour(resolveColour(MemoColour));

    m_notesLoaded = LoadNotes();
    if (!m_notesLoaded)
        return;
    offerRecovery();
    showPage(0);
    applyEditorFont(m_editorFont);
    SearchActive = false;
    startSnapshots();
    startWatching();
    // The buttons show the real states from the first paint, not only after the first tick.
    UpdateToolbarItems();
}

void TMainForm::createDialogs()
{
    AboutDlg = new TAboutDlg(this);
    FindDlg = new TFindDlg(this);
}

template<typename F>
void TMainForm::runCommand(F &&command)
{
    ErrorBox::guard(this, std::forward<F>(command));
}

// Hint line ------------------------------------------------------------------

void TMainForm::setHint(const QString &hint)
{
    if (hint == m_hint)
        return;
    m_hint = hint;
    DisplayHint();
}

void TMainForm::DisplayHint()
{
    m_hintPanel->setText(m_hint);
}

void TMainForm::updateHintFromWidget(QWidget *widget)
{
    QString hint;
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        hint = hintOf(w);
        if (!hint.isEmpty())
            break;
        if (w->isWindow())
            break;
    }
    setHint(longHint(hint));
}

// Command-state refresh --------------------------------------------------------

void TMainForm::UpdateMenuItems()
{
    const bool hasSelection = Memo->selection().length() > 0;
    PagesAddMemoMenuItem->setEnabled(true);
    PagesRemoveMenuItem->setEnabled(pageCount() > 1);
    EditCutMenuItem->setEnabled(hasSelection);
    EditCopyMenuItem->setEnabled(hasSelection);
    EditDeleteMenuItem->setEnabled(hasSelection);
    EditPasteMenuItem->setEnabled(clipboardHasText());
    SearchFindagainMenuItem->setEnabled(SearchActive);
    ViewOnTopMenuItem->setChecked(OnTop);
    ViewToolbarMenuItem->setChecked(ToolbarOn);
    ViewStatusMenuItem->setChecked(StatusOn);
}

void TMainForm::UpdateToolbarItems()
{
    const bool hasSelection = Memo->selection().length() > 0;
    AddMemoButton->setEnabled(true);
    RemoveButton->setEnabled(pageCount() > 1);
    CutButton->setEnabled(hasSelection);
    CopyButton->setEnabled(hasSelection);
    PasteButton->setEnabled(clipboardHasText());
}

// Menu shortcuts and the application-wide event filter ----------------------------

QAction *TMainForm::actionForKey(const QKeyEvent *event) const
{
    return m_shortcuts.value(keyOf(event), nullptr);
}

bool TMainForm::handleShortcut(QKeyEvent *event)
{
    QAction *action = actionForKey(event);
    if (!action)
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        // Claim the key so that neither the editor's own binding nor Qt's shortcut
        // map acts on it; the key press that follows comes back here.
        event->accept();
        return true;
    }
    UpdateMenuItems();
    if (action->isEnabled())
        action->trigger();
    return true;
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ToolTip:
    case QEvent::WhatsThis:
        return true; // no tooltips anywhere

    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        auto *widget = qobject_cast<QWidget *>(watched);
        // With a menu open the keys do nothing, as before the actions held their shortcuts.
        if (event->type() == QEvent::ShortcutOverride && QApplication::activePopupWidget()
            && actionForKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        if (!widget || widget->window() != this || QApplication::activePopupWidget())
            break;
        auto *key = static_cast<QKeyEvent *>(event);
        // Behind a modal dialog the window's shortcuts do nothing at all.
        if (QApplication::activeModalWidget())
            return actionForKey(key) != nullptr;
        if (handleShortcut(key))
            return true;
        break;
    }

    case QEvent::MouseMove:
        if (auto *menu = qobject_cast<QMenu *>(watched))
            settleMenuHint(menu);
        break;

    case QEvent::Enter:
    case QEvent::Leave: {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (!widget)
            break;
        if (auto *menu = qobject_cast<QMenu *>(widget)) {
            settleMenuHint(menu);
            break;
        }
        if (widget->window() != this || QApplication::activePopupWidget())
            break;
        if (event->type() == QEvent::Enter) {
            if (!m_hovered || !contains(widget, m_hovered))
                m_hovered = widget;
        } else if (m_hovered && contains(widget, m_hovered)) {
            m_hovered = widget == this ? nullptr : widget->parentWidget();
        }
        scheduleHintUpdate();
        break;
    }

    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// A menu signals only the items it highlights, not a move onto a separator, a greyed
// item or off the menu. Once it has handled the move, read what is highlighted now.
// An open submenu gets the pointer's moves over its parent too, and stays open a while
// after the parent has highlighted another item: with nothing highlighted in the
// submenu, what counts is its parent's highlight.
void TMainForm::settleMenuHint(QMenu *menu)
{
    QTimer::singleShot(0, menu, [this] {
        const auto *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!open)
            return; // closing the menu has emptied the hint already
        const QAction *action = open->activeAction();
        while (!action && open) {
            const QMenu *parent = nullptr;
            for (QObject *holder : open->menuAction()->associatedObjects()) {
                auto *candidate = qobject_cast<QMenu *>(holder);
                if (candidate && candidate->isVisible())
                    parent = candidate;
            }
            open = parent;
            action = open ? open->activeAction() : nullptr;
        }
        const bool greyedShown = action && !action->isEnabled()
            && open->style()->styleHint(QStyle::SH_Menu_AllowActiveAndDisabled, nullptr, open);
        if (!action || action->isSeparator() || (!action->isEnabled() && !greyedShown))
            setHint(QString());
        else
            setHint(longHint(hintOf(action)));
    });
}

void TMainForm::scheduleHintUpdate()
{
    // Like an idle handler: settle on the widget under the pointer once the burst of
    // enter and leave events is over.
    if (m_hintUpdatePending)
        return;
    m_hintUpdatePending = true;
    QTimer::singleShot(0, this, [this] {
        m_hintUpdatePending = false;
        if (!QApplication::activePopupWidget())
            updateHintFromWidget(m_hovered);
    });
}

// Close ----------------------------------------------------------------------

void TMainForm::FileExitMenuItemClick()
{
    close();
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    if (FormClose() == CloseAction::Free)
        event->accept();
    else
        event->ignore();
}

TMainForm::CloseAction TMainForm::FormClose()
{
    try {
        writeSettings();
    } catch (const Exception &error) {
        ErrorBox::show(this, error);
        return CloseAction::None;
    }

    if (SaveNotes())
        return CloseAction::Free;
    MessageBox::Request question;
    question.parent = this;
    question.text = QString::fromLatin1(ExitAnywayQuestion);
    question.caption = QString::fromLatin1(ErrorCaption);
    question.informativeText = m_saveFailure;
    question.icon = MessageBox::Icon::Exclamation;
    question.buttons = MessageBox::Yes | MessageBox::No;
    question.defaultButton = MessageBox::Yes;
    if (MessageBox::show(question) != MessageBox::Yes)
        return CloseAction::None;
    notesAbandoned();
    return CloseAction::Free;
}

void TMainForm::saveForSessionEnd()
{
    try {
        writeSettings();
    } catch (const Exception &) {
        // Nobody is left to tell; the notes matter more.
    }
    if (!SaveNotes())
        notesAbandoned();
}
