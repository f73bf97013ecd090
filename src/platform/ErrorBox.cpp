#include "platform/ErrorBox.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>

QString ErrorBox::displayText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ErrorBox::show(QWidget *parent, const QString &message)
{
    MessageBox::Request request;
    request.parent = parent;
    request.text = displayText(message);
    request.caption = QCoreApplication::applicationName();
    request.icon = MessageBox::Icon::Error;
    request.buttons = MessageBox::Ok;
    request.defaultButton = MessageBox::Ok;
    MessageBox::show(request);
}

void ErrorBox::show(QWidget *parent, const Exception &error)
{
    show(parent, error.message());
}
