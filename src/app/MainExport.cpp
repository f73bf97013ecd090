// Export: the page on show written to a file the user names, as text or Rich Text.

#include "app/Main.h"

#include "editor/RichEdit.h"
#include "widgets/DialogPlacement.h"
#include "storage/ExportFile.h"

#include <QFileDialog>
#include <QIODevice>

namespace {

constexpr char SaveDialogTitle[] = "Export file";

struct ExportKind
{
    const char *filter;        // description (pattern)
    const char *defaultSuffix; // without its dot
    bool plainText;
};

constexpr ExportKind TextExport{"Text file (*.txt)", "txt", true};
constexpr ExportKind RtfExport{"Rich Text file (*.rtf)", "rtf", false};

} // namespace

QFileDialog *TMainForm::saveDialog()
{
    if (!SaveDialog) {
        SaveDialog = new QFileDialog(this, QString::fromLatin1(SaveDialogTitle));
        SaveDialog->setObjectName(QStringLiteral("SaveDialog"));
        // Qt's own dialog, so that it is placed like every other system dialog.
        SaveDialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
        SaveDialog->setAcceptMode(QFileDialog::AcceptSave);
        SaveDialog->setFileMode(QFileDialog::AnyFile);
        placeSystemDialog(SaveDialog);
    }
    return SaveDialog;
}

void TMainForm::exportPage(bool plainText)
{
    const ExportKind &kind = plainText ? TextExport : RtfExport;
    QFileDialog *dialog = saveDialog();
    dialog->setNameFilter(QString::fromLatin1(kind.filter));
    dialog->setDefaultSuffix(QString::fromLatin1(kind.defaultSuffix));
    // Set after the filter, which would otherwise change the name's extension to its own.
    dialog->selectFile(m_exportFileName);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty())
        return;
    m_exportFileName = chosen.constFirst();
    Memo->PlainText = kind.plainText;
    ExportFile::write(m_exportFileName, [this](QIODevice *device) { return Memo->streamOut(device); });
}

void TMainForm::ExportTextMenuItemClick()
{
    exportPage(true);
}

void TMainForm::ExportRTFMenuTiemClick()
{
    exportPage(false);
}
