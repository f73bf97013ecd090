#pragma once

// The face the main window and the dialogs were designed in, and the editor's default
// font. It is kept by name, though Linux substitutes another face for it, so that a
// font setting written on Windows and read here, or back, names the same face.
inline constexpr char DesignFontFace[] = "MS Sans Serif";
