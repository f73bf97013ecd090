#include "widgets/MessageBox.h"

#include "widgets/DialogPlacement.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

MessageBox::Handler &handler()
{
    static MessageBox::Handler instance;
    return instance;
}

QMessageBox::Icon toQtIcon(MessageBox::Icon icon)
{
    switch (icon) {
    case MessageBox::Icon::None: return QMessageBox::NoIcon;
    case MessageBox::Icon::Exclamation: return QMessageBox::Warning;
    case MessageBox::Icon::Error: return QMessageBox::Critical;
    case MessageBox::Icon::Information: return QMessageBox::Information;
    case MessageBox::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct ButtonMap
{
    MessageBox::Button ours;
    QMessageBox::StandardButton qt;
};

constexpr ButtonMap buttonMap[] = {
    {MessageBox::Ok, QMessageBox::Ok},
    {MessageBox::Cancel, QMessageBox::Cancel},
    {MessageBox::Yes, QMessageBox::Yes},
    {MessageBox::No, QMessageBox::No},
};

const char *const PlainOkText = "OK";
constexpr int CaptionAllowance = 8; // title bar buttons and icon, in lines of text

QRect screenOf(const QWidget *parent)
{
    QScreen *screen = parent ? parent->window()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

// The plain message window, made for one message and dropped after it.
class PlainMessageWindow : public QDialog
{
public:
    explicit PlainMessageWindow(const MessageBox::Request &request)
        : QDialog(request.parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                                      | Qt::WindowCloseButtonHint)
    {
        setObjectName(QStringLiteral("PlainMessageWindow"));
        setWindowTitle(request.caption);
        auto *text = new QLabel(request.text, this);
        text->setObjectName(QStringLiteral("MessageText"));
        text->setTextFormat(Qt::PlainText);
        // The desktop's message font, where the platform names one.
        text->setFont(QApplication::font("QMessageBoxLabel"));
        const int wrapWidth = screenOf(request.parent).width() / 2;
        if (text->sizeHint().width() > wrapWidth) {
            text->setWordWrap(true);
            text->setFixedWidth(wrapWidth);
        }
        auto *ok = new QPushButton(QString::fromLatin1(PlainOkText), this);
        ok->setObjectName(QStringLiteral("OkButton"));
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);

        auto *buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(ok);
        buttons->addStretch();
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addLayout(buttons);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        // Room for the caption beside the title bar's buttons, which a short text
        // would otherwise squeeze out of sight.
        // Title bars commonly show the caption in bold.
        QFont captionFont = font();
        captionFont.setBold(true);
        const QFontMetrics caption(captionFont);
        layout->addStrut(caption.horizontalAdvance(request.caption) + CaptionAllowance * caption.height());
        centreOnScreen(this);
    }
};

} // namespace

MessageBox::Button MessageBox::show(const Request &request)
{
    if (handler())
        return handler()(request);

    if (request.style == Style::Plain) {
        // Escape and the close box answer as OK does: it is the only button.
        PlainMessageWindow window(request);
        window.exec();
        return Ok;
    }

    QMessageBox box(toQtIcon(request.icon), request.caption, request.text, QMessageBox::NoButton,
                    request.parent);
    box.setInformativeText(request.informativeText);
    for (const ButtonMap &entry : buttonMap) {
        if (request.buttons & entry.ours) {
            QPushButton *button = box.addButton(entry.qt);
            if (entry.ours == request.defaultButton)
                box.setDefaultButton(button);
        }
    }
    const auto clicked = QMessageBox::StandardButton(box.exec());
    for (const ButtonMap &entry : buttonMap) {
        if (entry.qt == clicked)
            return entry.ours;
    }
    if (request.buttons & Cancel)
        return Cancel;
    if (request.buttons & No)
        return No;
    return Ok;
}

MessageBox::Button MessageBox::show(QWidget *parent, const QString &text, const QString &caption, Icon icon,
                                    Buttons buttons, Button defaultButton)
{
    Request request;
    request.parent = parent;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    return show(request);
}

MessageBox::Handler MessageBox::setHandler(Handler newHandler)
{
    Handler previous = std::move(handler());
    handler() = std::move(newHandler);
    return previous;
}
