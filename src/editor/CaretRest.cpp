#include "editor/CaretRest.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>

namespace {

std::chrono::milliseconds restDelay = CaretRest::DefaultDelay;
QPointer<CaretRest> watcher;

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TabletPress:
        return true;
    default:
        return false;
    }
}

} // namespace

CaretRest &CaretRest::instance()
{
    if (!watcher)
        watcher = new CaretRest(qApp);
    return *watcher;
}

void CaretRest::setDelay(std::chrono::milliseconds delay)
{
    restDelay = delay;
    if (watcher)
        watcher->m_idle->start(restDelay);
}

CaretRest::CaretRest(QObject *parent)
    : QObject(parent)
{
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    connect(m_idle, &QTimer::timeout, this, &CaretRest::rest);
    m_idle->start(restDelay);
    qApp->installEventFilter(this);
}

// A flash time of 0 stops every text control's blink timer and leaves its caret drawn.
void CaretRest::rest()
{
    m_flashTime = QApplication::cursorFlashTime();
    if (m_flashTime <= 0)
        return;
    m_resting = true;
    QApplication::setCursorFlashTime(0);
}

void CaretRest::wake()
{
    m_resting = false;
    QApplication::setCursorFlashTime(m_flashTime);
}

bool CaretRest::eventFilter(QObject *watched, QEvent *event)
{
    if (isInput(event->type())) {
        if (m_resting)
            wake();
        m_idle->start(restDelay);
    }
    return QObject::eventFilter(watched, event);
}
