#include "app/Startup.h"

#include "app/BuildInfo.h"
#include "app/Main.h"
#include "app/MainTexts.h"
#include "platform/SingleInstance.h"
#include "widgets/DialogFrame.h"
#include "widgets/MessageBox.h"
#include "platform/PlatformChoice.h"
#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>

void Startup::choosePlatform()
{
    // A Wayland session lets no program keep itself on top or choose its position;
    // XWayland does, so use it when it is there and the user has not chosen.
    if (shouldUseXWayland(QProcessEnvironment::systemEnvironment(), xcbPluginAvailable()))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

void Startup::initialiseApplication()
{
    QCoreApplication::setApplicationName(QString::fromLatin1(MainTexts::ApplicationTitle));
    QCoreApplication::instance()->setProperty("helpFile", QString::fromLatin1(MainTexts::HelpFileName));
    QGuiApplication::setDesktopFileName(QStringLiteral(PINNOTE_APP_ID));
    keepModalWindowsRestored();
}

namespace {
const char OtherCopySilent[] = "Pinnote is already open on this Pinnote.set, but it does not answer.";
}

int Startup::run()
{
    // A second window on the same note file would overwrite the first one's pages.
    SingleInstance instance(QDir::current().absoluteFilePath(QString::fromLatin1(NoteFile::FileName)));
    switch (instance.claim()) {
    case SingleInstance::Claim::First:
        break;
    case SingleInstance::Claim::OtherRaised:
        return 0;
    case SingleInstance::Claim::OtherSilent: {
        MessageBox::Request box;
        box.text = QString::fromLatin1(OtherCopySilent);
        box.informativeText = QDir::current().absoluteFilePath(QString::fromLatin1(NoteFile::FileName));
        box.caption = QString::fromLatin1(MainTexts::ApplicationTitle);
        box.icon = MessageBox::Icon::Exclamation;
        MessageBox::show(box);
        return 1;
    }
    }

    TMainForm form;
    if (!form.notesLoaded()) {
        MessageBox::show(nullptr, QString::fromLatin1(MainTexts::CouldNotOpenNotes),
                         QString::fromLatin1(MainTexts::ErrorCaption), MessageBox::Icon::Exclamation);
        return 1;
    }
    form.createDialogs();

    // When the session or the process is ending there is nobody to answer questions:
    // keep what can be kept.
#ifndef QT_NO_SESSIONMANAGER
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager &) { form.saveForSessionEnd(); });
#endif
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::received, &form, [&form] {
        form.saveForSessionEnd();
        QCoreApplication::exit(0);
    });

    QObject::connect(&instance, &SingleInstance::raiseRequested, &form, &TMainForm::bringToFront);

    form.show();
    return QApplication::exec();
}
