#pragma once

#include "storage/FileIdentity.h"
#include "storage/NotePage.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// A copy of the note file that a sync engine left beside it when two machines changed the
// file before they saw each other's change.
struct ConflictCopy
{
    enum class Engine { Syncthing, Nextcloud, Dropbox };

    QString path;
    Engine engine = Engine::Syncthing;
    QDateTime modified;
};

namespace ConflictCopies {

// Which engine names its copies of the note file so, if one does:
//   Syncthing          Pinnote.sync-conflict-20260115-143022-ABCDEFG.set
//   Nextcloud/ownCloud Pinnote (conflicted copy 2026-01-15 143022).set
//   Dropbox            Pinnote (Alice's conflicted copy 2026-01-15).set, with " (1)" for more that day
std::optional<ConflictCopy::Engine> recognise(const QString &fileName);

// The conflict copies of the note file in the folder, oldest first (by modification time, then
// by name); none when the folder cannot be read. Whatever stands under such a name but a
// folder is listed, symlinks and FIFOs too, so that a refusal can be told.
QList<ConflictCopy> list(const QString &folder);

// What stands at the path itself, a symlink not followed; nullopt when nothing does.
std::optional<FileIdentity> identity(const QString &path);

// The most bytes a copy is read with beside a note file of noteFileBytes.
qint64 sizeLimit(qint64 noteFileBytes);

// The pages of the copy, read only when it is a regular file of the user's own with no other
// name, reached without following a symlink, and of at most maxBytes. A copy sits where others
// may write; anything else may be someone's link to a file they cannot read themselves, or a
// file made to fill the memory. Throws EFOpenError, with the reason, for such a copy and for one
// that cannot be opened or read, and read()'s errors for its contents. identity, when given, is
// set to the file that was read.
NotePages load(const QString &path, qint64 maxBytes, FileIdentity *identity = nullptr);

// Moves the copy into the folder, made when missing, under a name that nothing there has yet
// ("<name> (2).set" and so on), and returns its new path. The move never replaces a file and
// never loses the copy: across file systems it is copied and synced first, and only then
// removed from where it was. Throws EFOpenError when the copy cannot be read, EFCreateError when
// the folder or the new file cannot be made, EWriteError when writing the new file fails, and
// EFCreateError for the copy's own path when it cannot be removed after it was copied (it then
// stands in both places). With expected given, it moves only the very file that was read (not
// a link to it, nor one put in its place since), else throws EFOpenError.
QString moveInto(const QString &path, const QString &folder,
                 const std::optional<FileIdentity> &expected = std::nullopt);

} // namespace ConflictCopies
