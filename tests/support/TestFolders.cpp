// TestEnvironment's folders, apart from the window helpers, so that the QtCore-only
// tests can use them without linking the GUI.
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

TestEnvironment::TestEnvironment()
    : m_previousDir(QDir::currentPath())
    , m_previousConfig(qgetenv("XDG_CONFIG_HOME"))
    , m_hadConfig(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    QDir::setCurrent(m_dir.path());
    qputenv("XDG_CONFIG_HOME", configPath().toLocal8Bit());
    m_previousState = qgetenv("XDG_STATE_HOME");
    m_hadState = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", statePath().toLocal8Bit());
}

TestEnvironment::~TestEnvironment()
{
    QDir::setCurrent(m_previousDir);
    if (m_hadConfig)
        qputenv("XDG_CONFIG_HOME", m_previousConfig);
    else
        qunsetenv("XDG_CONFIG_HOME");
    if (m_hadState)
        qputenv("XDG_STATE_HOME", m_previousState);
    else
        qunsetenv("XDG_STATE_HOME");
}

QByteArray TestEnvironment::readFile(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TestEnvironment::writeFile(const QString &path, const QByteArray &bytes) const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool TestEnvironment::writeSettings(const QByteArray &iniText) const
{
    return QDir().mkpath(configPath()) && writeFile(settingsPath(), iniText);
}
