#include "dialogs/TNewMemoDlg.h"

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
const char *const FontFace = "MS Sans Serif";

// The layout is drawn at 120 pixels per inch.
constexpr int DesignPpi = 120;
constexpr int FontPixels = 14;
constexpr int ClientWidth = 316;
constexpr int ClientHeight = 115;

struct Box
{
    int left, top, width, height;
};

constexpr Box NameLabelBox{40, 24, 40, 16};
constexpr Box NameEditBox{96, 16, 169, 24};
constexpr Box OKBox{105, 78, 93, 30};
constexpr Box CancelBox{204, 78, 92, 30};

int screenPpi()
{
    static const int ppi = [] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? qRound(screen->logicalDotsPerInchY()) : DesignPpi;
    }();
    return ppi;
}

int scaled(int designValue)
{
    return qRound(double(designValue) * screenPpi() / DesignPpi);
}

QRect scaled(const Box &box)
{
    return QRect(scaled(box.left), scaled(box.top), scaled(box.width), scaled(box.height));
}

// Centres the window's frame on its screen, never past the screen's top or left edge.
void centreOnScreen(QWidget *window)
{
    window->winId(); // the frame's size is known only once the native window exists
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.left() + std::max(0, (area.width() - frame.width()) / 2),
                 area.top() + std::max(0, (area.height() - frame.height()) / 2));
}

} // namespace

TNewMemoDlg::TNewMemoDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QString::fromLatin1(CaptionText));
    QFont dialogFont(QString::fromLatin1(FontFace));
    dialogFont.setPixelSize(scaled(FontPixels));
    setFont(dialogFont);
    setFixedSize(scaled(ClientWidth), scaled(ClientHeight));
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
    NameEdit->setGeometry(scaled(NameEditBox));
    Label1->setBuddy(NameEdit);

    // A right-aligned label keeps its right edge and grows leftwards when the
    // substituted face is wider than the designed one.
    QRect labelRect = scaled(NameLabelBox);
    const int textWidth = Label1->sizeHint().width();
    if (textWidth > labelRect.width())
        labelRect.setLeft(std::max(0, labelRect.right() + 1 - textWidth));
    Label1->setGeometry(labelRect);

    OKBtn = new QPushButton(QString::fromLatin1(OKText), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(scaled(OKBox));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QString::fromLatin1(CancelText), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(scaled(CancelBox));
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
        centreOnScreen(this);
    }
    QDialog::setVisible(visible);
    if (opening)
        centreOnScreen(this); // again, now that the window manager may have told the frame
}
