#pragma once

#include <QString>

#include <functional>

class QWidget;

// The one seam through which the program's message boxes are shown, so that
// tests can answer them without a modal loop.
namespace MessageBox {

enum class Icon { None, Exclamation, Error, Information, Question };

enum Button {
    NoButton = 0,
    Ok = 1,
    Cancel = 2,
    Yes = 4,
    No = 8,
};
using Buttons = int;

// System: the desktop's message box over its parent. Plain: a small window made for
// the one message, sized to its text (wrapping at half the screen's width), centred on
// the screen, with no icon and one OK button for Enter and Escape alike.
enum class Style { System, Plain };

struct Request
{
    QWidget *parent = nullptr;
    QString text;
    QString caption;
    // Shown below the text in a smaller font; nothing when empty.
    QString informativeText;
    Icon icon = Icon::None;
    Buttons buttons = Ok;
    Button defaultButton = Ok;
    Style style = Style::System;
};

// Shows the box modally and returns the button that closed it
// (Cancel or No for Escape / the close box, whichever the box has, else Ok).
Button show(const Request &request);
Button show(QWidget *parent, const QString &text, const QString &caption, Icon icon, Buttons buttons = Ok,
            Button defaultButton = Ok);

using Handler = std::function<Button(const Request &)>;
// Replaces the real boxes; an empty handler restores them. Returns the previous one.
Handler setHandler(Handler handler);

} // namespace MessageBox
