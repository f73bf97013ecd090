#pragma once

#include <QByteArray>
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
    QString dirPath() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
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
    QProcess m_process;
};
