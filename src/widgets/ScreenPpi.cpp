#include "widgets/ScreenPpi.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
constexpr int FallbackPpi = 96;
}

int screenPpi()
{
    static const int ppi = [] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? qRound(screen->logicalDotsPerInchY()) : FallbackPpi;
    }();
    return ppi;
}
