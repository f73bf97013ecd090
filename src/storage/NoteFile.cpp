#include "storage/NoteFile.h"

#include "core/Exceptions.h"
#include "core/TextEncoding.h"
#include "storage/FileLock.h"
#include "storage/RuntimeFolder.h"
#include "storage/SystemFile.h"
#include "storage/TReader.h"
#include "storage/TWriter.h"
#include "storage/WriteBits.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <climits>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
const char IncorrectFileType[] = "Incorrect file type";
const char IncorrectFileVersion[] = "Incorrect file version";
const char StreamWriteError[] = "Stream write error";

const char FileInUse[] = "The file is in use by another program";
const char NotARegularFile[] = "Not a regular file";
const char ForeignSymlink[] = "A symlink of another user's, in a folder that others can write to, is not followed";

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
        // The links on the path are resolved and checked already.
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    } while (fd < 0 && errno == EINTR);
    return fd;
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

// A link in a folder that others can write to may have been put there by them, to make this
// program read or write where they choose: it is followed only when the user or the folder's
// owner owns it, as the kernel's protected-symlinks rule has it (which may be switched off).
bool mayFollow(const struct stat &link, const QByteArray &folder)
{
    const uid_t user = ::geteuid();
    if (link.st_uid == user)
        return true;
    struct stat status;
    if (::stat(folder.isEmpty() ? "/" : folder.constData(), &status) != 0)
        return false;
    const bool othersWrite = status.st_uid != user || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !othersWrite || link.st_uid == status.st_uid;
}

// The path with every symlink on it resolved, each one checked by mayFollow(); nullopt when
// one may not be followed. A part that is missing ends the resolving: the rest is taken as
// it stands.
std::optional<QByteArray> followedPath(const QByteArray &path)
{
    // The kernel's own limit; beyond it the path is left for the open to refuse.
    constexpr int MaxLinks = 40;
    QList<QByteArray> pending = path.split('/');
    QByteArray done; // empty: the root
    int links = 0;
    while (!pending.isEmpty()) {
        const QByteArray part = pending.takeFirst();
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            // done holds no link, so its parent is the real one.
            done.truncate(std::max<qsizetype>(0, done.lastIndexOf('/')));
            continue;
        }
        const QByteArray next = done + '/' + part;
        struct stat status;
        if (::lstat(next.constData(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            done = next;
            continue;
        }
        if (!mayFollow(status, done))
            return std::nullopt;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(next.constData(), target.data(), size_t(target.size()));
        if (++links > MaxLinks || length < 0)
            return path;
        target.truncate(length);
        if (target.startsWith('/'))
            done.clear();
        pending = target.split('/') + pending;
    }
    return done.isEmpty() ? QByteArray("/") : done;
}

int renameWith(const QByteArray &from, const QByteArray &to, unsigned flags)
{
    if (flags == 0)
        return ::rename(from.constData(), to.constData());
    return int(::syscall(SYS_renameat2, AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), flags));
}

// A new file beside the path, made as open(2) makes a file: mode 0666 less the umask.
std::pair<FileDescriptor, QByteArray> createBeside(const QByteArray &path)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = path + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        int fd;
        do {
            fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd >= 0)
            return {FileDescriptor(fd), name};
        if (errno != EEXIST)
            break;
    }
    return {};
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

// Not on the file, which every save replaces with a new inode, nor on its folder, which any
// user who can read it could lock: on a file of our own in the private runtime folder, named
// after the note folder's identity as the single-instance lock is.
FileLock::Result NoteFile::lock(FileLock &lock, std::chrono::milliseconds wait) const
{
    const RuntimeFolder folder(m_path);
    if (!folder.isUsable())
        return FileLock::Result::Unavailable;
    return lock.acquireOwnFile(folder.folder()->handle(), folder.name(RuntimeFolder::NotesLockSuffix), wait);
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
    // Without a private folder there is no copy of ours to keep apart from: better a
    // load than none.
    FileLock notesLock;
    if (lock(notesLock) == FileLock::Result::Busy)
        throw EFOpenError(m_path);

    // A link that may not be followed is not read through either: as good as no file, and
    // the save says why.
    const std::optional<QByteArray> followed = followedPath(QFile::encodeName(QFileInfo(m_path).absoluteFilePath()));
    if (!followed)
        return std::nullopt;
    const int fd = openForReading(*followed);
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
    m_lastMode = status.st_mode & PermissionBits;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw EFOpenError(m_path);
    }

    return read(file);
}

FileIdentity NoteFile::save(const NotePages &pages) const
{
    return put(pages, nullptr, nullptr);
}

