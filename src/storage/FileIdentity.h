#pragma once

#include <QString>

#include <optional>

struct stat;

// Which file a path names and how it stood: another program that replaces or rewrites
// the file changes at least one of these. Reading it costs no read of the file.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    // Set by the kernel at every change, contents or metadata; a program can set the
    // modification time back, not this.
    qint64 changedNs = 0;

    static FileIdentity of(const struct stat &status);
    // nullopt when nothing is there (or it cannot be asked).
    static std::optional<FileIdentity> of(const QString &path);

    // The same file as it stood, but for the change time, which a rename sets.
    bool sameButForRename(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
    }

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};
