#include "storage/NoteFile.h"

#include "core/Exceptions.h"
#include "core/TextEncoding.h"
#include "storage/FileLock.h"
#include "storage/TReader.h"
#include "storage/TWriter.h"
#include "storage/WriteBits.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char IncorrectFileType[] = "Incorrect file type";
const char IncorrectFileVersion[] = "Incorrect file version";
const char StreamWriteError[] = "Stream write error";

const char FileInUse[] = "The file is in use by another program";
const char NotARegularFile[] = "Not a regular file";

constexpr mode_t PermissionBits = 07777;

bool isMissing(int error)
{
    // ENOTDIR: a part of the path is a file, so the data file cannot exist either.
    return error == ENOENT || error == ENOTDIR;
}

int openForReading(const QByteArray &path)
{
    int fd;
    do {
        // O_NONBLOCK: a FIFO in the file's place must not hang the open; it is refused below.
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(::strerror(error));
}

template<typename E> [[noreturn]] void fail(E error, const QString &reason)
{
    error.setReason(reason);
    throw error;
}

int syncDescriptor(int fd)
{
    int result;
    do {
        result = ::fdatasync(fd);
    } while (result < 0 && errno == EINTR);
    // EINVAL: the file system has nothing to sync to.
    return (result < 0 && errno != EINVAL) ? -1 : 0;
}
} // namespace

NoteFile::NoteFile(QString path)
    : m_path(std::move(path))
{
}

QString NoteFile::canonicalPath(const QString &path)
{
    const QFileInfo file(path);
    const QString existing = file.canonicalFilePath();
    if (!existing.isEmpty())
        return existing;
    const QString directory = QFileInfo(file.absolutePath()).canonicalFilePath();
    return directory.isEmpty() ? file.absoluteFilePath() : directory + QLatin1Char('/') + file.fileName();
}

QByteArray NoteFile::folderIdentity(const QString &path)
{
    struct stat folder;
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) == 0 && S_ISDIR(folder.st_mode))
        return QByteArray::number(quint64(folder.st_dev)) + ':' + QByteArray::number(quint64(folder.st_ino));
    return canonicalPath(path).toUtf8();
}

// The directory carries the lock, not the data file: every save puts a new inode in place of
// the file, so a lock on the file itself would not be seen by whoever opens it next.
QString NoteFile::lockPath() const
{
    return QFileInfo(m_path).path();
}

NotePages NoteFile::read(QIODevice &device)
{
    TReader reader(&device, StreamBufferSize);
    if (reader.GetString() != QByteArrayView(NoteFileMagic))
        throw Exception(QString::fromLatin1(IncorrectFileType));
    if (reader.GetInteger() != NoteFileVersion)
        throw Exception(QString::fromLatin1(IncorrectFileVersion));
    reader.ExpectListStart();

    NotePages pages;
    while (!reader.AtListEnd()) {
        NotePage page;
        page.storedName = reader.GetString();
        page.storedText = reader.GetString();
        page.name = TextEncoding::decode(page.storedName);
        page.text = TextEncoding::decode(page.storedText);
        pages.append(std::move(page));
    }
    reader.ExpectListEnd();
    return pages;
}

void NoteFile::write(QIODevice &device, const NotePages &pages)
{
    TWriter writer(&device, StreamBufferSize);
    writer.PutString(QByteArrayView(NoteFileMagic));
    writer.PutInteger(NoteFileVersion);
    writer.PutListStart();
    for (const NotePage &page : pages) {
        writer.PutString(nameBytes(page));
        writer.PutString(textBytes(page));
    }
    writer.PutListEnd();
    writer.FlushBuffer();
}

QString NoteFile::keptName(const QString &name)
{
    // UTF-8 takes at most three bytes for each UTF-16 unit.
    if (name.size() * 3 <= MaxNameBytes)
        return name;
    return QString::fromUtf8(TextEncoding::encodePrefix(name, MaxNameBytes));
}

QByteArray NoteFile::nameBytes(const NotePage &page)
{
    if (!page.storedName.isNull())
        return TextEncoding::cutBytes(page.storedName, MaxNameBytes);
    return TextEncoding::encodePrefix(page.name, MaxNameBytes);
}

QByteArray NoteFile::textBytes(const NotePage &page)
{
    return page.storedText.isNull() ? TextEncoding::encode(page.text) : page.storedText;
}