NoteFile::Saved NoteFile::save(const NotePages &pages, const std::optional<FileIdentity> &expected) const
{
    Saved saved;
    saved.identity = put(pages, &expected, &saved.displaced);
    return saved;
}

FileIdentity NoteFile::put(const NotePages &pages, const std::optional<FileIdentity> *expected, QString *displaced) const
{
    // As in load(): without a private folder, better a save than none.
    FileLock notesLock;
    if (lock(notesLock) == FileLock::Result::Busy)
        fail(EFCreateError(m_path), QString::fromLatin1(FileInUse));

    const std::optional<QByteArray> followed = followedPath(QFile::encodeName(QFileInfo(m_path).absoluteFilePath()));
    if (!followed)
        fail(EFCreateError(m_path), QString::fromLatin1(ForeignSymlink));
    const QByteArray &target = *followed;

    struct stat existing;
    const bool exists = ::lstat(target.constData(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            fail(EFCreateError(m_path), systemReason(EISDIR));
        if (!S_ISREG(existing.st_mode))
            fail(EFCreateError(m_path), QString::fromLatin1(NotARegularFile));
        if (!hasWriteBit(existing.st_mode))
            fail(EFCreateError(m_path), systemReason(EACCES));
        m_lastMode = existing.st_mode & PermissionBits;
    } else if (errno != ENOENT) {
        fail(EFCreateError(m_path), systemReason(errno));
    }

    auto [fd, temporary] = createBeside(target);
    if (!fd.isValid())
        fail(EFCreateError(m_path), systemReason(errno));
    bool placed = false;
    const auto removeTemporary = qScopeGuard([&placed, name = temporary] {
        if (!placed)
            ::unlink(name.constData());
    });

    if (exists) {
        // Keep the owner where allowed: refused for other users' files unless we are root,
        // and then the new file is simply ours.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
            [[maybe_unused]] const int owned = ::fchown(fd.get(), existing.st_uid, existing.st_gid);
        }
    }
    // The whole mode (after fchown, which may clear set-id bits); a file written anew after
    // the old one went takes the mode it had, so a private pad stays private.
    if (m_lastMode && ::fchmod(fd.get(), mode_t(*m_lastMode)) != 0)
        fail(EFCreateError(m_path), systemReason(errno));

    QFile file;
    if (!file.open(fd.get(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        fail(EFCreateError(m_path), file.errorString());
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
    if (syncDescriptor(fd.get()) != 0)
        fail(EWriteError(QString::fromLatin1(StreamWriteError)), systemReason(errno));
    struct stat written;
    if (::fstat(fd.get(), &written) != 0)
        fail(EWriteError(QString::fromLatin1(StreamWriteError)), systemReason(errno));

    if (beforePuttingInPlace)
        beforePuttingInPlace(QFile::decodeName(target));
    // Swapped with whatever stands there, so that what comes out can be looked at: no check
    // made before this moment could see a file renamed into place just now. Put there when
    // nothing stands there; renamed over it where the file system swaps nothing.
    unsigned how = exists ? RENAME_EXCHANGE : RENAME_NOREPLACE;
    for (int attempt = 0; renameWith(temporary, target, how) != 0; ++attempt) {
        const int error = errno;
        constexpr int MaxAttempts = 8; // someone making and removing the file all along
        if (how == RENAME_EXCHANGE && error == ENOENT && attempt < MaxAttempts)
            how = RENAME_NOREPLACE;
        else if (how == RENAME_NOREPLACE && error == EEXIST && attempt < MaxAttempts)
            how = RENAME_EXCHANGE;
        else if (how != 0 && (error == EINVAL || error == ENOSYS || error == EOPNOTSUPP))
            how = 0;
        else
            fail(EFCreateError(m_path), systemReason(error));
    }
    placed = true;

    // The rename sets the change time; anything else that differs now was written since.
    FileIdentity identity = FileIdentity::of(written);
    struct stat inPlace;
    if (::fstat(fd.get(), &inPlace) == 0 && FileIdentity::of(inPlace).sameButForRename(identity))
        identity = FileIdentity::of(inPlace);

    if (how == RENAME_EXCHANGE) {
        struct stat out;
        const bool wasExpected = !expected
                                 || (expected->has_value() && ::lstat(temporary.constData(), &out) == 0
                                     && FileIdentity::of(out).sameButForRename(**expected));
        if (wasExpected)
            ::unlink(temporary.constData());
        else
            *displaced = QFile::decodeName(temporary);
    }

    // Makes the rename itself durable; the new file is in place whatever this answers.
    const qsizetype slash = target.lastIndexOf('/');
    const FileDescriptor folder(::open(slash > 0 ? target.left(slash).constData() : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isValid())
        ::fsync(folder.get());
    return identity;
}
