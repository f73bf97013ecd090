#include "storage/RuntimeFolder.h"

#include "storage/NoteFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QList>

#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr qsizetype KeyDigits = 32;

struct Candidate
{
    QString path;
    PrivateFolder::Make make;
    PrivateFolder::Access access;
};

// The runtime folder is asked for directly: QStandardPaths warns on every start when the
// variable is not set. Without one, a folder of our own in the temporary folder, as Qt
// makes for itself; should another user hold that name, one in the cache folder, which
// nobody else can write to.
QList<Candidate> candidates()
{
    QList<Candidate> list;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime))
        list.append({runtime, PrivateFolder::Make::No, PrivateFolder::Access::Keep});
    list.append({QDir::tempPath() + QStringLiteral("/pinnote-%1").arg(::geteuid()), PrivateFolder::Make::Missing,
                 PrivateFolder::Access::Close});
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::homePath() + QStringLiteral("/.cache");
    list.append({cache + QStringLiteral("/pinnote"), PrivateFolder::Make::Missing, PrivateFolder::Access::Close});
    return list;
}

// The socket is the longest name kept there, and its path must fit in sockaddr_un, or
// later copies would have nothing to ask.
bool fitsSocketAddress(const QString &path)
{
    return QFile::encodeName(path).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}

} // namespace

RuntimeFolder::RuntimeFolder(const QString &noteFilePath)
    : m_stem(QStringLiteral("pinnote-") + key(noteFilePath))
{
    for (const Candidate &candidate : candidates()) {
        auto folder = std::make_unique<PrivateFolder>(candidate.path, candidate.make, candidate.access);
        if (folder->isUsable() && fitsSocketAddress(folder->filePath(name(SocketSuffix)))) {
            m_folder = std::move(folder);
            break;
        }
    }
}

QString RuntimeFolder::key(const QString &noteFilePath)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(NoteFile::folderIdentity(noteFilePath), QCryptographicHash::Sha256)
            .toHex()
            .left(KeyDigits));
}

QString RuntimeFolder::filePath(const char *suffix) const
{
    return m_folder ? m_folder->filePath(name(suffix)) : QString();
}
