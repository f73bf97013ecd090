#include "platform/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>

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

} // namespace

MessageBox::Button MessageBox::show(const Request &request)
{
    if (handler())
        return handler()(request);

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
