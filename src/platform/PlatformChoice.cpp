#include "platform/PlatformChoice.h"

#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>

namespace {
const char WaylandDisplay[] = "WAYLAND_DISPLAY";
const char SessionType[] = "XDG_SESSION_TYPE";
const char WaylandSession[] = "wayland";
const char X11Display[] = "DISPLAY";
const char PlatformOverride[] = "QT_QPA_PLATFORM";
const char PluginPathVariable[] = "QT_PLUGIN_PATH";
const char PlatformsFolder[] = "/platforms/";
const char XcbPluginFile[] = "libqxcb.so";

bool isSet(const QProcessEnvironment &environment, const char *name)
{
    return !environment.value(QString::fromLatin1(name)).isEmpty();
}
} // namespace

bool shouldUseXWayland(const QProcessEnvironment &environment, bool xcbPluginAvailable)
{
    const bool wayland = isSet(environment, WaylandDisplay)
        || environment.value(QString::fromLatin1(SessionType)).compare(QLatin1String(WaylandSession), Qt::CaseInsensitive) == 0;
    return wayland && isSet(environment, X11Display) && !isSet(environment, PlatformOverride)
        && xcbPluginAvailable;
}

bool xcbPluginAvailable()
{
    QStringList folders = qEnvironmentVariable(PluginPathVariable).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    for (const QString &folder : std::as_const(folders)) {
        if (QFileInfo::exists(folder + QLatin1String(PlatformsFolder) + QLatin1String(XcbPluginFile)))
            return true;
    }
    return false;
}
