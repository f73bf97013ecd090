#pragma once

#include <Qt>

// The frame of the program's own modal dialogs: a fixed dialog frame with a title bar
// and, where the dialog has one, a close box; never a minimise or maximise box.
enum class CloseBox { Shown, None };
Qt::WindowFlags dialogFrameFlags(CloseBox closeBox);

// Some window managers (openbox among them) offer to minimise any window whatever it
// asks for, and take the window behind a dialog down with it. A minimised modal window
// leaves the program taking no input with nothing on show to answer, so every modal
// window the program opens, its own dialogs, message boxes and choosers alike, comes
// straight back, with the windows behind it. Installed once for the application.
void keepModalWindowsRestored();
