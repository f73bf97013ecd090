#pragma once

#include "core/TColor.h"
#include "storage/TFont.h"

#include <functional>

class Exception;
class TRegIniFile;

// The seventeen stored settings: the view switches, the window's bounds, the editor's
// background colour and the editor font.
struct StoredSettings
{
    static constexpr int DefaultLeft = 100;
    static constexpr int DefaultTop = 100;
    static constexpr int DefaultWidth = 400;
    static constexpr int DefaultHeight = 280;

    explicit StoredSettings(int ppi)
        : font(ppi)
    {
    }

    bool onTop = true;
    bool statusOn = true;
    bool toolbarOn = true;
    int left = DefaultLeft;
    int top = DefaultTop;
    int width = DefaultWidth;
    int height = DefaultHeight;
    TColor memoColour = clYellow;
    TFont font;

    // Reads the values in their fixed order. A read that raises is reported, and the
    // value keeps its default; the remaining values are still read.
    static StoredSettings read(TRegIniFile &store, int ppi,
                               const std::function<void(const Exception &)> &reportError);

    // Writes all values in their fixed order and commits them; the first failure is
    // raised and nothing after it is written.
    static void write(TRegIniFile &store, const StoredSettings &values);
};
