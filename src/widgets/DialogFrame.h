#pragma once

#include <Qt>

class QWidget;

// The frame of the program's own modal dialogs: a fixed dialog frame with a title bar
// and, where the dialog has one, a close box; never a minimise or maximise box.
enum class CloseBox { Shown, None };
Qt::WindowFlags dialogFrameFlags(CloseBox closeBox);

// Some window managers (openbox among them) offer to minimise any window whatever it
// asks for. A minimised modal dialog leaves the window behind it taking no input with
// nothing on show to answer, so the dialog comes straight back.
void keepDialogRestored(QWidget *dialog);
