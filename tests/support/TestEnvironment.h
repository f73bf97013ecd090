#pragma once

#include "widgets/MessageBox.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <QSize>

#include <deque>
#include <functional>
#include <memory>

class QWidget;
class TMainForm;

// The main window as start-up makes it, shown (at the given size, if any) and exposed;
// null when the notes did not load or the window never showed.
std::unique_ptr<TMainForm> startMainForm(const QSize &size = QSize());

// Gives a test its own working directory and settings folder, restored afterwards.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString notesPath() const { return filePath(QStringLiteral("Pinnote.set")); }
    QString configPath() const { return filePath(QStringLiteral("config")); }
    QString settingsPath() const { return configPath() + QStringLiteral("/Brindle Pinnote.ini"); }
    QString statePath() const { return filePath(QStringLiteral("state")); }

    QByteArray readFile(const QString &path) const;
    bool writeFile(const QString &path, const QByteArray &bytes) const;
    // Puts the INI text in place as the settings file, making its folder.
    bool writeSettings(const QByteArray &iniText) const;

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
    QByteArray m_previousConfig;
    QByteArray m_previousState;
    bool m_hadState = false;
    bool m_hadConfig = false;
};

// Answers the program's message boxes in place of the user and records them.
class MessageBoxRecorder
{
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();

    // Answers to give, in order; when none is queued the box's default button is taken.
    void queueAnswer(MessageBox::Button answer) { m_answers.push_back(answer); }

    const QList<MessageBox::Request> &requests() const { return m_requests; }
    QStringList texts() const;
    void clear() { m_requests.clear(); }

private:
    MessageBox::Handler m_previous;
    QList<MessageBox::Request> m_requests;
    std::deque<MessageBox::Button> m_answers;
};

// Runs action on the modal dialog as soon as the command under test has opened it.
void whenModalOpens(std::function<void(QWidget *)> action);
