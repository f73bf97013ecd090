// Print and Printer Setup: the page on show on the printer chosen for this run.

#include "app/Main.h"

#include "dialogs/TPrinterSetupDialog.h"
#include "editor/RichEdit.h"
#include "platform/DialogPlacement.h"
#include "text/PrintRun.h"
#include "text/TPrinter.h"

#include <QPrintDialog>
#include <QPrinter>

void TMainForm::FilePrintMenuItemClick()
{
    TPrinter &printer = TPrinter::instance();
    // A missing printer is reported before any dialog opens; the dialog works on a
    // copy, so that Cancel leaves the selection as it was.
    QPrinter choice(QPrinter::HighResolution);
    printer.copyTo(choice);

    QPrintDialog dialog(&choice, this);
    dialog.setOptions(QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    placeSystemDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;

    printer.takeFrom(choice);
    // The printer makes the copies from its settings; every page is drawn once.
    printer.setCopies(choice.copyCount());
    PrintRun::print(*Memo, QString());
}

void TMainForm::PrinterSetup1Click()
{
    TPrinter &printer = TPrinter::instance();
    QPrinter choice(QPrinter::HighResolution);
    printer.copyTo(choice);

    TPrinterSetupDialog dialog(&choice, this);
    placeSystemDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.takeFrom(choice);
}
