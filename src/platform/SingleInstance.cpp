#include "platform/SingleInstance.h"

#include "storage/NoteFile.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

const QByteArray RaiseRequest = QByteArrayLiteral("raise\n");
const QByteArray RaisedAnswer = QByteArrayLiteral("raised\n");
constexpr std::chrono::milliseconds RetryInterval{50};

QString runtimeDirectory()
{
    // Asked directly: QStandardPaths warns on every start when the variable is not set.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime : QDir::tempPath();
}

} // namespace

SingleInstance::SingleInstance(const QString &noteFilePath, QObject *parent)
    : QObject(parent)
{
    // The user id keeps two users of one shared folder apart where the runtime folder is /tmp.
    const QByteArray key = QCryptographicHash::hash(NoteFile::canonicalPath(noteFilePath).toUtf8(),
                                                    QCryptographicHash::Sha256)
                               .toHex()
                               .left(32);
    const QString name = QStringLiteral("/pinnote-%1-%2").arg(::getuid()).arg(QString::fromLatin1(key));
    m_base = runtimeDirectory() + name;
    // A socket path must fit in sockaddr_un; a runtime folder too deep for that would
    // leave later copies nothing to ask, so /tmp stands in, as when there is none.
    if (QFile::encodeName(serverPath()).size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        m_base = QStringLiteral("/tmp") + name;
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::lockPath() const
{
    return m_base + QStringLiteral(".lock");
}

QString SingleInstance::serverPath() const
{
    return m_base + QStringLiteral(".socket");
}

SingleInstance::Claim SingleInstance::claim(std::chrono::milliseconds wait)
{
    const QByteArray native = QFile::encodeName(lockPath());
    const int fd = ::open(native.constData(), O_CREAT | O_RDONLY | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);

    switch (m_lock.acquire(lockPath(), std::chrono::milliseconds(0))) {
    case FileLock::Result::Locked:
        listen();
        return Claim::First;
    case FileLock::Result::Unavailable:
        // Nowhere to coordinate: better a second copy than none.
        return Claim::First;
    case FileLock::Result::Busy:
        break;
    }
    return askRunningCopy(wait);
}

SingleInstance::Claim SingleInstance::askRunningCopy(std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(serverPath());
        if (socket.waitForConnected(int(qMax<qint64>(deadline.remainingTime(), 0)))) {
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
        if (m_lock.acquire(lockPath(), std::chrono::milliseconds(0)) == FileLock::Result::Locked) {
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
