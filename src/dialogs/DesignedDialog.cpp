#include "dialogs/DesignedDialog.h"

#include "core/DesignFont.h"
#include "widgets/DialogPlacement.h"

DesignedDialog::DesignedDialog(QWidget *parent, CloseBox closeBox, const DesignLayout &layout, const Design &design)
    : QDialog(parent, dialogFrameFlags(closeBox))
{
    setWindowTitle(QString::fromLatin1(design.caption));
    QFont dialogFont(QString::fromLatin1(DesignFontFace));
    dialogFont.setPixelSize(layout.scaled(design.fontPixels));
    setFont(dialogFont);
    setFixedSize(layout.scaled(design.clientWidth), layout.scaled(design.clientHeight));
    // Only the first showing is centred; later ones reopen where the dialog was left.
    centreOnScreen(this);
}
