#include "dialogs/TNewMemoDlg.h"

#include "widgets/DesignLayout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace {

const char *const CaptionText = "New Memo";
const char *const NameLabelText = "&Name:";
const char *const OKText = "OK";
const char *const CancelText = "Cancel";

// The layout is drawn at 120 pixels per inch.
constexpr int DesignPpi = 120;
constexpr int FontPixels = 14;
constexpr int ClientWidth = 316;
constexpr int ClientHeight = 115;

using Box = DesignLayout::Box;

constexpr Box NameLabelBox{40, 24, 40, 16};
constexpr Box NameEditBox{96, 16, 169, 24};
constexpr Box OKBox{105, 78, 93, 30};
constexpr Box CancelBox{204, 78, 92, 30};

constexpr DesignLayout Layout(DesignPpi);

} // namespace

TNewMemoDlg::TNewMemoDlg(QWidget *parent)
    : DesignedDialog(parent, CloseBox::Shown, Layout, {CaptionText, FontPixels, ClientWidth, ClientHeight})
{
    createControls();
}

void TNewMemoDlg::createControls()
{
    Label1 = new QLabel(QString::fromLatin1(NameLabelText), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignTop);

    NameEdit = new QLineEdit(this);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    NameEdit->setMaxLength(std::numeric_limits<int>::max());
    NameEdit->setGeometry(Layout.scaled(NameEditBox));
    Label1->setBuddy(NameEdit);

    // A right-aligned label keeps its right edge and grows leftwards when the
    // substituted face is wider than the designed one.
    QRect labelRect = Layout.scaled(NameLabelBox);
    const int textWidth = Label1->sizeHint().width();
    if (textWidth > labelRect.width())
        labelRect.setLeft(std::max(0, labelRect.right() + 1 - textWidth));
    Label1->setGeometry(labelRect);

    OKBtn = new QPushButton(QString::fromLatin1(OKText), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(Layout.scaled(OKBox));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QString::fromLatin1(CancelText), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(Layout.scaled(CancelBox));
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(NameEdit, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    NameEdit->setFocus();
}

QString TNewMemoDlg::name() const
{
    return NameEdit->text();
}

void TNewMemoDlg::setVisible(bool visible)
{
    const bool opening = visible && !isVisible();
    if (opening) {
        NameEdit->clear();
        NameEdit->setFocus();
    }
    QDialog::setVisible(visible);
}
