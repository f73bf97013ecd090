// Print and Printer Setup: the page on show on the printer chosen for this run.

#include "app/Main.h"

#include "dialogs/TPrinterSetupDialog.h"
#include "editor/RichEdit.h"
#include "widgets/DialogPlacement.h"
#include "print/PrintRun.h"
#include "print/TPrinter.h"

#include <QEvent>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// Qt 6.4 offers page ranges and page sets in the print dialog whatever its options say;
// here every run prints all pages, so the range choices are not shown at all.
class AllPagesOnly : public QObject
{
public:
    using QObject::QObject;

    static constexpr char RangeGroupName[] = "gbPrintRange";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *range = watched->findChild<QWidget *>(QString::fromLatin1(RangeGroupName)))
                range->hide();
        }
        return false;
    }
};

} // namespace

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
    dialog.installEventFilter(new AllPagesOnly(&dialog));
    placeSystemDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    choice.setPrintRange(QPrinter::AllPages);
    choice.setPageRanges(QPageRanges());

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
