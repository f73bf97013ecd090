#include "storage/ConflictCopies.h"

#include "core/Exceptions.h"
#include "storage/NoteFile.h"
#include "storage/SystemFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char NoteFileSuffix[] = ".set";
constexpr char NumberedName[] = "%1 (%2)%3";
constexpr int FirstNumber = 2;
// A folder holding this many copies of one name has something else wrong with it.
constexpr int MaxNumber = 10000;
constexpr char NoFreeName[] = "No free name in the folder";
constexpr char CopyIncomplete[] = "The copy is shorter than the original";
constexpr char SymbolicLink[] = "a symbolic link";
constexpr char NotRegularFile[] = "not a regular file";
constexpr char OtherUsersFile[] = "another user's file";
constexpr char OtherNames[] = "a file with other names too";
constexpr char TooLarge[] = "larger than %1 MB";
constexpr char Replaced[] = "replaced since it was read";

// A copy is this pad as another machine changed it since the two last agreed: typing there
// does not make it many times larger, and nobody types this much. Beyond it the file is
// something else, and merging it would hold it in memory and keep it in the pad for good.
constexpr qint64 CopyFloorBytes = qint64(64) << 20;
constexpr qint64 CopyGrowth = 4;
constexpr qint64 Megabyte = qint64(1) << 20;

using Engine = ConflictCopy::Engine;

QString noteFileStem()
{
    const QString name = QString::fromLatin1(NoteFile::FileName);
    return QRegularExpression::escape(name.left(name.size() - qsizetype(std::strlen(NoteFileSuffix))));
}

const QList<std::pair<QRegularExpression, Engine>> &patterns()
{
    static const QList<std::pair<QRegularExpression, Engine>> patterns = [] {
        const QString stem = noteFileStem();
        const QString suffix = QRegularExpression::escape(QString::fromLatin1(NoteFileSuffix));
        const auto pattern = [&](const char *middle) {
            return QRegularExpression(QStringLiteral("\\A") + stem + QString::fromLatin1(middle) + suffix
                                      + QStringLiteral("\\z"));
        };
        return QList<std::pair<QRegularExpression, Engine>>{
            {pattern(R"(\.sync-conflict-\d{8}-\d{6}-[A-Z0-9]{7})"), Engine::Syncthing},
            {pattern(R"( \(conflicted copy \d{4}-\d{2}-\d{2} \d{6}\))"), Engine::Nextcloud},
            {pattern(R"( \([^()/]+['\x{2019}]s conflicted copy \d{4}-\d{2}-\d{2}(?: \(\d+\))?\))"), Engine::Dropbox},
        };
    }();
    return patterns;
}

template<typename E> [[noreturn]] void fail(E error, const QString &reason)
{
    error.setReason(reason);
    throw error;
}

QString candidate(const QString &folder, const QString &fileName, int number)
{
    if (number < FirstNumber)
        return QDir(folder).filePath(fileName);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype stemEnd = dot > 0 ? dot : fileName.size();
    return QDir(folder).filePath(
        QString::fromLatin1(NumberedName).arg(fileName.left(stemEnd)).arg(number).arg(fileName.mid(stemEnd)));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

[[noreturn]] void refuse(const QString &path, const char *why)
{
    fail(EFOpenError(path), QString::fromLatin1(why));
}

// All of the file, read through the descriptor, but never more than maxBytes: a file of the
// user's own may still be open to others for writing, and grow after it was looked at.
QByteArray readAtMost(int fd, const QString &path, qint64 expected, qint64 maxBytes)
{
    const qsizetype cap = qsizetype(maxBytes) + 1;
    QByteArray bytes(qsizetype(std::min(expected + 1, qint64(cap))), Qt::Uninitialized);
    qsizetype have = 0;
    for (;;) {
        if (have == bytes.size()) {
            if (have == cap)
                fail(EFOpenError(path), QString::fromLatin1(TooLarge).arg(maxBytes / Megabyte));
            bytes.resize(std::min(cap, have * 2));
        }
        const ssize_t got = ::read(fd, bytes.data() + have, size_t(bytes.size() - have));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(EFOpenError(path), systemReason(errno));
        if (got == 0)
            break;
        have += got;
    }
    bytes.truncate(have);
    return bytes;
}

// Across file systems: the new file is made exclusively, written, synced and given the old
// time before the copy is removed. False when the name is taken.
bool copyThenRemove(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        fail(EFOpenError(from), source.errorString());
    const QByteArray bytes = source.readAll();
    struct stat status {};
    const bool timed = ::fstat(source.handle(), &status) == 0;
    if (source.error() != QFileDevice::NoError)
        fail(EFOpenError(from), source.errorString());
    source.close();

    const QByteArray target = QFile::encodeName(to);
    int fd;
    do {
        fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EEXIST)
        return false;
    if (fd < 0)
        fail(EFCreateError(to), systemReason(errno));
    const timespec times[2] = {status.st_atim, status.st_mtim};
    const bool written = writeAll(fd, bytes) && ::fdatasync(fd) == 0 && (!timed || ::futimens(fd, times) == 0);
    const int error = errno;
    if (::close(fd) != 0 || !written) {
        // Only the half-written new file goes; the copy itself is still where it was.
        ::unlink(target.constData());
        fail(EWriteError(QString::fromLatin1(CopyIncomplete)), systemReason(written ? errno : error));
    }
    if (::unlink(QFile::encodeName(from).constData()) != 0)
        fail(EFCreateError(from), systemReason(errno));
    return true;
}

// True when moved, false when the name is taken.
bool moveTo(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        // No replace-free rename on this file system: a hard link refuses a taken name too.
        if (::link(source.constData(), target.constData()) == 0) {
            if (::unlink(source.constData()) != 0)
                fail(EFCreateError(from), systemReason(errno));
            return true;
        }
        error = errno;
        if (error == EPERM)
            error = EXDEV; // no hard links here: copy instead
    }
    if (error == EEXIST)
        return false;
    if (error == EXDEV)
        return copyThenRemove(from, to);
    if (error == ENOENT && !QFileInfo::exists(from))
        fail(EFOpenError(from), systemReason(error));
    fail(EFCreateError(to), systemReason(error));
}

} // namespace

