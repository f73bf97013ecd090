#pragma once

#include <QByteArray>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class XSession;

// One run of the real program on a test display, in a working directory and
// settings folder of its own.
class ProgramUnderTest
{
public:
    static constexpr int WaitMs = 30000;

    explicit ProgramUnderTest(const XSession &session);
    ~ProgramUnderTest(); // kills the program if it still runs

    bool isValid() const { return m_dir.isValid(); }
    QString dirPath() const { return m_workDir; }
    QString filePath(const QString &name) const { return m_workDir + QLatin1Char('/') + name; }
    // Runs in another run's folder, with its settings and state: a second copy there.
    void shareFolderWith(const ProgramUnderTest &other) { m_workDir = other.m_workDir; }
    // Runs in that folder instead, with the settings and state kept there.
    void useFolder(const QString &path) { m_workDir = path; }
    // Sets (or, with a null value, removes) a variable of the program's environment.
    void setVariable(const QString &name, const QString &value) { m_variables.insert(name, value); }
    // Where the recovery snapshots go ($XDG_STATE_HOME/pinnote).
    QString snapshotDir() const { return filePath(QStringLiteral("state/pinnote")); }
    QString notesPath() const { return filePath(QStringLiteral("Pinnote.set")); }
    QString settingsPath() const { return filePath(QStringLiteral("config/Brindle Pinnote.ini")); }

    bool start();
    QProcess &process() { return m_process; }

    // The first visible window whose title matches, or empty when none shows up in
    // time or the program ends first.
    QString waitForWindow(const QString &titlePattern, int timeoutMs = WaitMs);
    bool waitForNoWindow(const QString &titlePattern, int timeoutMs = WaitMs);
    bool waitForExit(int timeoutMs = WaitMs);
    // Activates the window, then types the keys (xdotool key syntax).
    void key(const QString &window, const QString &keys);

    // A failure text saying whether the program was still running.
    QByteArray describeMissingWindow(const char *what) const;

    // Where to keep a screenshot when E2E_SCREENSHOTS names a folder; empty otherwise.
    static QString screenshotPath(const QString &name);

private:
    const XSession &m_session;
    QTemporaryDir m_dir;
    QString m_workDir = m_dir.path();
    QHash<QString, QString> m_variables;
    QProcess m_process;
};
