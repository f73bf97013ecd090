#include "support/PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace {

struct Requirement
{
    const char *program;
    const char *package;
};

constexpr Requirement Programs[] = {
    {"cupsd", "cups"},           {"lpadmin", "cups-client"}, {"lpstat", "cups-client"},
    {"cupsenable", "cups-client"}, {"cupsaccept", "cups-client"}, {"pdftotext", "poppler-utils"},
    {"pdfinfo", "poppler-utils"}, {"pdffonts", "poppler-utils"},
};

QString findProgram(const QString &name)
{
    // cupsd lives in sbin, which a test's PATH may lack.
    QString found = QStandardPaths::findExecutable(name);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    return found;
}

bool writeText(const QString &path, const QString &text, QFileDevice::Permissions permissions = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const bool written = file.write(text.toUtf8()) >= 0;
    file.close();
    return written && (permissions == QFileDevice::Permissions() || file.setPermissions(permissions));
}

constexpr auto OpenToAll = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;

// Keeps each job's document as job-N and the backend's arguments beside it as job-N.args.
// Jobs go into the folder named by the device URI, capture:/folder.
const char CaptureBackend[] = R"(#!/bin/sh
if [ $# -eq 0 ]; then echo 'direct capture "Unknown" "Job capture"'; exit 0; fi
out=${DEVICE_URI#capture:}
if [ -n "$6" ]; then cat "$6"; else cat; fi > "$out/job-$1.tmp" || exit 1
printf 'copies=%s\ntitle=%s\noptions=%s\n' "$4" "$3" "$5" > "$out/job-$1.args"
mv "$out/job-$1.tmp" "$out/job-$1"
)";

} // namespace

PrivateCups::PrivateCups() = default;

PrivateCups::~PrivateCups()
{
    stop();
}

QString PrivateCups::missingProgram()
{
    for (const Requirement &need : Programs) {
        if (findProgram(QString::fromLatin1(need.program)).isEmpty())
            return QStringLiteral("%1 (package %2)").arg(QString::fromLatin1(need.program), QString::fromLatin1(need.package));
    }
    return {};
}

QString PrivateCups::socketPath() const
{
    return m_dir.filePath(QStringLiteral("cups.sock"));
}

QProcessEnvironment PrivateCups::environment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), socketPath());
    return env;
}

void PrivateCups::exportServer() const
{
    qputenv("CUPS_SERVER", socketPath().toLocal8Bit());
}

QString PrivateCups::start()
{
    const QString missing = missingProgram();
    if (!missing.isEmpty())
        return QStringLiteral("%1 is not installed").arg(missing);
    if (!m_dir.isValid())
        return QStringLiteral("no temporary folder for CUPS");
    const QDir dir(m_dir.path());
    for (const char *sub : {"root", "spool", "cache", "state", "log", "out", "bin/backend"})
        dir.mkpath(QString::fromLatin1(sub));
    // The backend runs as the scheduler's unprivileged user and must reach its folders.
    QFile::setPermissions(m_dir.path(), OpenToAll);
    QFile::setPermissions(dir.filePath(QStringLiteral("bin")), OpenToAll);
    QFile::setPermissions(dir.filePath(QStringLiteral("bin/backend")), OpenToAll);
    QFile::setPermissions(dir.filePath(QStringLiteral("out")), OpenToAll | QFileDevice::WriteGroup | QFileDevice::WriteOther);

    const QString logs = dir.filePath(QStringLiteral("log"));
    const QString cupsd = QStringLiteral(
                              "Listen %1\nLogLevel warn\nBrowsing No\nErrorLog %2/error_log\nAccessLog %2/access_log\n"
                              "PageLog %2/page_log\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                              "<Location /admin>\n  Order allow,deny\n  Allow all\n</Location>\n"
                              "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                              .arg(socketPath(), logs);
    const QString files = QStringLiteral("ServerBin %1/bin\nServerRoot %1/root\nRequestRoot %1/spool\nCacheDir %1/cache\n"
                                         "StateDir %1/state\nTempDir %1/spool\nErrorLog %2/error_log\n"
                                         "AccessLog %2/access_log\nPageLog %2/page_log\n")
                              .arg(m_dir.path(), logs);
    if (!writeText(dir.filePath(QStringLiteral("root/cupsd.conf")), cupsd)
        || !writeText(dir.filePath(QStringLiteral("root/cups-files.conf")), files)
        || !writeText(dir.filePath(QStringLiteral("bin/backend/capture")), QString::fromLatin1(CaptureBackend), OpenToAll))
        return QStringLiteral("could not write the CUPS configuration in %1").arg(m_dir.path());
    // Filters and the other helpers come from the system's CUPS.
    for (const char *sub : {"filter", "daemon", "cgi-bin", "monitor", "notifier", "driver"}) {
        const QString system = QStringLiteral("/usr/lib/cups/") + QString::fromLatin1(sub);
        if (QFileInfo::exists(system))
            QFile::link(system, dir.filePath(QStringLiteral("bin/") + QString::fromLatin1(sub)));
    }

    m_daemon.setProgram(findProgram(QStringLiteral("cupsd")));
    m_daemon.setArguments({QStringLiteral("-f"), QStringLiteral("-c"), dir.filePath(QStringLiteral("root/cupsd.conf")),
                           QStringLiteral("-s"), dir.filePath(QStringLiteral("root/cups-files.conf"))});
    m_daemon.setStandardOutputFile(dir.filePath(QStringLiteral("log/stdout")));
    m_daemon.setStandardErrorFile(dir.filePath(QStringLiteral("log/stderr")));
    m_daemon.start();
    if (!m_daemon.waitForStarted(10000))
        return QStringLiteral("cupsd did not start");

    // Ready once it answers on its socket.
    const QDeadlineTimer deadline(WaitMs);
    int status = -1;
    while (!deadline.hasExpired() && m_daemon.state() == QProcess::Running) {
        if (QFileInfo::exists(socketPath())) {
            runClient(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status);
            if (status == 0)
                return {};
        }
        m_daemon.waitForFinished(50);
    }
    QFile log(dir.filePath(QStringLiteral("log/error_log")));
    log.open(QIODevice::ReadOnly);
    return QStringLiteral("cupsd did not come up on %1: %2").arg(socketPath(), QString::fromLocal8Bit(log.readAll()));
}

void PrivateCups::stop()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
}

