#include "widgets/DesignLayout.h"

#include <QGuiApplication>
#include <QScreen>


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
