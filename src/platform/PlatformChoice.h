#pragma once

#include <QProcessEnvironment>

// Under a Wayland session with an X server at hand, the program runs through XWayland:
// it places its windows and dialogs itself, which Wayland does not allow.
bool shouldUseXWayland(const QProcessEnvironment &environment, bool xcbPluginAvailable);

// Whether Qt's xcb platform plugin is installed. Usable before QApplication exists.
bool xcbPluginAvailable();