QString PrivateCups::jobFolder(const QString &queue) const
{
    return m_dir.filePath(QStringLiteral("out/") + queue);
}

QString PrivateCups::addQueue(const QString &name, bool makeDefault)
{
    const QString folder = jobFolder(name);
    QDir().mkpath(folder);
    QFile::setPermissions(folder, OpenToAll | QFileDevice::WriteGroup | QFileDevice::WriteOther);
    int status = -1;
    const QString out = runClient(QStringLiteral("lpadmin"),
                                  {QStringLiteral("-p"), name, QStringLiteral("-E"), QStringLiteral("-v"),
                                   QStringLiteral("capture:") + folder, QStringLiteral("-m"), QStringLiteral("raw")},
                                  &status);
    if (status != 0)
        return QStringLiteral("lpadmin could not add %1: %2").arg(name, out);
    if (makeDefault) {
        runClient(QStringLiteral("lpadmin"), {QStringLiteral("-d"), name}, &status);
        if (status != 0)
            return QStringLiteral("lpadmin could not make %1 the default").arg(name);
    }
    runClient(QStringLiteral("cupsenable"), {name}, &status);
    runClient(QStringLiteral("cupsaccept"), {name}, &status);
    return status == 0 ? QString() : QStringLiteral("cupsaccept refused %1").arg(name);
}

QString PrivateCups::removeQueue(const QString &name)
{
    int status = -1;
    const QString out = runClient(QStringLiteral("lpadmin"), {QStringLiteral("-x"), name}, &status);
    return status == 0 ? QString() : QStringLiteral("lpadmin could not remove %1: %2").arg(name, out);
}

QStringList PrivateCups::jobs(const QString &queue) const
{
    const QDir folder(jobFolder(queue));
    QStringList names = folder.entryList({QStringLiteral("job-*")}, QDir::Files);
    names.erase(std::remove_if(names.begin(), names.end(),
                               [](const QString &name) { return name.contains(QLatin1Char('.')); }),
                names.end());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        return a.mid(4).toInt() < b.mid(4).toInt();
    });
    QStringList paths;
    for (const QString &name : names)
        paths.append(folder.filePath(name));
    return paths;
}

QString PrivateCups::jobArgument(const QString &jobFile, const QString &key) const
{
    QFile args(jobFile + QStringLiteral(".args"));
    if (!args.open(QIODevice::ReadOnly))
        return {};
    const QString prefix = key + QLatin1Char('=');
    for (const QByteArray &line : args.readAll().split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (text.startsWith(prefix))
            return text.mid(prefix.size());
    }
    return {};
}

int PrivateCups::acceptedJobs(const QString &queue) const
{
    const QString out = runClient(QStringLiteral("lpstat"), {QStringLiteral("-W"), QStringLiteral("all"),
                                                             QStringLiteral("-o"), queue});
    return int(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

QString PrivateCups::runClient(const QString &program, const QStringList &arguments, int *exitCode) const
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(findProgram(program), arguments);
    process.waitForFinished(WaitMs);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

namespace {

QString runPoppler(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(findProgram(program), arguments);
    process.waitForFinished(PrivateCups::WaitMs);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString PrivateCups::pdfText(const QString &pdf)
{
    return runPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

int PrivateCups::pdfPages(const QString &pdf)
{
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^Pages:\\s*(\\d+)"),
                                                             QRegularExpression::MultilineOption)
                                              .match(runPoppler(QStringLiteral("pdfinfo"), {pdf}));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QList<PrivateCups::Word> PrivateCups::pdfWords(const QString &pdf)
{
    const QString html = runPoppler(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    static const QRegularExpression pageStart(QStringLiteral("<page "));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> words;
    int page = 0;
    for (const QString &chunk : html.split(pageStart)) {
        for (auto it = word.globalMatch(chunk); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            words.append({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4).toDouble(), page});
        }
        ++page;
    }
    return words; // the text before the first page is the header: pages count from 1
}

QString PrivateCups::pdfFonts(const QString &pdf)
{
    return runPoppler(QStringLiteral("pdffonts"), {pdf});
}
