#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a system dialog (file, colour, font, print) opens: centred horizontally on the
// screen, its top at a third of the height the dialog leaves free.
QPoint systemDialogPosition(const QRect &screen, const QSize &dialog);
// Where one of the program's own dialogs opens the first time: centred, never above or
// left of the screen's corner.
QPoint centredPosition(const QRect &screen, const QSize &dialog);
// Where a window whose frame has this corner and size opens: there, while a
// ReachableSpan square of its title bar is on one of the screens (less for a smaller
// window); otherwise on the nearest screen, as close to there as its size allows.
inline constexpr int ReachableSpan = 50;
QPoint reachablePosition(const QPoint &corner, const QSize &size, const QList<QRect> &screens);

// Places the dialog now and again each time it is shown, once it has its final size.
// The dialog must not be native (e.g. QColorDialog::DontUseNativeDialog).
void placeSystemDialog(QWidget *dialog);
// Centres the dialog now and when it is first shown; later showings keep its position.
void centreOnScreen(QWidget *dialog);
