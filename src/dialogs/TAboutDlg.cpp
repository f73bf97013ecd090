#include "dialogs/TAboutDlg.h"

#include "widgets/DesignLayout.h"

#include "widgets/BakedIcons.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QIcon>

namespace {

const char *const CaptionText = "About";
const char *const CopyrightText = "Copyright (c) 2026 Brindle Software";
const char *const ContactHeadingText = "Contact us:";
const char *const WebText = "Web: www.example.com/pinnote";
const char *const MailText = "Mail: pinnote@example.com";
const char *const OKText = "OK";
const char *const IconName = "pinnote";

// The layout is drawn at 120 pixels per inch.
constexpr int DesignPpi = 120;
constexpr int FontPixels = 14;
constexpr int ClientWidth = 363;
constexpr int ClientHeight = 244;

using Box = DesignLayout::Box;

constexpr Box ImageBox{16, 24, 32, 32};
constexpr Box TitleBox{72, 16, 273, 20};
constexpr Box VersionBox{72, 40, 273, 20};
constexpr Box CopyrightBox{72, 64, 273, 20};
constexpr Box ContactHeadingBox{72, 104, 273, 25};
constexpr Box WebBox{88, 128, 257, 25};
constexpr Box MailBox{88, 152, 265, 25};
constexpr Box OKBox{256, 198, 88, 30};

constexpr DesignLayout Layout(DesignPpi);

QPixmap programIcon(const QSize &size, qreal pixelRatio)
{
    return BakedIcons::icon(QLatin1StringView(IconName)).pixmap(size, pixelRatio);
}

} // namespace

TAboutDlg::TAboutDlg(QWidget *parent)
    : DesignedDialog(parent, CloseBox::None, Layout, {CaptionText, FontPixels, ClientWidth, ClientHeight})
{
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
        control->setGeometry(Layout.scaled(box));
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
    OKBtn->setGeometry(Layout.scaled(OKBox));
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
    QDialog::setVisible(visible);
}
