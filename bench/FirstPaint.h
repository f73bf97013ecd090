#pragma once

#include <QEvent>
#include <QObject>

// Installed on the application, notices the first paint of anything.
class FirstPaint : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};
