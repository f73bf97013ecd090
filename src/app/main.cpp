#include "app/Main.h"
#include "app/MainTexts.h"
#include "platform/MessageBox.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(MainTexts::ApplicationTitle));
    QApplication::setDesktopFileName(QStringLiteral("pinnote"));

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
    return app.exec();
}
