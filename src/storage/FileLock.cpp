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
}

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
    int fd;
    do {
        // O_NONBLOCK: a FIFO planted under the name must not hang the open.
        fd = ::openat(folder, native.constData(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                      OwnerReadWrite);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = errno;
        return Result::Unavailable;
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid()) {
        m_error = EPERM;
        ::close(fd);
        return Result::Unavailable;
    }
    return lock(fd, wait);
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
