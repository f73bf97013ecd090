#pragma once

#include "widgets/DesignLayout.h"
#include "widgets/DialogFrame.h"

#include <QDialog>

// The start of one of the program's own designed dialogs: its caption, the design font
// at the designed size and the fixed client size, scaled from the design resolution to
// this screen, a fixed dialog frame, and centred on the screen the first time it shows.
class DesignedDialog : public QDialog
{
    Q_OBJECT

protected:
    struct Design
    {
        const char *caption;
        int fontPixels;
        int clientWidth;
        int clientHeight;
    };

    DesignedDialog(QWidget *parent, CloseBox closeBox, const DesignLayout &layout, const Design &design);
};
