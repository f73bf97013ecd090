#include "dialogs/DesignLayout.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {
constexpr int FallbackPpi = 96;
}

int DesignLayout::screenPpi()
{
    static const int ppi = [] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? qRound(screen->logicalDotsPerInchY()) : FallbackPpi;
    }();
    return ppi;
}

int DesignLayout::scaled(int designValue) const
{
    return qRound(double(designValue) * screenPpi() / m_designPpi);
}

QRect DesignLayout::scaled(const Box &box) const
{
    return QRect(scaled(box.left), scaled(box.top), scaled(box.width), scaled(box.height));
}

void DesignLayout::centreOnScreen(QWidget *window)
{
    window->winId(); // the frame's size is known only once the native window exists
    const QScreen *screen = window->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    const QSize frame = window->frameGeometry().size();
    window->move(area.left() + std::max(0, (area.width() - frame.width()) / 2),
                 area.top() + std::max(0, (area.height() - frame.height()) / 2));
}
