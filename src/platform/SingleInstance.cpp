#include "platform/SingleInstance.h"

#include "storage/RuntimeFolder.h"

#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray RaisedAnswer = QByteArrayLiteral("raised\n");
constexpr std::chrono::milliseconds RetryInterval{50};

// Whether the process at the other end of the connection runs as this user.
bool peerIsThisUser(const QLocalSocket &socket)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0
           && size == sizeof(peer) && peer.uid == ::geteuid();
}

} // namespace

SingleInstance::SingleInstance(const QString &noteFilePath, QObject *parent)
    : QObject(parent)
    , m_folder(std::make_unique<RuntimeFolder>(noteFilePath))
{
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::folderPath() const
{
    return m_folder->isUsable() ? m_folder->folder()->path() : QString();
}

QString SingleInstance::lockPath() const
{
    return m_folder->filePath(RuntimeFolder::InstanceLockSuffix);
}

QString SingleInstance::serverPath() const
{
    return m_folder->filePath(RuntimeFolder::SocketSuffix);
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds wait)
{
    // Nowhere to coordinate: better a second copy than none.
    if (!m_folder->isUsable())
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

// Whatever another user planted under the name is replaced by a lock of our own.
FileLock::Result SingleInstance::lockOwnFile()
{
    return m_lock.acquireOwnFile(m_folder->folder()->handle(), m_folder->name(RuntimeFolder::InstanceLockSuffix),
                                 std::chrono::milliseconds(0));
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
