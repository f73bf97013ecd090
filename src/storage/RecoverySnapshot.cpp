#include "storage/RecoverySnapshot.h"

#include "core/Exceptions.h"
#include "storage/PrivateFolder.h"
#include "storage/NoteFile.h"
#include "storage/RuntimeFolder.h"
#include "storage/SystemFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
const char StateFolder[] = "pinnote";
const char MovedAsideTime[] = "yyyyMMdd-HHmmss";
const char SnapshotSuffix[] = ".set";
constexpr mode_t OwnerReadWrite = S_IRUSR | S_IWUSR;

// What the user reads: the reason when there is one; the file is always the snapshot.
QString describe(const Exception &error)
{
    return error.reason().isEmpty() ? error.message() : error.reason();
}

[[noreturn]] void failCreate(const QString &path, const QString &reason)
{
    EFCreateError error(path);
    error.setReason(reason);
    throw error;
}

// A file of the snapshot's kind: plain, the user's own, and linked from nowhere else
// (a hard link planted in a folder that was once open would otherwise pass).
bool isOwnPlainFile(const struct stat &status)
{
    return S_ISREG(status.st_mode) && status.st_uid == ::geteuid() && status.st_nlink == 1;
}

// Into a new file beside the snapshot, renamed over it when whole: whatever stood at the
// name (a symlink too) is replaced, never written through, and a reader or a crash finds
// the old snapshot or the new one.
void writeInto(const PrivateFolder &folder, const QString &name, const NotePages &pages)
{
    const QString path = folder.filePath(name);
    if (!folder.isUsable())
        failCreate(path, folder.reason());
    const QByteArray target = QFile::encodeName(name);
    const QByteArray temporary = QFile::encodeName(QStringLiteral(".%1.%2").arg(name).arg(
        QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    FileDescriptor fd(::openat(folder.handle(), temporary.constData(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, OwnerReadWrite));
    if (fd.get() < 0)
        failCreate(path, systemReason(errno));
    const auto discard = [&] { ::unlinkat(folder.handle(), temporary.constData(), 0); };
    try {
        QFile file;
        if (!file.open(fd.release(), QIODevice::WriteOnly, QFileDevice::AutoCloseHandle))
            failCreate(path, file.errorString());
        errno = 0;
        try {
            NoteFile::write(file, pages);
        } catch (EWriteError &error) {
            error.setReason(errno != 0 ? systemReason(errno) : file.errorString());
            throw;
        }
        errno = 0;
        if (!file.flush() || ::fdatasync(file.handle()) != 0) {
            EWriteError error(QStringLiteral("Stream write error"));
            error.setReason(errno != 0 ? systemReason(errno) : file.errorString());
            throw error;
        }
        file.close();
        if (::renameat(folder.handle(), temporary.constData(), folder.handle(), target.constData()) != 0)
            failCreate(path, systemReason(errno));
    } catch (...) {
        discard();
        throw;
    }
    ::fsync(folder.handle());
}
} // namespace

RecoverySnapshot::RecoverySnapshot(const QString &noteFilePath, Source source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    // Named as the single-instance guard names the folder, so that a start by another path
    // (a bind mount) finds what a crashed one left.
    m_name = RuntimeFolder::key(noteFilePath) + QLatin1String(SnapshotSuffix);
    // Earlier versions named it after the canonical path; find() takes such a one over.
    m_earlierName = QString::fromLatin1(QCryptographicHash::hash(NoteFile::canonicalPath(noteFilePath).toUtf8(),
                                                                 QCryptographicHash::Sha256)
                                            .toHex()
                                            .left(32))
                    + QLatin1String(SnapshotSuffix);
    m_path = directory() + QLatin1Char('/') + m_name;

    m_pool.setMaxThreadCount(1);
    for (QTimer *timer : {&m_quiet, &m_longest}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &RecoverySnapshot::writeNow);
    }
    setDelays(QuietDelay, LongestDelay);
}

RecoverySnapshot::~RecoverySnapshot()
{
    m_pool.waitForDone();
    if (m_removeWhenWritten)
        remove();
}

QString RecoverySnapshot::directory()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative path is to be ignored.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + QString::fromLatin1(StateFolder);
}

