#include "widgets/DialogFrame.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class RestoreFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange) {
            auto *dialog = qobject_cast<QWidget *>(watched);
            if (dialog && dialog->isWindow() && dialog->isMinimized()) {
                // After the window manager has finished minimising, or it undoes the undo.
                QTimer::singleShot(0, dialog, [dialog] {
                    if (dialog->isVisible() && dialog->isMinimized()) {
                        dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
                        dialog->activateWindow();
                    }
                });
            }
        }
        return false;
    }
};

} // namespace

Qt::WindowFlags dialogFrameFlags(CloseBox closeBox)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox == CloseBox::Shown)
        flags |= Qt::WindowCloseButtonHint;
    return flags;
}

void keepDialogRestored(QWidget *dialog)
{
    dialog->installEventFilter(new RestoreFilter(dialog));
}
