#include "support/SyncthingPair.h"

#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QHostAddress>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

#include <vector>

namespace {

constexpr char Loopback[] = "127.0.0.1";
constexpr char ConnectedLine[] = "Established secure connection";
constexpr int StopTimeoutMs = 10000;
constexpr int PollMs = 100;
constexpr int PortCount = 4; // a sync port and a GUI port for each

const char *machineName(SyncthingPair::Machine machine)
{
    return machine == SyncthingPair::A ? "A" : "B";
}

SyncthingPair::Machine peerOf(SyncthingPair::Machine machine)
{
    return machine == SyncthingPair::A ? SyncthingPair::B : SyncthingPair::A;
}

QProcessEnvironment environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("STNOUPGRADE"), QStringLiteral("1"));
    env.insert(QStringLiteral("STNODEFAULTFOLDER"), QStringLiteral("1"));
    // Run as the one process, without the monitor that would start it as a child: then the
    // PID this fixture holds is the instance itself.
    env.insert(QStringLiteral("STMONITORED"), QStringLiteral("1"));
    return env;
}

// Ports that were free a moment ago; all are held until every one is picked, so none repeats.
std::array<quint16, PortCount> freePorts()
{
    std::array<quint16, PortCount> ports{};
    std::vector<std::unique_ptr<QTcpServer>> held;
    for (quint16 &port : ports) {
        held.push_back(std::make_unique<QTcpServer>());
        if (held.back()->listen(QHostAddress(QString::fromLatin1(Loopback)), 0))
            port = held.back()->serverPort();
    }
    return ports;
}

QString run(const QStringList &arguments, QString *output = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(environment());
    process.start(QString::fromLatin1(SyncthingPair::Program), arguments);
    if (!process.waitForFinished(SyncthingPair::StartTimeoutMs) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(StopTimeoutMs);
        }
        return QStringLiteral("syncthing %1 failed: %2 %3")
            .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                 QString::fromLocal8Bit(process.readAllStandardError()));
    }
    if (output)
        *output = QString::fromLatin1(process.readAllStandardOutput()).trimmed();
    return {};
}

// The element's only child of that name, made when missing.
QDomElement child(QDomElement parent, const QString &name)
{
    QDomElement element = parent.firstChildElement(name);
    if (element.isNull())
        element = parent.appendChild(parent.ownerDocument().createElement(name)).toElement();
    return element;
}

void setText(QDomElement element, const QString &text)
{
    while (element.hasChildNodes())
        element.removeChild(element.firstChild());
    element.appendChild(element.ownerDocument().createTextNode(text));
}

void removeAll(QDomElement parent, const QString &name)
{
    for (QDomElement e = parent.firstChildElement(name); !e.isNull(); e = parent.firstChildElement(name))
        parent.removeChild(e);
}

// A new element under parent, made from the config's defaults for it where there are some
// (a folder left without them would, for one, keep no conflict copies).
QDomElement fromDefaults(QDomElement parent, const QString &name)
{
    QDomElement element = parent.ownerDocument().documentElement().firstChildElement(QStringLiteral("defaults"))
                              .firstChildElement(name).cloneNode(true).toElement();
    if (element.isNull())
        element = parent.ownerDocument().createElement(name);
    removeAll(element, QStringLiteral("device"));
    return parent.appendChild(element).toElement();
}

QString tcpAddress(quint16 port)
{
    return QStringLiteral("tcp://%1:%2").arg(QString::fromLatin1(Loopback)).arg(port);
}

} // namespace

SyncthingPair::SyncthingPair() = default;

SyncthingPair::~SyncthingPair()
{
    stop();
}

QString SyncthingPair::home(Machine machine) const
{
    return QDir(m_dir).filePath(QStringLiteral("st%1").arg(QString::fromLatin1(machineName(machine))));
}

QString SyncthingPair::folder(Machine machine) const
{
    return QDir(m_dir).filePath(QStringLiteral("machine%1/pad").arg(QString::fromLatin1(machineName(machine))));
}

