#include "support/XSession.h"

#include "support/RequiredPrograms.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
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
    // Everything the session and the window checks run; a missing one would otherwise
    // surface only as a window that never seems to show.
    const QString missing = missingPrograms({{"Xvfb", "xvfb"},
                                             {"xdotool", "xdotool"},
                                             {"openbox", "openbox"},
                                             {"xprop", "x11-utils"},
                                             {"xwininfo", "x11-utils"},
                                             {"import", "imagemagick"}});
    if (!missing.isEmpty())
        return missing;
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));

    // Not the first free display, which -displayfd alone would take: :0 and :1 are where
    // stray clients on a shared machine land, and one of them holding our server up stalls
    // everything. A display taken meanwhile makes the server exit; then try another.
    // -displayfd still tells us when the server accepts connections.
    for (int attempt = 0; attempt < 20 && m_display.isEmpty(); ++attempt) {
        const int candidate = QRandomGenerator::global()->bounded(100, 10000);
        if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(candidate)))
            continue;
        m_server.setProgram(xvfb);
        m_server.setArguments({QLatin1Char(':') + QString::number(candidate), QStringLiteral("-displayfd"),
                               QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                               QStringLiteral("%1x%2x24").arg(ScreenSize.width()).arg(ScreenSize.height()), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        m_server.setStandardErrorFile(QProcess::nullDevice());
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
        if (!number.isEmpty()) {
            m_display = QLatin1Char(':') + QString::fromLatin1(number);
        } else if (m_server.state() != QProcess::NotRunning) {
            m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    if (m_display.isEmpty())
        return QStringLiteral("Xvfb did not report its display");

    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    m_windowManager.setProcessEnvironment(env);
    m_windowManager.setProgram(openbox);
    m_windowManager.setStandardOutputFile(QProcess::nullDevice());
    m_windowManager.setStandardErrorFile(QProcess::nullDevice());
    // The window manager is ready once it has announced itself on the root window.
    // It has been seen to vanish silently at start on a busy shared machine; then
    // another is started.
    QString lastEnd;
    bool announced = false;
    for (int attempt = 0; attempt < 3 && !announced; ++attempt) {
        m_windowManager.start();
        if (!m_windowManager.waitForStarted(10000))
            return QStringLiteral("openbox did not start");
        const QDeadlineTimer wmReady(30000);
        while (!announced && !wmReady.hasExpired()) {
            QProcess xprop;
            xprop.setProcessEnvironment(env);
            xprop.start(QStringLiteral("xprop"),
                        {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
            xprop.waitForFinished(5000);
            announced = xprop.readAllStandardOutput().contains("window id");
            if (!announced && m_windowManager.waitForFinished(50))
                break;
        }
        if (!announced && m_windowManager.state() != QProcess::NotRunning) {
            lastEnd = QStringLiteral("running, silent");
            break;
        }
        if (!announced) {
            lastEnd = m_windowManager.exitStatus() == QProcess::CrashExit
                ? QStringLiteral("killed")
                : QStringLiteral("exited with %1").arg(m_windowManager.exitCode());
            qWarning("openbox %s before it came up on %s", qPrintable(lastEnd), qPrintable(m_display));
        }
    }
    // Without it nothing frames the windows or answers Alt+F4.
    if (!announced)
        return QStringLiteral("openbox did not come up on %1 (%2)").arg(m_display, lastEnd);
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

QString XSession::xdotool(std::initializer_list<QAnyStringView> arguments, int *exitCode) const
{
    QStringList list;
    for (const QAnyStringView argument : arguments)
        list.append(argument.toString());
    return xdotool(list, exitCode);
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

QStringList XSession::windowNames() const
{
    // Lines of "xwininfo -tree" read: 0x400007 "Pinnote": ("pinnote" "pinnote")  ...
    const QString out = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    static const QRegularExpression named(QStringLiteral("0x[0-9a-f]+ \"([^\"]*)\""));
    QStringList names;
    for (auto it = named.globalMatch(out); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names.append(name);
    }
    return names;
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

QString XSession::run(const QString &program, const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    process.waitForFinished(30000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QRect XSession::clientGeometry(const QString &window) const
{
    // Without an id xwininfo waits for a mouse click on a window, which never comes.
    if (window.isEmpty())
        return {};
    int status = -1;
    const QString out = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, &status);
    if (status != 0)
        return {};
    const auto field = [&out](const QString &label, bool *ok) {
        const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(":\\s*(-?\\d+)"));
        const QRegularExpressionMatch match = pattern.match(out);
        *ok = match.hasMatch();
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    bool okX = false, okY = false, okW = false, okH = false;
    const int x = field(QStringLiteral("Absolute upper-left X"), &okX);
    const int y = field(QStringLiteral("Absolute upper-left Y"), &okY);
    const int width = field(QStringLiteral("Width"), &okW);
    const int height = field(QStringLiteral("Height"), &okH);
    if (!okX || !okY || !okW || !okH)
        return {};
    return QRect(x, y, width, height);
}

QMargins XSession::frameExtents(const QString &window, bool *known) const
{
    // "_NET_FRAME_EXTENTS(CARDINAL) = left, right, top, bottom"
    const QString out = run(QStringLiteral("xprop"), {QStringLiteral("-id"), window, QStringLiteral("_NET_FRAME_EXTENTS")});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("=\\s*(\\d+),\\s*(\\d+),\\s*(\\d+),\\s*(\\d+)")).match(out);
    if (known)
        *known = match.hasMatch();
    if (!match.hasMatch())
        return {};
    return QMargins(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(2).toInt(),
                    match.captured(4).toInt());
}

QRect XSession::outerGeometry(const QString &window) const
{
    bool known = false;
    const QMargins frame = frameExtents(window, &known);
    const QRect client = clientGeometry(window);
    if (!known || client.isNull())
        return {};
    return client.marginsAdded(frame);
}

QImage XSession::grabWindow(const QString &window, const QString &savePath) const
{
    // PNG on standard output, so nothing is left behind unless asked for.
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("import"), {QStringLiteral("-window"), window, QStringLiteral("png:-")});
    process.waitForFinished(30000);
    const QByteArray png = process.readAllStandardOutput();
    QImage image;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !image.loadFromData(png, "PNG"))
        return {};
    if (!savePath.isEmpty())
        image.save(savePath, "PNG");
    return image;
}
