#pragma once

#include <QDialog>
#include <QPageSize>

class QComboBox;
class QLabel;
class QPrinter;
class QRadioButton;

// The printer setup dialog: which printer, its paper size and the orientation. It works
// on the printer it is given and changes it only on OK.
class TPrinterSetupDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr char PrinterComboName[] = "printerCombo";
    static constexpr char PaperComboName[] = "paperCombo";
    static constexpr char PortraitName[] = "portraitButton";
    static constexpr char LandscapeName[] = "landscapeButton";

    explicit TPrinterSetupDialog(QPrinter *printer, QWidget *parent = nullptr);

    QComboBox *printerCombo() const { return m_printers; }
    QComboBox *paperCombo() const { return m_papers; }

    void accept() override;

private:
    void showPrinter(const QString &name);

    QPrinter *m_printer;
    QComboBox *m_printers = nullptr;
    QLabel *m_status = nullptr;
    QLabel *m_type = nullptr;
    QLabel *m_where = nullptr;
    QLabel *m_comment = nullptr;
    QComboBox *m_papers = nullptr;
    QRadioButton *m_portrait = nullptr;
    QRadioButton *m_landscape = nullptr;
    QPageSize m_wantedSize;
};
