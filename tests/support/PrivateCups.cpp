#include "support/PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

namespace {

constexpr const char *Programs[][2] = {{"cupsd", "cups"},           {"lpadmin", "cups-client"}, {"lpstat", "cups-client"},
                                       {"pdftotext", "poppler-utils"}, {"pdfinfo", "poppler-utils"}};

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : found;
}

// The backend runs as CUPS's unprivileged user: it must reach its folders and write to
// the job folders, while cupsd refuses a backend that others could change.
constexpr QFileDevice::Permissions ReadableByAll(0x7755);
constexpr QFileDevice::Permissions WritableByAll(0x7777);

bool writeFile(const QString &path, const QString &text, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return false;
    file.close();
    return !executable || file.setPermissions(ReadableByAll);
}

// Keeps each job's document as job-N, written whole before it gets that name.
const char CaptureBackend[] = R"(#!/bin/sh
[ $# -eq 0 ] && { echo 'direct capture "Unknown" "Job capture"'; exit 0; }
out=${DEVICE_URI#capture:}
if [ -n "$6" ]; then cat "$6"; else cat; fi > "$out/tmp-$1" || exit 1
mv "$out/tmp-$1" "$out/job-$1"
)";

} // namespace

PrivateCups::~PrivateCups()
{
    m_daemon.terminate();
    if (m_daemon.state() != QProcess::NotRunning && !m_daemon.waitForFinished(WaitMs))
        m_daemon.kill(), m_daemon.waitForFinished(WaitMs);
}

QString PrivateCups::start()
{
    for (const auto &need : Programs) {
        if (findProgram(QString::fromLatin1(need[0])).isEmpty())
            return QStringLiteral("%1 is not installed (Debian package %2)")
                .arg(QString::fromLatin1(need[0]), QString::fromLatin1(need[1]));
    }
    for (const char *sub : {"root", "spool", "log", "bin/backend"})
        QDir(m_dir.path()).mkpath(QString::fromLatin1(sub));
    for (const char *sub : {"", "bin", "bin/backend"})
        QFile::setPermissions(path(QString::fromLatin1(sub)), ReadableByAll);
    const QString config = QStringLiteral("Listen %1\nBrowsing No\nLogLevel warn\n<Location />\n  Order allow,deny\n"
                                          "  Allow all\n</Location>\n<Policy default>\n  <Limit All>\n"
                                          "    Order deny,allow\n  </Limit>\n</Policy>\n")
                               .arg(path(QStringLiteral("cups.sock")));
    QString files = QStringLiteral("ServerBin %1/bin\nServerRoot %1/root\nRequestRoot %1/spool\nCacheDir %1/spool\n"
                                   "StateDir %1/spool\nTempDir %1/spool\nErrorLog %1/log/error_log\n"
                                   "AccessLog %1/log/access_log\nPageLog %1/log/page_log\n")
                        .arg(m_dir.path());
    if (!writeFile(path(QStringLiteral("root/cupsd.conf")), config) || !writeFile(path(QStringLiteral("root/cups-files.conf")), files)
        || !writeFile(path(QStringLiteral("bin/backend/capture")), QString::fromLatin1(CaptureBackend), true))
        return QStringLiteral("could not write the CUPS configuration in ") + m_dir.path();
    for (const char *sub : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"})
        QFile::link(QStringLiteral("/usr/lib/cups/") + QString::fromLatin1(sub), path(QStringLiteral("bin/") + QString::fromLatin1(sub)));

    exportServer();
    m_daemon.setStandardOutputFile(path(QStringLiteral("log/output")));
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    m_daemon.start(findProgram(QStringLiteral("cupsd")), {QStringLiteral("-f"), QStringLiteral("-c"), path(QStringLiteral("root/cupsd.conf")),
                                                         QStringLiteral("-s"), path(QStringLiteral("root/cups-files.conf"))});
    // Ready once it answers on its socket.
    const QDeadlineTimer deadline(WaitMs);
    int status = -1;
    while (m_daemon.waitForStarted(WaitMs) && !m_daemon.waitForFinished(50) && !deadline.hasExpired()) {
        run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status);
        if (status == 0)
            return {};
    }
    QFile log(path(QStringLiteral("log/error_log")));
    log.open(QIODevice::ReadOnly);
    return QStringLiteral("cupsd did not come up: ") + QString::fromLocal8Bit(log.readAll());
}

void PrivateCups::exportServer() const
{
    qputenv("CUPS_SERVER", path(QStringLiteral("cups.sock")).toLocal8Bit());
}

QString PrivateCups::addQueue(const QString &name, bool makeDefault)
{
    const QString folder = path(QStringLiteral("out-") + name);
    QDir().mkpath(folder);
    QFile::setPermissions(folder, WritableByAll);
    QList<QStringList> steps = {{QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                                 QStringLiteral("capture:") + folder, QStringLiteral("-m"), QStringLiteral("raw")}};
    if (makeDefault)
        steps.append({QStringLiteral("-d"), name});
    for (const QStringList &step : steps) {
        int status = -1;
        const QString out = run(QStringLiteral("lpadmin"), step, &status);
        if (status != 0)
            return QStringLiteral("lpadmin %1 failed: %2").arg(step.join(u' '), out);
    }
    return {};
}

QStringList PrivateCups::jobs(const QString &queue) const
{
    const QDir folder(path(QStringLiteral("out-") + queue));
    QStringList found;
    for (const QString &name : folder.entryList({QStringLiteral("job-*")}, QDir::Files))
        found.append(folder.filePath(name));
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) { // job-9 before job-10
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return found;
}

QString PrivateCups::waitForJob(const QString &queue, qsizetype before) const
{
    QStringList found;
    const bool arrived = QTest::qWaitFor([&] { return (found = jobs(queue)).size() > before; }, WaitMs);
    return arrived ? found.value(before) : QString();
}

QString PrivateCups::run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(findProgram(program), arguments);
    process.waitForFinished(WaitMs);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAll());
}

QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(QStringLiteral("Line %1").arg(i, 3, 10, QLatin1Char('0')));
    return lines.join(QStringLiteral("\r\n"));
}

QStringList printedLines(const QString &text)
{
    static const QRegularExpression line(QStringLiteral("Line \\d{3}"));
    QStringList found;
    for (auto it = line.globalMatch(text); it.hasNext();)
        found.append(it.next().captured());
    return found;
}
