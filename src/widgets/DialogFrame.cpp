#include "widgets/DialogFrame.h"

#include <QApplication>
#include <QEvent>
#include <QList>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

class ModalRestorer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange && !m_pending) {
            auto *window = qobject_cast<QWidget *>(watched);
            if (window && window->isWindow() && window->isMinimized() && QApplication::activeModalWidget()) {
                m_pending = true;
                // After the window manager has finished minimising, or it undoes the undo.
                QTimer::singleShot(0, this, [this] {
                    m_pending = false;
                    restore();
                });
            }
        }
        return false;
    }

private:
    static void restore()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        // The windows behind first, so that the modal one ends up in front.
        QList<QWidget *> stack;
        for (QWidget *window = modal; window;
             window = window->parentWidget() ? window->parentWidget()->window() : nullptr)
            stack.prepend(window);
        for (QWidget *window : std::as_const(stack)) {
            if (window->isVisible() && window->isMinimized())
                window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        }
        modal->activateWindow();
    }

    bool m_pending = false;
};

} // namespace

Qt::WindowFlags dialogFrameFlags(CloseBox closeBox)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeBox == CloseBox::Shown)
        flags |= Qt::WindowCloseButtonHint;
    return flags;
}

void keepModalWindowsRestored()
{
    static QPointer<QObject> restorer;
    if (restorer || !qApp)
        return;
    restorer = new ModalRestorer(qApp);
    qApp->installEventFilter(restorer);
}
