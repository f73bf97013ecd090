#include "dialogs/TFindDlg.h"

#include "widgets/DesignLayout.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace {

const char *const CaptionText = "Find Text";
const char *const FindLabelText = "&Find what:";
const char *const WholeWordText = "&Whole word";
const char *const MatchCaseText = "&Match case";
const char *const OKText = "OK";
const char *const CancelText = "Cancel";

// The layout is drawn at 96 pixels per inch.
constexpr int DesignPpi = 96;
constexpr int FontPixels = 11;
constexpr int ClientWidth = 313;
constexpr int ClientHeight = 145;

using Box = DesignLayout::Box;

constexpr Box FindLabelBox{16, 24, 49, 13};
constexpr Box FindTextBox{80, 16, 185, 21};
constexpr Box WholeWordBox{80, 56, 97, 17};
constexpr Box MatchCaseBox{80, 88, 97, 17};
constexpr Box OKBox{143, 108, 75, 25};
constexpr Box CancelBox{223, 108, 75, 25};

constexpr DesignLayout Layout(DesignPpi);

} // namespace

TFindDlg::TFindDlg(QWidget *parent)
    : DesignedDialog(parent, CloseBox::Shown, Layout, {CaptionText, FontPixels, ClientWidth, ClientHeight})
{
    setObjectName(QStringLiteral("FindDlg"));
    // The controls are made when the dialog is first shown: it lives from start-up on,
    // and until then its fields read as empty.
}

void TFindDlg::createControls()
{
    if (OKBtn)
        return;
    Label1 = new QLabel(QString::fromLatin1(FindLabelText), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // The label is its own buddy: its access key is shown but moves the focus nowhere.
    Label1->setBuddy(Label1);
    QRect labelRect = Layout.scaled(FindLabelBox);
    labelRect.setWidth(std::max(labelRect.width(), Label1->sizeHint().width()));
    Label1->setGeometry(labelRect);

    FindText = new QLineEdit(this);
    FindText->setObjectName(QStringLiteral("FindText"));
    FindText->setMaxLength(std::numeric_limits<int>::max());
    FindText->setGeometry(Layout.scaled(FindTextBox));
    FindText->installEventFilter(this);

    WholeWord = new QCheckBox(QString::fromLatin1(WholeWordText), this);
    WholeWord->setObjectName(QStringLiteral("WholeWord"));
    WholeWord->setGeometry(Layout.scaled(WholeWordBox));

    MatchCase = new QCheckBox(QString::fromLatin1(MatchCaseText), this);
    MatchCase->setObjectName(QStringLiteral("MatchCase"));
    MatchCase->setGeometry(Layout.scaled(MatchCaseBox));

    OKBtn = new QPushButton(QString::fromLatin1(OKText), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(Layout.scaled(OKBox));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QString::fromLatin1(CancelText), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(Layout.scaled(CancelBox));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(FindText, WholeWord);
    setTabOrder(WholeWord, MatchCase);
    setTabOrder(MatchCase, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    FindText->setFocus();
}

QString TFindDlg::findText() const
{
    return FindText ? FindText->text() : QString();
}

bool TFindDlg::wholeWord() const
{
    return WholeWord && WholeWord->isChecked();
}

bool TFindDlg::matchCase() const
{
    return MatchCase && MatchCase->isChecked();
}

// Reached by the keyboard, or with the dialog opening, the field offers its whole text
// for replacing; a click places the caret where it lands.
bool TFindDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FindText && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason)
            FindText->selectAll();
    }
    return QDialog::eventFilter(watched, event);
}

void TFindDlg::setVisible(bool visible)
{
    if (visible)
        createControls();
    QDialog::setVisible(visible);
}
