#include "support/TestEnvironment.h"

#include "app/Main.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

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

MessageBoxRecorder::MessageBoxRecorder()
{
    m_previous = MessageBox::setHandler([this](const MessageBox::Request &request) {
        m_requests.append(request);
        if (m_answers.empty())
            return request.defaultButton;
        const MessageBox::Button answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    MessageBox::setHandler(std::move(m_previous));
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList result;
    for (const MessageBox::Request &request : m_requests)
        result.append(request.text);
    return result;
}

void whenModalOpens(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, qApp, [action]() mutable {
        if (QWidget *modal = QApplication::activeModalWidget())
            action(modal);
        else
            whenModalOpens(std::move(action));
    });
}

std::unique_ptr<TMainForm> startMainForm(const QSize &size)
{
    auto form = std::make_unique<TMainForm>();
    if (!form->notesLoaded())
        return nullptr;
    form->createDialogs();
    if (size.isValid())
        form->resize(size);
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}
