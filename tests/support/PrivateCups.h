#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A CUPS scheduler of the test's own: cupsd on a Unix socket in a temporary folder,
// with queues whose backend keeps every job it is sent as a file. Programs see it
// through CUPS_SERVER (environment()).
class PrivateCups
{
public:
    static constexpr int WaitMs = 30000;

    PrivateCups();
    ~PrivateCups(); // stops the scheduler

    // The first program this helper or its tests need that is not installed, with its
    // Debian package ("cupsd (package cups)"); empty when all are there.
    static QString missingProgram();

    // Starts the scheduler; returns an error text, empty on success.
    QString start();
    void stop();
    QString socketPath() const;
    // The environment with CUPS_SERVER set to this scheduler.
    QProcessEnvironment environment() const;
    void exportServer() const; // sets CUPS_SERVER in this process

    // A queue whose jobs are kept in jobFolder(name); makeDefault makes it the default.
    QString addQueue(const QString &name, bool makeDefault);
    QString removeQueue(const QString &name);

    // The documents received on the queue so far, oldest first, and what came with one
    // of them: "copies", "title", "options" (the backend's arguments).
    QStringList jobs(const QString &queue) const;
    QString jobArgument(const QString &jobFile, const QString &key) const;
    // Jobs the scheduler has accepted for the queue, done or not.
    int acceptedJobs(const QString &queue) const;

    // Runs a CUPS client (lpadmin, lpstat, ...) against this scheduler.
    QString runClient(const QString &program, const QStringList &arguments, int *exitCode = nullptr) const;

    // What poppler reads back from a PDF: its text (pdftotext -layout), its page count
    // (pdfinfo), and the words of its first page with their boxes (pdftotext -bbox).
    static QString pdfText(const QString &pdf);
    static int pdfPages(const QString &pdf);
    struct Word
    {
        QString text;
        double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
        int page = 0;
    };
    static QList<Word> pdfWords(const QString &pdf);
    // The fonts the PDF uses, as pdffonts lists them.
    static QString pdfFonts(const QString &pdf);

private:
    QString jobFolder(const QString &queue) const;

    QTemporaryDir m_dir;
    QProcess m_daemon;
};
