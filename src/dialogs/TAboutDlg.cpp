#include "dialogs/TAboutDlg.h"

#include "platform/BakedIcons.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QIcon>

#include <algorithm>

namespace {

const char *const CaptionText = "About";
const char *const CopyrightText = "Copyright (c) 2026 Brindle Software";
const char *const ContactHeadingText = "Contact us:";
const char *const WebText = "Web: www.example.com/pinnote";
const char *const MailText = "Mail: pinnote@example.com";
const char *const OKText = "OK";
const char *const FontFace = "MS Sans Serif";
const char *const IconName = "pinnote";

// The layout is drawn at 120 pixels per inch.
constexpr int DesignPpi = 120;
constexpr int FontPixels = 14;
constexpr int ClientWidth = 363;
constexpr int ClientHeight = 244;

struct Box
{
    int left, top, width, height;
};

constexpr Box ImageBox{16, 24, 32, 32};
constexpr Box TitleBox{72, 16, 273, 20};
constexpr Box VersionBox{72, 40, 273, 20};
constexpr Box CopyrightBox{72, 64, 273, 20};
constexpr Box ContactHeadingBox{72, 104, 273, 25};
constexpr Box WebBox{88, 128, 257, 25};
constexpr Box MailBox{88, 152, 265, 25};
constexpr Box OKBox{256, 198, 88, 30};

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

QPixmap programIcon(const QSize &size, qreal pixelRatio)
{
    return BakedIcons::icon(QLatin1StringView(IconName)).pixmap(size, pixelRatio);
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

TAboutDlg::TAboutDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle(QString::fromLatin1(CaptionText));
    QFont dialogFont(QString::fromLatin1(FontFace));
    dialogFont.setPixelSize(scaled(FontPixels));
    setFont(dialogFont);
    setFixedSize(scaled(ClientWidth), scaled(ClientHeight));
    // The controls are made when the box is first needed: it lives from start-up on,
    // and most runs never show it.
}

void TAboutDlg::createControls()
{
    if (OKBtn)
        return;
    const auto label = [this](const char *name, const Box &box, const QString &text) {
        auto *control = new QLabel(text, this);
        control->setObjectName(QString::fromLatin1(name));
        control->setTextFormat(Qt::PlainText);
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control->setGeometry(scaled(box));
        return control;
    };

    Image1 = label("Image1", ImageBox, QString());
    Image1->setPixmap(programIcon(Image1->size(), devicePixelRatioF()));
    Title = label("Title", TitleBox, QString());
    Version = label("Version", VersionBox, QString());
    StaticText1 = label("StaticText1", CopyrightBox, QString::fromLatin1(CopyrightText));
    StaticText2 = label("StaticText2", ContactHeadingBox, QString::fromLatin1(ContactHeadingText));
    StaticText3 = label("StaticText3", WebBox, QString::fromLatin1(WebText));
    StaticText4 = label("StaticText4", MailBox, QString::fromLatin1(MailText));

    OKBtn = new QPushButton(QString::fromLatin1(OKText), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(scaled(OKBox));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    OKBtn->setFocus();
}

void TAboutDlg::setTexts(const QString &title, const QString &version)
{
    createControls();
    Title->setText(title);
    Version->setText(version);
}

void TAboutDlg::keyPressEvent(QKeyEvent *event)
{
    // There is no cancel button, so Escape has nothing to press.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutDlg::setVisible(bool visible)
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
