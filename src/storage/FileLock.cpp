#include "storage/FileLock.h"

#include <QDeadlineTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr std::chrono::milliseconds PollInterval{25};
constexpr mode_t OwnerReadWrite = S_IRUSR | S_IWUSR;

// A lock of ours is a plain file of the user's own that no other name shares: a hard link
// planted while the folder was open would let whoever holds the other name hold the lock.
bool isOwnLockFile(const struct stat &status)
{
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid() && status.st_nlink == 1;
}

int openLockFile(int folder, const QByteArray &name)
{
    int fd;
    do {
        // O_NONBLOCK: a FIFO planted under the name must not hang the open.
        fd = ::openat(folder, name.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                      OwnerReadWrite);
    } while (fd < 0 && errno == EINTR);
    return fd;
}
} // namespace

FileLock::~FileLock()
{
    release();
}

FileLock::Result FileLock::acquire(const QString &path, std::chrono::milliseconds wait)
{
    release();
    m_error = 0;
    const QByteArray native = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return Result::Unavailable;
    }
    return lock(fd, wait);
}

FileLock::Result FileLock::acquireOwnFile(int folder, const QString &name, std::chrono::milliseconds wait)
{
    release();
    m_error = 0;
    const QByteArray native = QFile::encodeName(name);
    for (int attempt = 0;; ++attempt) {
        const int fd = openLockFile(folder, native);
        // ELOOP: a symlink stands there.
        if (fd < 0 && errno != ELOOP) {
            m_error = errno;
            return Result::Unavailable;
        }
        struct stat status{};
        if (fd >= 0) {
            const bool checked = ::fstat(fd, &status) == 0;
            if (checked && isOwnLockFile(status))
                return lock(fd, wait);
            m_error = checked ? EPERM : errno;
            ::close(fd);
            if (!checked)
                return Result::Unavailable;
        } else {
            m_error = ELOOP;
        }
        // What is no lock of ours goes, once, and a file of our own takes its place; only
        // what was looked at, should a copy of ours have just done the same.
        struct stat there;
        if (attempt > 0 || ::fstatat(folder, native.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0
            || (fd >= 0 && (there.st_dev != status.st_dev || there.st_ino != status.st_ino))
            || ::unlinkat(folder, native.constData(), 0) != 0)
            return Result::Unavailable;
    }
}

FileLock::Result FileLock::lock(int fd, std::chrono::milliseconds wait)
{
    const QDeadlineTimer deadline(wait);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_fd = fd;
            return Result::Locked;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = errno;
            ::close(fd);
            return Result::Unavailable;
        }
        if (deadline.hasExpired()) {
            ::close(fd);
            return Result::Busy;
        }
        std::this_thread::sleep_for(qMin(PollInterval, std::chrono::milliseconds(deadline.remainingTime())));
    }
}

void FileLock::release()
{
    if (m_fd < 0)
        return;
    // Closing the only descriptor of this open file drops the lock.
    ::close(m_fd);
    m_fd = -1;
}
