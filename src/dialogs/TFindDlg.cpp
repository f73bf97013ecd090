#include "dialogs/TFindDlg.h"

#include <QCheckBox>
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
const char *const FontFace = "MS Sans Serif";

// The layout is drawn at 96 pixels per inch.
constexpr int DesignPpi = 96;
constexpr int FontPixels = 11;
constexpr int ClientWidth = 313;
constexpr int ClientHeight = 145;

struct Box
{
    int left, top, width, height;
};

constexpr Box FindLabelBox{16, 24, 49, 13};
constexpr Box FindTextBox{80, 16, 185, 21};
constexpr Box WholeWordBox{80, 56, 97, 17};
constexpr Box MatchCaseBox{80, 88, 97, 17};
constexpr Box OKBox{143, 108, 75, 25};
constexpr Box CancelBox{223, 108, 75, 25};

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

TFindDlg::TFindDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("FindDlg"));
    setWindowTitle(QString::fromLatin1(CaptionText));
    QFont dialogFont(QString::fromLatin1(FontFace));
    dialogFont.setPixelSize(scaled(FontPixels));
    setFont(dialogFont);
    setFixedSize(scaled(ClientWidth), scaled(ClientHeight));
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
    QRect labelRect = scaled(FindLabelBox);
    labelRect.setWidth(std::max(labelRect.width(), Label1->sizeHint().width()));
    Label1->setGeometry(labelRect);

    FindText = new QLineEdit(this);
    FindText->setObjectName(QStringLiteral("FindText"));
    FindText->setMaxLength(std::numeric_limits<int>::max());
    FindText->setGeometry(scaled(FindTextBox));

    WholeWord = new QCheckBox(QString::fromLatin1(WholeWordText), this);
    WholeWord->setObjectName(QStringLiteral("WholeWord"));
    WholeWord->setGeometry(scaled(WholeWordBox));

    MatchCase = new QCheckBox(QString::fromLatin1(MatchCaseText), this);
    MatchCase->setObjectName(QStringLiteral("MatchCase"));
    MatchCase->setGeometry(scaled(MatchCaseBox));

    OKBtn = new QPushButton(QString::fromLatin1(OKText), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(scaled(OKBox));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    CancelBtn = new QPushButton(QString::fromLatin1(CancelText), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(scaled(CancelBox));
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

void TFindDlg::setVisible(bool visible)
{
    if (visible)
        createControls();
    // Only the first showing is centred; later ones reopen where the dialog was left.
    const bool first = visible && !placed;
    if (first)
        centreOnScreen(this);
    QDialog::setVisible(visible);
    if (first) {
        centreOnScreen(this); // again, now that the window manager may have told the frame
        placed = true;
    }
}
