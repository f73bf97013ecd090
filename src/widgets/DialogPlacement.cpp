#include "widgets/DialogPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

enum class Placement { System, Centred };

QRect screenArea(const QWidget *dialog)
{
    const QWidget *parent = dialog->parentWidget();
    QScreen *screen = parent ? parent->window()->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// Until the window manager has framed a dialog, its frame is unknown, and a dialog
// placed without it sits half a title bar low. The main window's frame is the best
// guess: the manager decorates both alike.
QMargins expectedFrame(const QWidget *dialog)
{
    if (dialog->frameGeometry() != dialog->geometry() || !dialog->parentWidget())
        return {};
    const QWidget *window = dialog->parentWidget()->window();
    if (!window->isVisible() || !window->windowHandle())
        return {};
    return window->windowHandle()->frameMargins();
}

void placeNow(QWidget *dialog, Placement placement, bool sizeFinal)
{
    // Before its first showing a window takes its size hint; adjustSize() here would
    // fix a size before the caller has filled the dialog.
    const QSize size = sizeFinal || dialog->testAttribute(Qt::WA_Resized)
        ? dialog->frameGeometry().size()
        : dialog->sizeHint().expandedTo(dialog->minimumSize());
    const QMargins frame = expectedFrame(dialog);
    const QSize framed = size.grownBy(frame);
    const QRect area = screenArea(dialog);
    QPoint position = placement == Placement::System ? systemDialogPosition(area, framed)
                                                     : centredPosition(area, framed);
    // Once its native window exists, moving an unframed dialog places its client area.
    if (dialog->testAttribute(Qt::WA_WState_Created))
        position += QPoint(frame.left(), frame.top());
    dialog->move(position);
}

// Places the dialog when it is about to be shown, after it has its final size.
class PlacementFilter : public QObject
{
public:
    PlacementFilter(QWidget *dialog, Placement placement)
        : QObject(dialog)
        , m_placement(placement)
    {
        setObjectName(QString::fromLatin1(FilterName));
    }

    static constexpr char FilterName[] = "pinnote_placement";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *dialog = qobject_cast<QWidget *>(watched); dialog && dialog->isWindow()) {
                placeNow(dialog, m_placement, true);
                if (m_placement == Placement::Centred) {
                    // At once, not at the next pass of the event loop: a dialog shown
                    // again before that must keep where it was put.
                    dialog->removeEventFilter(this);
                    setObjectName(QString());
                    deleteLater();
                }
            }
        }
        return false;
    }

private:
    Placement m_placement;
};

void install(QWidget *dialog, Placement placement)
{
    if (!dialog)
        return;
    placeNow(dialog, placement, dialog->isVisible());
    if (dialog->findChild<QObject *>(QString::fromLatin1(PlacementFilter::FilterName),
                                             Qt::FindDirectChildrenOnly))
        return;
    dialog->installEventFilter(new PlacementFilter(dialog, placement));
}

} // namespace

QPoint systemDialogPosition(const QRect &screen, const QSize &dialog)
{
    return {screen.x() + (screen.width() - dialog.width()) / 2,
            screen.y() + (screen.height() - dialog.height()) / 3};
}

QPoint centredPosition(const QRect &screen, const QSize &dialog)
{
    return {std::max(screen.x(), screen.x() + (screen.width() - dialog.width()) / 2),
            std::max(screen.y(), screen.y() + (screen.height() - dialog.height()) / 2)};
}

QPoint reachablePosition(const QPoint &corner, const QSize &size, const QList<QRect> &screens)
{
    // In 64 bits: a stored corner may lie anywhere a 32-bit value reaches.
    const qint64 left = corner.x(), top = corner.y();
    const qint64 width = std::max(size.width(), 1), height = std::max(size.height(), 1);
    const qint64 gripWidth = std::min<qint64>(width, ReachableSpan);
    // The title bar runs along the top of the frame.
    const qint64 barHeight = std::min<qint64>(height, ReachableSpan);
    const QRect *nearest = nullptr;
    qint64 nearestDistance = 0;
    for (const QRect &screen : screens) {
        const qint64 shownWidth = std::min<qint64>(left + width, screen.right() + 1) - std::max<qint64>(left, screen.left());
        const qint64 shownHeight = std::min<qint64>(top + barHeight, screen.bottom() + 1) - std::max<qint64>(top, screen.top());
        if (shownWidth >= gripWidth && shownHeight >= barHeight)
            return corner;
        const qint64 dx = std::max({qint64(0), screen.left() - (left + width), left - (screen.right() + 1)});
        const qint64 dy = std::max({qint64(0), screen.top() - (top + barHeight), top - (screen.bottom() + 1)});
        if (!nearest || dx * dx + dy * dy < nearestDistance) {
            nearest = &screen;
            nearestDistance = dx * dx + dy * dy;
        }
    }
    if (!nearest)
        return corner;
    // Right and bottom edges go in first, so that a window larger than the screen keeps
    // its top-left corner, and with it the title bar, on the screen.
    const qint64 x = std::max<qint64>(nearest->left(), std::min<qint64>(left, nearest->right() + 1 - width));
    const qint64 y = std::max<qint64>(nearest->top(), std::min<qint64>(top, nearest->bottom() + 1 - height));
    return {int(x), int(y)};
}

void placeSystemDialog(QWidget *dialog)
{
    install(dialog, Placement::System);
}

void centreOnScreen(QWidget *dialog)
{
    install(dialog, Placement::Centred);
}
