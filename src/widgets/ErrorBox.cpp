#include "widgets/ErrorBox.h"

#include "widgets/MessageBox.h"

#include <QCoreApplication>

QString ErrorBox::displayText(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ErrorBox::show(QWidget *parent, const QString &message)
{
    MessageBox::show(parent, displayText(message), QCoreApplication::applicationName(), MessageBox::Icon::Error);
}

void ErrorBox::show(QWidget *parent, const Exception &error)
{
    show(parent, error.message());
}
