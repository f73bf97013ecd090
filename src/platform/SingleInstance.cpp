#include "platform/SingleInstance.h"

#include "storage/PrivateFolder.h"
#include "storage/NoteFile.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray RaisedAnswer = QByteArrayLiteral("raised\n");
constexpr std::chrono::milliseconds RetryInterval{50};
const char LockSuffix[] = ".lock";
const char SocketSuffix[] = ".socket";

bool fitsSocketAddress(const QString &path)
{
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

// Whether the process at the other end of the connection runs as this user.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && size == sizeof(peer) && peer.uid == ::geteuid();
}

// The candidates in order. The runtime folder is asked for directly: QStandardPaths
// warns on every start when the variable is not set. Without one, a folder of our own
// in the temporary folder, as Qt makes for itself; should another user hold that name,
// one in the home folder, which nobody else can write to.
struct Candidate
{
    QString path;
    PrivateFolder::Make make;
};

QList<Candidate> folderCandidates()
{
    QList<Candidate> candidates;
    // The user's own runtime folder is used as it is; ours are made when missing.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        candidates.append({runtime, PrivateFolder::Make::No});
    candidates.append({QDir::tempPath() + QStringLiteral("/pinnote-%1").arg(::geteuid()), PrivateFolder::Make::Missing});
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    candidates.append({cache + QStringLiteral("/pinnote"), PrivateFolder::Make::Missing});
    return candidates;
}

} // namespace

SingleInstance::SingleInstance(const QString &noteFilePath, QObject *parent)
    : QObject(parent)
{
    const QByteArray key = QCryptographicHash::hash(NoteFile::folderIdentity(noteFilePath), QCryptographicHash::Sha256)
                               .toHex()
                               .left(32);
    m_name = QStringLiteral("pinnote-") + QString::fromLatin1(key);
    for (const Candidate &candidate : folderCandidates()) {
        auto folder = std::make_unique<PrivateFolder>(candidate.path, candidate.make);
        // A socket path must fit in sockaddr_un, or later copies would have nothing to ask.
        if (folder->isUsable() && fitsSocketAddress(folder->filePath(m_name + QLatin1String(SocketSuffix)))) {
            m_folder = std::move(folder);
            break;
        }
    }
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::folderPath() const
{
    return m_folder ? m_folder->path() : QString();
}

QString SingleInstance::lockPath() const
{
    return m_folder ? m_folder->filePath(m_name + QLatin1String(LockSuffix)) : QString();
}

QString SingleInstance::serverPath() const
{
    return m_folder ? m_folder->filePath(m_name + QLatin1String(SocketSuffix)) : QString();
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds wait)
{
    // Nowhere to coordinate: better a second copy than none.
    if (!m_folder)
        return Claim::First;
    switch (lockOwnFile()) {
    case FileLock::Result::Locked:
        listen();
        return Claim::First;
    case FileLock::Result::Unavailable:
        return Claim::First;
    case FileLock::Result::Busy:
        break;
    }
    return askRunningCopy(wait);
}

FileLock::Result SingleInstance::lockOwnFile()
{
    const QString name = m_name + QLatin1String(LockSuffix);
    FileLock::Result result = m_lock.acquireOwnFile(m_folder->handle(), name, std::chrono::milliseconds(0));
    // A symlink or a stranger's file under the name is no copy of ours (a copy's lock is
    // always its own plain file): it goes, and a lock of our own takes its place.
    if (result == FileLock::Result::Unavailable && (m_lock.error() == ELOOP || m_lock.error() == EPERM)
        && ::unlinkat(m_folder->handle(), QFile::encodeName(name).constData(), 0) == 0)
        result = m_lock.acquireOwnFile(m_folder->handle(), name, std::chrono::milliseconds(0));
    return result;
}

SingleInstance::Claim SingleInstance::askRunningCopy(std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(serverPath());
        if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 0))) && peerIsThisUser(socket)) {
            socket.write(RaiseRequest);
            socket.flush();
            while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState
                   && !deadline.hasExpired()) {
                socket.waitForReadyRead(int(qMax<qint64>(deadline.remainingTime(), 1)));
            }
            if (socket.canReadLine() && socket.readLine() == RaisedAnswer)
                return Claim::OtherRaised;
        }
        // The copy holding the lock may have ended meanwhile, or not be listening yet.
        if (lockOwnFile() == FileLock::Result::Locked) {
            listen();
            return Claim::First;
        }
        if (deadline.hasExpired())
            return Claim::OtherSilent;
        QThread::msleep(qMin<qint64>(RetryInterval.count(), deadline.remainingTime()));
    }
}

bool SingleInstance::listen()
{
    // Holding the lock, any socket file left there belongs to a copy that is gone.
    QLocalServer::removeServer(serverPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection())
            answer(socket);
    });
    return m_server->listen(serverPath());
}

void SingleInstance::answer(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsThisUser(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    const auto reply = [this, socket] {
        if (!socket->canReadLine())
            return;
        if (socket->readLine() == RaiseRequest) {
            emit raiseRequested();
            socket->write(RaisedAnswer);
            socket->flush();
        }
        socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, reply);
    reply();
}
