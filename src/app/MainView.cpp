// How the window looks: on top, the two bars, colour and font, and the settings
// that carry them from one run to the next.

#include "app/Main.h"

#include "dialogs/TAboutDlg.h"
#include "dialogs/TFontDialog.h"
#include "editor/RichEdit.h"
#include "widgets/DialogPlacement.h"
#include "widgets/ErrorBox.h"
#include "widgets/FontColour.h"
#include "storage/StoredSettings.h"
#include "storage/TRegIniFile.h"

#include <QColorDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QList>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QWindow>

namespace {

// The frame's thickness on each side: the outer rectangle less the client one.
QMargins frameMarginsOf(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// Qt keeps custom colours in the user's QtProject.conf and brings them back in the next
// run; Pinnote's last for one run only, so they start blank.
void startCustomColoursBlank()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(Qt::white));
}

} // namespace

void TMainForm::readSettings()
{
    TRegIniFile store;
    const StoredSettings values = StoredSettings::read(store, m_screenPpi, [this](const Exception &error) {
        // Start-up goes on with the default for the value that could not be read.
        ErrorBox::show(this, error);
    });
    OnTop = values.onTop;
    StatusOn = values.statusOn;
    ToolbarOn = values.toolbarOn;
    // A window larger than the whole desktop shows nothing more, but its pixels alone could
    // take gigabytes.
    QSize size(values.width, values.height);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->virtualGeometry().size());
    // A window stored where its title bar cannot be reached, say on a monitor since
    // unplugged, opens on the nearest screen instead, in its stored size.
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    m_storedBounds = QRect(reachablePosition(QPoint(values.left, values.top), size, screens), size);
    applyStoredBounds();
    MemoColour = values.memoColour;
    m_editorFont = values.font;
}

void TMainForm::writeSettings()
{
    StoredSettings values(m_screenPpi);
    values.onTop = OnTop;
    values.statusOn = StatusOn;
    values.toolbarOn = ToolbarOn;
    const QRect bounds = outerBounds();
    values.left = bounds.left();
    values.top = bounds.top();
    values.width = bounds.width();
    values.height = bounds.height();
    values.memoColour = MemoColour;
    values.font = m_editorFont;

    TRegIniFile store;
    StoredSettings::write(store, values);
}

QRect TMainForm::outerBounds() const
{
    // A minimised window is stored where it would be restored to; one minimised from
    // maximised goes back to its maximised rectangle, which its geometry still holds.
    if (isMinimized() && !isMaximized() && !normalGeometry().isEmpty())
        return normalGeometry().marginsAdded(frameMarginsOf(this));
    return frameGeometry();
}

void TMainForm::applyStoredBounds()
{
    // The stored size is the outer one; until the window manager has framed the window
    // the frame is unknown, so this runs again once it is (see event()).
    m_appliedMargins = frameMarginsOf(this);
    resize(m_storedBounds.size().shrunkBy(m_appliedMargins));
    move(m_storedBounds.topLeft());
}

void TMainForm::setVisible(bool visible)
{
    // A message box at start-up has the hidden window made native early, and moving a
    // native window places its client area, not its frame: it would open a title bar
    // too high with the stored outer size as its inner one. Made anew, it is placed by
    // its frame like a window that had no box before it.
    if (visible && !isVisible() && m_boundsPending && windowHandle() && windowHandle()->handle()) {
        windowHandle()->destroy();
        applyStoredBounds();
    }
    QMainWindow::setVisible(visible);
}

bool TMainForm::event(QEvent *event)
{
    const bool result = QMainWindow::event(event);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        if (m_boundsPending && isVisible() && frameMarginsOf(this) != m_appliedMargins) {
            applyStoredBounds();
            m_boundsPending = m_appliedMargins.isNull();
        }
        break;
    case QEvent::WindowStateChange:
        // Maximising or minimising changes the frame too; that is the user's doing,
        // not a late frame to correct for.
        m_boundsPending = false;
        break;
    default:
        break;
    }
    return result;
}

void TMainForm::applyStayOnTop()
{
    Qt::WindowFlags flags = windowFlags();
    if (flags.testFlag(Qt::WindowStaysOnTopHint) == OnTop)
        return;
    flags.setFlag(Qt::WindowStaysOnTopHint, OnTop);
    QWindow *native = windowHandle();
    if (!native) {
        setWindowFlags(flags);
        return;
    }
    // setWindowFlags() would unmap and recreate the native window, and the window manager
    // maps the new one a frame's offset away from the old. The window system changes the
    // stacking of the window as it stands, so the widget only needs to learn the flag.
    overrideWindowFlags(flags);
    native->setFlags(flags);
}

void TMainForm::applyEditorFont(const TFont &font)
{
    Memo->setDefaultFont(toQFont(font), textColour(font));
}

void TMainForm::ViewOnTopMenuItemClick()
{
    OnTop = !OnTop;
    applyStayOnTop();
}

void TMainForm::ViewToolbarMenuItemClick()
{
    ToolbarOn = !ToolbarOn;
    ToolBar->setVisible(ToolbarOn);
}

void TMainForm::ViewStatusMenuItemClick()
{
    StatusOn = !StatusOn;
    StatusBar->setVisible(StatusOn);
}

void TMainForm::ViewColourMenuItemClick()
{
    // Custom colours defined in the chooser last only from one OK to the next.
    startCustomColoursBlank();
    QColorDialog dialog(resolveColour(MemoColour), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    placeSystemDialog(&dialog);
    QList<QColor> customColours;
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        customColours.append(QColorDialog::customColor(i));
    if (dialog.exec() != QDialog::Accepted) {
        for (int i = 0; i < customColours.size(); ++i)
            QColorDialog::setCustomColor(i, customColours.at(i));
        return;
    }
    MemoColour = fromQColor(dialog.selectedColor());
    Memo->setBackgroundColour(resolveColour(MemoColour));
}

void TMainForm::ViewFontMenuItemClick()
{
    TFont chosen = m_editorFont;
    if (!TFontDialog::execute(this, chosen))
        return;
    m_editorFont = chosen;
    applyEditorFont(m_editorFont);
}

void TMainForm::AboutMenuItemClick()
{
    AboutDlg->setTexts(QString::fromLatin1(FullName), QString::fromLatin1(VersionText));
    AboutDlg->exec();
}