bool NotePage::sameBytes(const QList<NotePage> &a, const QList<NotePage> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (NoteFile::nameBytes(a[i]) != NoteFile::nameBytes(b[i]) || NoteFile::textBytes(a[i]) != NoteFile::textBytes(b[i]))
            return false;
    }
    return true;
}

std::optional<NotePages> NoteFile::load(FileIdentity *identity) const
{
    const QByteArray nativePath = QFile::encodeName(m_path);

    FileLock directoryLock;
    switch (directoryLock.acquire(lockPath())) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Busy:
        throw EFOpenError(m_path);
    case FileLock::Result::Unavailable:
        if (isMissing(directoryLock.error()))
            return std::nullopt;
        // An unreadable directory can still hold a readable file: lock the file itself then.
        break;
    }

    FileLock fileLock;
    if (!directoryLock.isLocked()) {
        switch (fileLock.acquire(m_path)) {
        case FileLock::Result::Locked:
            break;
        case FileLock::Result::Busy:
            throw EFOpenError(m_path);
        case FileLock::Result::Unavailable:
            if (isMissing(fileLock.error()))
                return std::nullopt;
            throw EFOpenError(m_path);
        }
    }

    const int fd = openForReading(nativePath);
    if (fd < 0) {
        if (isMissing(errno))
            return std::nullopt;
        throw EFOpenError(m_path);
    }
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw EFOpenError(m_path);
    }
    if (identity)
        *identity = FileIdentity::of(status);
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EFOpenError(m_path);
    }

    return read(file);
}

FileIdentity NoteFile::save(const NotePages &pages) const
{
    const QByteArray nativePath = QFile::encodeName(m_path);

    FileLock directoryLock;
    switch (directoryLock.acquire(lockPath())) {
    case FileLock::Result::Locked:
        break;
    case FileLock::Result::Busy:
        fail(EFCreateError(m_path), QString::fromLatin1(FileInUse));
    case FileLock::Result::Unavailable:
        fail(EFCreateError(m_path), systemReason(directoryLock.error()));
    }

    struct stat existing;
    const bool exists = ::stat(nativePath.constData(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            fail(EFCreateError(m_path), systemReason(EISDIR));
        if (!S_ISREG(existing.st_mode))
            fail(EFCreateError(m_path), QString::fromLatin1(NotARegularFile));
        if (!hasWriteBit(existing.st_mode))
            fail(EFCreateError(m_path), systemReason(EACCES));
    } else if (errno != ENOENT) {
        fail(EFCreateError(m_path), systemReason(errno));
    }

    QSaveFile file(m_path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        fail(EFCreateError(m_path), file.errorString());

    if (exists) {
        // Keep the owner where allowed: refused for other users' files unless we are root,
        // and then the new file is simply ours.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int owned = ::fchown(file.handle(), existing.st_uid, existing.st_gid);
        }
        // QSaveFile copies only the rwx bits it can express; keep the whole mode (after fchown,
        // which may clear set-id bits).
        if (::fchmod(file.handle(), existing.st_mode & PermissionBits) != 0)
            fail(EFCreateError(m_path), systemReason(errno));
    }

    // The failed write() leaves its errno; Qt's own text for it is not always set.
    errno = 0;
    try {
        write(file, pages);
    } catch (EWriteError &error) {
        error.setReason(errno != 0 ? systemReason(errno) : file.errorString());
        throw;
    }
    if (!file.flush())
        fail(EWriteError(QString::fromLatin1(StreamWriteError)), errno != 0 ? systemReason(errno) : file.errorString());

    // QSaveFile syncs before the rename too, but ignores a failure there.
    if (syncDescriptor(file.handle()) != 0)
        fail(EWriteError(QString::fromLatin1(StreamWriteError)), systemReason(errno));
    // The renamed file keeps its inode, size and modification time.
    struct stat written;
    if (::fstat(file.handle(), &written) != 0)
        fail(EWriteError(QString::fromLatin1(StreamWriteError)), systemReason(errno));
    if (!file.commit())
        fail(EFCreateError(m_path), file.errorString());

    // Makes the rename itself durable; the new file is in place whatever this answers.
    ::fsync(directoryLock.handle());
    return FileIdentity::of(written);
}
