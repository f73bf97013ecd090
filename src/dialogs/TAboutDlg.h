#pragma once

#include "dialogs/DesignedDialog.h"

class QLabel;
class QPushButton;

// The About box: created once, shown again and again. It has no way to cancel:
// only OK (or Enter) closes it.
class TAboutDlg : public DesignedDialog
{
    Q_OBJECT

public:
    explicit TAboutDlg(QWidget *parent = nullptr);

    // Sets the program name and version lines shown by the next showing.
    void setTexts(const QString &title, const QString &version);

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();

    QLabel *Image1 = nullptr;
    QLabel *Title = nullptr;
    QLabel *Version = nullptr;
    QLabel *StaticText1 = nullptr;
    QLabel *StaticText2 = nullptr;
    QLabel *StaticText3 = nullptr;
    QLabel *StaticText4 = nullptr;
    QPushButton *OKBtn = nullptr;
};
