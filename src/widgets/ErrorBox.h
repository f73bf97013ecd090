#pragma once

#include <QString>

class QWidget;
class Exception;

namespace ErrorBox {

// The message as the error box shows it: a full stop is added when the last
// character sorts after '.'.
QString displayText(const QString &message);

// Reports a failure that escaped a command: caption "Pinnote", error icon, OK.
void show(QWidget *parent, const QString &message);
void show(QWidget *parent, const Exception &error);

// Runs a command handler; any exception it lets out is shown in the error box.
template<typename F>
void guard(QWidget *parent, F &&command);

} // namespace ErrorBox

#include "widgets/ErrorBox_impl.h"