QString SyncthingPair::configPath(Machine machine) const
{
    return QDir(home(machine)).filePath(QStringLiteral("config.xml"));
}

QString SyncthingPair::logPath(Machine machine) const
{
    // One log for each start, so that waiting for the connection reads only this start's lines.
    return QDir(m_dir).filePath(
        QStringLiteral("st%1-%2.log").arg(QString::fromLatin1(machineName(machine))).arg(m_starts[machine]));
}

QString SyncthingPair::start(const QString &dir)
{
    stop();
    m_dir = dir;
    m_starts = {};
    std::array<QString, 2> ids;
    for (const Machine machine : {A, B}) {
        if (!QDir().mkpath(folder(machine)))
            return QStringLiteral("cannot make %1").arg(folder(machine));
        QString error = run({QStringLiteral("generate"), QStringLiteral("--home=") + home(machine),
                             QStringLiteral("--no-default-folder")});
        if (error.isEmpty())
            error = run({QStringLiteral("--home=") + home(machine), QStringLiteral("--device-id")}, &ids[machine]);
        if (!error.isEmpty())
            return error;
    }
    const std::array<quint16, PortCount> ports = freePorts();
    for (const quint16 port : ports) {
        if (port == 0)
            return QStringLiteral("no free port on %1").arg(QString::fromLatin1(Loopback));
    }
    for (const Machine machine : {A, B}) {
        if (const QString error = writeConfig(machine, ids, ports); !error.isEmpty())
            return error;
    }
    for (const Machine machine : {A, B}) {
        if (const QString error = startOne(machine); !error.isEmpty())
            return error;
    }
    return {};
}

QString SyncthingPair::writeConfig(Machine machine, const std::array<QString, 2> &ids,
                                   const std::array<quint16, 4> &ports)
{
    const Machine peer = peerOf(machine);
    QFile file(configPath(machine));
    QDomDocument document;
    if (!file.open(QIODevice::ReadOnly) || !document.setContent(&file))
        return QStringLiteral("cannot read %1").arg(file.fileName());
    file.close();
    QDomElement configuration = document.documentElement();

    QDomElement options = child(configuration, QStringLiteral("options"));
    removeAll(options, QStringLiteral("listenAddress"));
    removeAll(options, QStringLiteral("globalAnnounceServer"));
    setText(child(options, QStringLiteral("listenAddress")), tcpAddress(ports[machine]));
    const std::pair<const char *, QString> settings[] = {
        {"globalAnnounceEnabled", QStringLiteral("false")},
        {"localAnnounceEnabled", QStringLiteral("false")},
        {"relaysEnabled", QStringLiteral("false")},
        {"natEnabled", QStringLiteral("false")},
        {"stunKeepaliveStartS", QStringLiteral("0")}, // no STUN
        {"startBrowser", QStringLiteral("false")},
        {"urAccepted", QStringLiteral("-1")},
        {"autoUpgradeIntervalH", QStringLiteral("0")},
        {"crashReportingEnabled", QStringLiteral("false")},
        {"announceLANAddresses", QStringLiteral("false")},
        {"reconnectionIntervalS", QString::number(ReconnectIntervalSeconds)},
    };
    for (const auto &[name, value] : settings)
        setText(child(options, QString::fromLatin1(name)), value);

    QDomElement gui = child(configuration, QStringLiteral("gui"));
    setText(child(gui, QStringLiteral("address")),
            QStringLiteral("%1:%2").arg(QString::fromLatin1(Loopback)).arg(ports[2 + machine]));

    QDomElement device = fromDefaults(configuration, QStringLiteral("device"));
    device.setAttribute(QStringLiteral("id"), ids[peer]);
    device.setAttribute(QStringLiteral("name"), QStringLiteral("machine%1").arg(QString::fromLatin1(machineName(peer))));
    device.setAttribute(QStringLiteral("compression"), QStringLiteral("metadata"));
    device.setAttribute(QStringLiteral("introducer"), QStringLiteral("false"));
    setText(child(device, QStringLiteral("address")), tcpAddress(ports[peer]));

    QDomElement folderElement = fromDefaults(configuration, QStringLiteral("folder"));
    const std::pair<const char *, QString> attributes[] = {
        {"id", QString::fromLatin1(FolderId)},
        {"label", QString::fromLatin1(FolderId)},
        {"path", folder(machine)},
        {"type", QStringLiteral("sendreceive")},
        {"rescanIntervalS", QString::number(RescanIntervalSeconds)},
        {"fsWatcherEnabled", QStringLiteral("true")},
        {"fsWatcherDelayS", QString::number(FolderWatcherDelaySeconds)},
    };
    for (const auto &[name, value] : attributes)
        folderElement.setAttribute(QString::fromLatin1(name), value);
    for (const QString &id : {ids[machine], ids[peer]})
        folderElement.appendChild(document.createElement(QStringLiteral("device"))).toElement().setAttribute(
            QStringLiteral("id"), id);
    QDomElement minDiskFree = child(folderElement, QStringLiteral("minDiskFree"));
    minDiskFree.setAttribute(QStringLiteral("unit"), QStringLiteral("%"));
    setText(minDiskFree, QStringLiteral("0"));

    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(document.toByteArray()) < 0
        || !file.flush())
        return QStringLiteral("cannot write %1").arg(file.fileName());
    return {};
}

