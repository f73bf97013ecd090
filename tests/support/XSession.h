#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// A private X server with a window manager, for driving the real program with
// xdotool as a user would.
class XSession
{
public:
    XSession();
    ~XSession();

    // Starts Xvfb (and openbox when present); returns an error text, empty on success.
    QString start();
    QString display() const { return m_display; }

    // Environment for programs that should run on this display.
    QProcessEnvironment environment(const QString &workDir, const QString &configDir) const;

    // Runs xdotool with the arguments and returns its standard output (trimmed).
    QString xdotool(const QStringList &arguments, int *exitCode = nullptr) const;
    // Window ids whose title matches the regular expression, visible ones only.
    QStringList findWindows(const QString &titlePattern) const;
    void screenshot(const QString &path) const;

private:
    QProcess m_server;
    QProcess m_windowManager;
    QString m_display;
};
