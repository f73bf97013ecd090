#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

XSession::XSession() = default;

XSession::~XSession()
{
    for (QProcess *process : {&m_windowManager, &m_server}) {
        if (process->state() != QProcess::NotRunning) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
            process->waitForFinished(5000);
        }
    }
}

QString XSession::start()
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
        return QStringLiteral("Xvfb is not installed");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return QStringLiteral("xdotool is not installed");

    // -displayfd lets the server pick a free display and tell us which.
    m_server.setProgram(xvfb);
    m_server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                           QStringLiteral("0"), QStringLiteral("1024x768x24"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp")});
    m_server.setProcessChannelMode(QProcess::SeparateChannels);
    m_server.start();
    if (!m_server.waitForStarted(10000))
        return QStringLiteral("Xvfb did not start");
    QByteArray number;
    const QDeadlineTimer deadline(30000);
    while (!number.contains('\n') && !deadline.hasExpired()) {
        if (!m_server.waitForReadyRead(int(deadline.remainingTime())))
            break;
        number += m_server.readAllStandardOutput();
    }
    number = number.trimmed();
    if (number.isEmpty())
        return QStringLiteral("Xvfb did not report its display");
    m_display = QLatin1Char(':') + QString::fromLatin1(number);

    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (!openbox.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        m_windowManager.setProcessEnvironment(env);
        m_windowManager.setProgram(openbox);
        m_windowManager.setStandardOutputFile(QProcess::nullDevice());
        m_windowManager.setStandardErrorFile(QProcess::nullDevice());
        m_windowManager.start();
        m_windowManager.waitForStarted(10000);
        // The window manager is ready once it has announced itself on the root window.
        const QDeadlineTimer wmReady(10000);
        while (!wmReady.hasExpired() && m_windowManager.state() == QProcess::Running) {
            QProcess xprop;
            xprop.setProcessEnvironment(env);
            xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
            xprop.waitForFinished(5000);
            if (xprop.readAllStandardOutput().contains("window id"))
                break;
        }
    }
    return {};
}

QProcessEnvironment XSession::environment(const QString &workDir, const QString &configDir) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    env.insert(QStringLiteral("PWD"), workDir);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

QString XSession::xdotool(const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

QStringList XSession::findWindows(const QString &titlePattern) const
{
    const QString out = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                                 titlePattern});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void XSession::screenshot(const QString &path) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path});
    process.waitForFinished(30000);
}