QString SyncthingPair::startOne(Machine machine)
{
    if (m_processes[machine])
        return QStringLiteral("syncthing %1 is running already").arg(QString::fromLatin1(machineName(machine)));
    ++m_starts[machine];
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(logPath(machine));
    // A test that dies without its destructors must not leave the instance running.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    process->start(QString::fromLatin1(Program),
                   {QStringLiteral("serve"), QStringLiteral("--home=") + home(machine), QStringLiteral("--no-browser"),
                    QStringLiteral("--no-restart")});
    if (!process->waitForStarted())
        return QStringLiteral("syncthing did not start: %1").arg(process->errorString());
    m_processes[machine] = std::move(process);

    // Only when both run can they connect; the first start of the pair waits for the second.
    if (!m_processes[peerOf(machine)])
        return {};
    const QDeadlineTimer deadline(StartTimeoutMs);
    while (!connected(machine)) {
        if (m_processes[machine]->state() == QProcess::NotRunning)
            return QStringLiteral("syncthing %1 ended; see %2").arg(QString::fromLatin1(machineName(machine)), logPath(machine));
        if (deadline.hasExpired())
            return QStringLiteral("the two Syncthing instances did not connect; see %1").arg(logPath(machine));
        QTest::qWait(PollMs);
    }
    return {};
}

bool SyncthingPair::connected(Machine machine) const
{
    QFile log(logPath(machine));
    return log.open(QIODevice::ReadOnly) && log.readAll().contains(ConnectedLine);
}

QString SyncthingPair::stopOne(Machine machine)
{
    std::unique_ptr<QProcess> process = std::move(m_processes[machine]);
    if (!process)
        return {};
    process->terminate();
    if (!process->waitForFinished(StopTimeoutMs)) {
        process->kill();
        if (!process->waitForFinished(StopTimeoutMs))
            return QStringLiteral("syncthing %1 did not end").arg(QString::fromLatin1(machineName(machine)));
    }
    return {};
}

void SyncthingPair::stop()
{
    for (const Machine machine : {A, B}) {
        if (const QString error = stopOne(machine); !error.isEmpty())
            qWarning("%s", qPrintable(error));
    }
}

bool SyncthingPair::waitSame(const QString &fileName, QDeadlineTimer deadline) const
{
    const auto bytes = [&](Machine machine, bool *ok) {
        QFile file(QDir(folder(machine)).filePath(fileName));
        *ok = file.open(QIODevice::ReadOnly);
        return *ok ? file.readAll() : QByteArray();
    };
    for (;;) {
        bool okA = false;
        bool okB = false;
        const QByteArray a = bytes(A, &okA);
        if (okA && a == bytes(B, &okB) && okB)
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(PollMs);
    }
}
