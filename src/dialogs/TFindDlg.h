#pragma once

#include "dialogs/DesignedDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Find Text dialog: created once and only shown and hidden, so its fields
// keep what the user last left in them, also after Cancel.
class TFindDlg : public DesignedDialog
{
    Q_OBJECT

public:
    explicit TFindDlg(QWidget *parent = nullptr);

    QString findText() const;
    bool wholeWord() const;
    bool matchCase() const;

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();

    QLabel *Label1 = nullptr;
    QLineEdit *FindText = nullptr;
    QCheckBox *WholeWord = nullptr;
    QCheckBox *MatchCase = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
};
