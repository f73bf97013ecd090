#pragma once

#include <QImage>
#include <QMargins>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <initializer_list>

// A private X server with a window manager, for driving the real program with
// xdotool as a user would.
class XSession
{
public:
    static constexpr QSize ScreenSize{1024, 768};

    XSession();
    ~XSession();

    // Starts Xvfb and openbox; returns an error text, empty on success.
    QString start();
    QString display() const { return m_display; }

    // Environment for programs that should run on this display.
    QProcessEnvironment environment(const QString &workDir, const QString &configDir) const;

    // Runs xdotool with the arguments and returns its standard output (trimmed).
    QString xdotool(const QStringList &arguments, int *exitCode = nullptr) const;
    // The same for arguments written in place, literals and strings mixed.
    QString xdotool(std::initializer_list<QAnyStringView> arguments, int *exitCode = nullptr) const;
    // Window ids whose title matches the regular expression, visible ones only.
    QStringList findWindows(const QString &titlePattern) const;
    // Every named window on the display, mapped or not, for failure messages.
    QStringList windowNames() const;
    void screenshot(const QString &path) const;

    // Runs an X client (xwininfo, xprop, import, ...) on this display and returns its
    // standard output.
    QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr) const;
    // The window's own (client) rectangle in root coordinates, as the X server has it;
    // null when the window is unknown. xdotool's getwindowgeometry adds the frame offset
    // a second time under a reparenting window manager, so this asks xwininfo.
    QRect clientGeometry(const QString &window) const;
    // The frame the window manager put around the window (_NET_FRAME_EXTENTS); empty
    // margins with *known false until the window manager has set them.
    QMargins frameExtents(const QString &window, bool *known = nullptr) const;
    // The outer rectangle: client plus frame; null until both are known.
    QRect outerGeometry(const QString &window) const;
    // Grabs the window's client area as it shows on the screen; a null image on failure.
    QImage grabWindow(const QString &window, const QString &savePath = QString()) const;

private:
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};
