#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A CUPS scheduler of the test's own: cupsd on a Unix socket in a temporary folder, with
// queues whose backend keeps each job's document as a file. Programs reach it through
// CUPS_SERVER, which exportServer() sets for this process and the programs it starts.
class PrivateCups
{
public:
    static constexpr int WaitMs = 30000;

    ~PrivateCups(); // stops the scheduler

    // Each returns an error text, empty on success; start() names a missing program and its package.
    QString start();
    QString addQueue(const QString &name, bool makeDefault);
    void exportServer() const;

    // Documents received on the queue, oldest first; waitForJob gives the one after the
    // first `before`, or empty when none arrives in time.
    QStringList jobs(const QString &queue) const;
    QString waitForJob(const QString &queue, qsizetype before) const;

    // Runs a program (a CUPS client, pdftotext, pdfinfo) and returns its output.
    static QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr);

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QProcess m_daemon;
};

// A page of numbered lines, "Line 001" on, and the numbered lines found in printed text.
QString numberedLines(int count);
QStringList printedLines(const QString &text);
