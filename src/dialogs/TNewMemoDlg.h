#pragma once

#include "dialogs/DesignedDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the name of a new memo page. Made anew for each use.
class TNewMemoDlg : public DesignedDialog
{
    Q_OBJECT

public:
    explicit TNewMemoDlg(QWidget *parent);

    // The name exactly as typed, spaces and letter case kept.
    QString name() const;

    void setVisible(bool visible) override;

private:
    void createControls();

    QLabel *Label1 = nullptr;
    QLineEdit *NameEdit = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
};