std::optional<ConflictCopy::Engine> ConflictCopies::recognise(const QString &fileName)
{
    for (const auto &[pattern, engine] : patterns()) {
        if (pattern.match(fileName).hasMatch())
            return engine;
    }
    return std::nullopt;
}

QList<ConflictCopy> ConflictCopies::list(const QString &folder)
{
    QList<ConflictCopy> copies;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo &entry : entries) {
        if (const auto engine = recognise(entry.fileName()))
            copies.append({entry.filePath(), *engine, entry.lastModified()});
    }
    std::stable_sort(copies.begin(), copies.end(),
                     [](const ConflictCopy &a, const ConflictCopy &b) { return a.modified < b.modified; });
    return copies;
}

std::optional<FileIdentity> ConflictCopies::identity(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return FileIdentity::of(status);
}

qint64 ConflictCopies::sizeLimit(qint64 noteFileBytes)
{
    return std::max(CopyFloorBytes, noteFileBytes * CopyGrowth);
}

NotePages ConflictCopies::load(const QString &path, qint64 maxBytes, FileIdentity *identity)
{
    int opened;
    do {
        // O_NONBLOCK: a FIFO under the copy's name must not hang the open.
        opened = ::open(QFile::encodeName(path).constData(),
                        O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    } while (opened < 0 && errno == EINTR);
    if (opened < 0 && errno == ELOOP)
        refuse(path, SymbolicLink);
    if (opened < 0)
        fail(EFOpenError(path), systemReason(errno));
    const FileDescriptor fd(opened);

    struct stat status;
    if (::fstat(fd.get(), &status) != 0)
        fail(EFOpenError(path), systemReason(errno));
    if (!S_ISREG(status.st_mode))
        refuse(path, NotRegularFile);
    if (status.st_uid != ::geteuid())
        refuse(path, OtherUsersFile);
    // Another name may be anywhere on the file system, a file of the user's that no copy holds.
    if (status.st_nlink != 1)
        refuse(path, OtherNames);
    if (status.st_size > maxBytes)
        fail(EFOpenError(path), QString::fromLatin1(TooLarge).arg(maxBytes / Megabyte));
    if (identity)
        *identity = FileIdentity::of(status);

    QByteArray bytes = readAtMost(fd.get(), path, status.st_size, maxBytes);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return NoteFile::read(buffer);
}

QString ConflictCopies::moveInto(const QString &path, const QString &folder, const std::optional<FileIdentity> &expected)
{
    if (expected) {
        const std::optional<FileIdentity> now = identity(path);
        if (!now || now->device != expected->device || now->inode != expected->inode)
            refuse(path, Replaced);
    }
    if (!QDir().mkpath(folder))
        fail(EFCreateError(folder), systemReason(errno));
    const QString fileName = QFileInfo(path).fileName();
    for (int number = 1; number <= MaxNumber; ++number) {
        const QString target = candidate(folder, fileName, number);
        if (moveTo(path, target))
            return target;
    }
    fail(EFCreateError(candidate(folder, fileName, MaxNumber)), QString::fromLatin1(NoFreeName));
}
