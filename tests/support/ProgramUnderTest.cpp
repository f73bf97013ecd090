#include "support/ProgramUnderTest.h"

#include "support/XSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QTest>

ProgramUnderTest::ProgramUnderTest(const XSession &session)
    : m_session(session)
{
}

ProgramUnderTest::~ProgramUnderTest()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ProgramUnderTest::start()
{
    QProcessEnvironment env = m_session.environment(m_workDir, filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), filePath(QStringLiteral("state")));
    for (auto it = m_variables.cbegin(); it != m_variables.cend(); ++it)
        it.value().isNull() ? env.remove(it.key()) : env.insert(it.key(), it.value());
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(m_workDir);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(PINNOTE_BINARY), {});
    return m_process.waitForStarted(10000);
}

QString ProgramUnderTest::waitForWindow(const QString &titlePattern, int timeoutMs)
{
    QStringList windows;
    const auto found = [&] {
        windows = m_session.findWindows(titlePattern);
        return !windows.isEmpty() || m_process.state() == QProcess::NotRunning;
    };
    const QDeadlineTimer deadline(timeoutMs);
    while (!found() && !deadline.hasExpired())
        QTest::qWait(50);
    return windows.value(0);
}

bool ProgramUnderTest::waitForNoWindow(const QString &titlePattern, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_session.findWindows(titlePattern).isEmpty()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

bool ProgramUnderTest::waitForExit(int timeoutMs)
{
    return m_process.waitForFinished(timeoutMs) || m_process.state() == QProcess::NotRunning;
}

void ProgramUnderTest::key(const QString &window, const QString &keys)
{
    m_session.xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), window});
    m_session.xdotool({QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

QByteArray ProgramUnderTest::describeMissingWindow(const char *what) const
{
    QByteArray text(what);
    if (m_process.state() != QProcess::NotRunning)
        text += " (the program is running)";
    else if (m_process.exitStatus() == QProcess::CrashExit)
        text += " (the program crashed)";
    else
        text += " (the program exited with " + QByteArray::number(m_process.exitCode()) + ')';
    // What did show says whether the program was slow, showed something else, or
    // the display itself went away.
    const QStringList names = m_session.windowNames();
    if (names.isEmpty())
        return text + "; the display reports no named window";
    return text + "; named windows on the display: " + names.join(QStringLiteral(" | ")).toUtf8();
}

QString ProgramUnderTest::screenshotPath(const QString &name)
{
    const QString folder = qEnvironmentVariable("E2E_SCREENSHOTS");
    if (folder.isEmpty())
        return {};
    QDir().mkpath(folder);
    QString tag = QString::fromLatin1(QTest::currentDataTag());
    if (!tag.isEmpty())
        tag += QLatin1Char('-');
    return QDir(folder).filePath(tag + name);
}
