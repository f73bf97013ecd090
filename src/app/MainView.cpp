// How the window looks: on top, the two bars, colour and font, and the settings
// that carry them from one run to the next.

#include "app/Main.h"

#include "dialogs/TAboutDlg.h"
#include "editor/RichEdit.h"

#include <QStatusBar>
#include <QToolBar>

void TMainForm::readSettings()
{
}

void TMainForm::writeSettings()
{
}

void TMainForm::applyStayOnTop()
{
    const bool wasOnTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (wasOnTop == OnTop)
        return;
    // Changing the flag recreates the native window; the widgets and their
    // contents stay, so only the geometry needs carrying over.
    const bool wasVisible = isVisible();
    const QRect frame = frameGeometry();
    const QSize size = this->size();
    setWindowFlag(Qt::WindowStaysOnTopHint, OnTop);
    if (wasVisible) {
        move(frame.topLeft());
        resize(size);
        show();
    }
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
}

void TMainForm::ViewFontMenuItemClick()
{
}

void TMainForm::AboutMenuItemClick()
{
    AboutDlg->setTexts(QString::fromLatin1(FullName), QString::fromLatin1(VersionText));
    AboutDlg->exec();
}