void RecoverySnapshot::setDelays(std::chrono::milliseconds quiet, std::chrono::milliseconds longest)
{
    m_quiet.setInterval(quiet);
    m_longest.setInterval(longest);
}

void RecoverySnapshot::changed()
{
    m_due = true;
    m_quiet.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void RecoverySnapshot::saved()
{
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writeAgain = false;
    // A write still going on would put an out-of-date snapshot back.
    if (m_writing)
        m_removeWhenWritten = true;
    remove();
}

void RecoverySnapshot::writeNow()
{
    if (!m_due)
        return;
    if (m_writing) {
        m_writeAgain = true;
        return;
    }
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writing = true;
    m_pool.start([this, pages = m_source(), name = m_name] {
        const QString error = writeFile(name, pages);
        QMetaObject::invokeMethod(this, [this, error] { finished(error); }, Qt::QueuedConnection);
    });
}

void RecoverySnapshot::flush()
{
    m_pool.waitForDone();
    if (!m_due && !m_writeAgain)
        return;
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    m_writeAgain = false;
    writeFile(m_name, m_source());
}

void RecoverySnapshot::finished(const QString &error)
{
    m_writing = false;
    m_lastError = error;
    if (m_removeWhenWritten) {
        m_removeWhenWritten = false;
        remove();
    }
    // A failed write is tried again with the next change, not in a loop.
    if (!error.isEmpty())
        m_due = true;
    if (m_writeAgain) {
        m_writeAgain = false;
        m_due = true;
        writeNow();
    }
    emit written(error.isEmpty());
}

QString RecoverySnapshot::writeFile(const QString &name, const NotePages &pages)
{
    try {
        // Checked at every write: the folder may have been changed since the last one.
        const PrivateFolder folder(directory(), PrivateFolder::Make::Missing);
        writeInto(folder, name, pages);
        return {};
    } catch (const Exception &error) {
        return describe(error);
    } catch (const std::exception &error) {
        return QString::fromLocal8Bit(error.what());
    }
}

std::optional<RecoverySnapshot::Found> RecoverySnapshot::find() const
{
    const PrivateFolder folder(directory(), PrivateFolder::Make::No);
    if (!folder.isUsable())
        return std::nullopt;
    const QByteArray name = QFile::encodeName(m_name);
    // A snapshot under the earlier name becomes this one, so that moving it aside or
    // removing it works as for any other. Never over one of the new name.
    struct stat status;
    if (::fstatat(folder.handle(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
        ::renameat2(folder.handle(), QFile::encodeName(m_earlierName).constData(), folder.handle(), name.constData(),
                    RENAME_NOREPLACE);
    // O_NONBLOCK: a FIFO in its place must not hang the start; it is passed over below.
    FileDescriptor fd(::openat(folder.handle(), name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0 || !isOwnPlainFile(status))
        return std::nullopt;
    Found found;
    found.time = QDateTime::fromMSecsSinceEpoch(qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000);
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return std::nullopt;
    try {
        found.pages = NoteFile::read(file);
        found.readable = true;
    } catch (const std::exception &) {
        found.readable = false;
    }
    return found;
}

bool RecoverySnapshot::moveAside(const QDateTime &time) const
{
    const PrivateFolder folder(directory(), PrivateFolder::Make::No);
    if (!folder.isUsable())
        return false;
    const QString stem = m_name.chopped(qsizetype(std::strlen(SnapshotSuffix))) + QLatin1Char('-')
                         + time.toString(QString::fromLatin1(MovedAsideTime));
    const QByteArray source = QFile::encodeName(m_name);
    QString target = stem + QLatin1String(SnapshotSuffix);
    for (int n = 2;; ++n) {
        // Never over an earlier one moved aside in the same second.
        if (::renameat2(folder.handle(), source.constData(), folder.handle(), QFile::encodeName(target).constData(),
                        RENAME_NOREPLACE)
            == 0)
            return true;
        if (errno != EEXIST)
            return false;
        target = stem + QStringLiteral("-%1").arg(n) + QLatin1String(SnapshotSuffix);
    }
}

void RecoverySnapshot::remove() const
{
    const PrivateFolder folder(directory(), PrivateFolder::Make::No);
    if (folder.isUsable())
        ::unlinkat(folder.handle(), QFile::encodeName(m_name).constData(), 0);
}
