#pragma once

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
// by name); none when the folder cannot be read.
QList<ConflictCopy> list(const QString &folder);

// Moves the copy into the folder, made when missing, under a name that nothing there has yet
// ("<name> (2).set" and so on), and returns its new path. The move never replaces a file and
// never loses the copy: across file systems it is copied and synced first, and only then
// removed from where it was. Throws EFOpenError when the copy cannot be read, EFCreateError when
// the folder or the new file cannot be made, EWriteError when writing the new file fails, and
// EFCreateError for the copy's own path when it cannot be removed after it was copied (it then
// stands in both places).
QString moveInto(const QString &path, const QString &folder);

} // namespace ConflictCopies
