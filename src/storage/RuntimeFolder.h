#pragma once

#include "storage/PrivateFolder.h"

#include <QString>

#include <memory>

// Where the copies of the program for one note file meet: the single-instance lock and
// socket, and the lock that keeps their loads and saves apart. Every name starts with a
// key made from the note folder's identity (its device and inode), so every path to the
// folder, bind mounts included, gives the same names. The folder is the first of these
// that is private to the user: the runtime folder ($XDG_RUNTIME_DIR, used only when it is
// already 0700 and never changed), pinnote-<uid> in the temporary folder, or, should
// another user hold that name, pinnote in $XDG_CACHE_HOME. Nobody else can create, open
// or lock anything there.
class RuntimeFolder
{
public:
    static constexpr char InstanceLockSuffix[] = ".lock";
    static constexpr char SocketSuffix[] = ".socket";
    // Taken inside one load or save only; a name of its own, because the process that
    // saves also holds the single-instance lock, and a second flock on that would wait
    // for itself.
    static constexpr char NotesLockSuffix[] = ".notes.lock";

    explicit RuntimeFolder(const QString &noteFilePath);

    // 32 hex digits naming the note file's folder however it was reached.
    static QString key(const QString &noteFilePath);

    // False when no candidate could be had.
    bool isUsable() const { return m_folder != nullptr; }
    // The open, checked folder; null when not usable.
    const PrivateFolder *folder() const { return m_folder.get(); }
    // pinnote-<key> with the suffix: a file name inside the folder.
    QString name(const char *suffix) const { return m_stem + QLatin1String(suffix); }
    // Empty when not usable.
    QString filePath(const char *suffix) const;

private:
    QString m_stem;
    std::unique_ptr<PrivateFolder> m_folder;
};
