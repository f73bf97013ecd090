#include "app/Startup.h"

#include "app/Main.h"
#include "app/MainTexts.h"
#include "platform/MessageBox.h"

#include <QApplication>

void Startup::choosePlatform()
{
}

void Startup::initialiseApplication()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(MainTexts::ApplicationTitle));
    QCoreApplication::instance()->setProperty("helpFile", QString::fromLatin1(MainTexts::HelpFileName));
    QGuiApplication::setDesktopFileName(QStringLiteral("pinnote"));
}

int Startup::run()
{
    TMainForm form;
    if (!form.notesLoaded()) {
        MessageBox::Request request;
        request.text = QString::fromLatin1(MainTexts::CouldNotOpenNotes);
        request.caption = QString::fromLatin1(MainTexts::ErrorCaption);
        request.icon = MessageBox::Icon::Exclamation;
        request.buttons = MessageBox::Ok;
        MessageBox::show(request);
        return 1;
    }
    form.createDialogs();
    form.show();
    return QApplication::exec();
}
