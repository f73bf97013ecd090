// Help > Contents (F1): the program's own help window, opened at its contents.

#include "app/Main.h"

#include "app/MainTexts.h"
#include "help/THelpWindow.h"

#include <QCoreApplication>

void TMainForm::Contents1Click()
{
    if (!HelpWindow) {
        // The help file is the one named at start-up; a window made without start-up
        // (as in tests) uses the same name.
        QString helpFile = QCoreApplication::instance()->property("helpFile").toString();
        if (helpFile.isEmpty())
            helpFile = QString::fromLatin1(MainTexts::HelpFileName);
        HelpWindow = new THelpWindow(helpFile, this);
    }
    HelpWindow->showContents();
}
