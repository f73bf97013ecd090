#include "dialogs/DesignedDialog.h"

#include "core/DesignFont.h"
#include "widgets/DialogPlacement.h"

DesignedDialog::DesignedDialog(QWidget *parent, Qt::WindowFlags extraFlags, const DesignLayout &layout,
                               const Design &design)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | extraFlags)
{
    setWindowTitle(QString::fromLatin1(design.caption));
    QFont dialogFont(QString::fromLatin1(DesignFontFace));
    dialogFont.setPixelSize(layout.scaled(design.fontPixels));
    setFont(dialogFont);
    setFixedSize(layout.scaled(design.clientWidth), layout.scaled(design.clientHeight));
    // Only the first showing is centred; later ones reopen where the dialog was left.
    centreOnScreen(this);
}
