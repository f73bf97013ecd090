#include "storage/PrivateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr mode_t OwnerOnly = S_IRWXU;
constexpr mode_t GroupAndOthers = S_IRWXG | S_IRWXO;

// The reason first: a narrow status panel may show no more.
const char NotAFolderText[] = "Not a folder: %1";
const char OtherOwnerText[] = "Another user's folder: %1";
const char OpenToOthersText[] = "Open to other users: %1";
const char FailedText[] = "%2: %1";
} // namespace

PrivateFolder::PrivateFolder(const QString &path, Make make, Access access)
    : m_path(QDir::cleanPath(path))
{
    open(make, access);
}

PrivateFolder::~PrivateFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void PrivateFolder::open(Make make, Access access)
{
    const QByteArray native = QFile::encodeName(m_path);
    // mkdir never follows a symlink at its last step, and the mode only loses bits to the umask.
    if (make == Make::Missing && ::mkdir(native.constData(), OwnerOnly) != 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(m_path).path());
        ::mkdir(native.constData(), OwnerOnly);
    }
    const int fd = ::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        m_error = errno;
        // ELOOP: a symlink stands there; ENOTDIR: a file does.
        m_problem = m_error == ENOENT ? Problem::Missing
                    : (m_error == ELOOP || m_error == ENOTDIR) ? Problem::NotAFolder
                                                                : Problem::Failed;
        return;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0) {
        m_error = errno;
        m_problem = Problem::Failed;
        ::close(fd);
        return;
    }
    if (status.st_uid != ::geteuid()) {
        m_problem = Problem::OtherOwner;
        ::close(fd);
        return;
    }
    // A handed folder must be exactly 0700: a sticky or set-id bit, or one the user cannot
    // use fully, says it was made for something else.
    if (access == Access::Keep && (status.st_mode & 07777) != OwnerOnly) {
        m_problem = Problem::OpenToOthers;
        ::close(fd);
        return;
    }
    if ((status.st_mode & GroupAndOthers) != 0 && ::fchmod(fd, status.st_mode & ~GroupAndOthers & 07777) != 0) {
        m_error = errno;
        m_problem = Problem::OpenToOthers;
        ::close(fd);
        return;
    }
    m_fd = fd;
}

QString PrivateFolder::reason() const
{
    const QString where = QDir::toNativeSeparators(m_path);
    switch (m_problem) {
    case Problem::None:
        return {};
    case Problem::NotAFolder:
        return QString::fromLatin1(NotAFolderText).arg(where);
    case Problem::OtherOwner:
        return QString::fromLatin1(OtherOwnerText).arg(where);
    case Problem::OpenToOthers:
        return QString::fromLatin1(OpenToOthersText).arg(where);
    case Problem::Missing:
    case Problem::Failed:
        break;
    }
    return QString::fromLatin1(FailedText).arg(where, QString::fromLocal8Bit(::strerror(m_error)));
}
