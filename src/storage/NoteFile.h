#pragma once

#include "storage/FileIdentity.h"
#include "storage/FileLock.h"
#include "storage/NotePage.h"

#include <QString>

#include <optional>

class QIODevice;

// The note file Pinnote.set: its bytes, and loading and saving it safely.
class NoteFile
{
public:
    static constexpr char FileName[] = "Pinnote.set";
    static constexpr char NoteFileMagic[] = "TKW-Pinnote";
    static constexpr int NoteFileVersion = 1;
    static constexpr int StreamBufferSize = 1024;
    // The longest page name written, in bytes. The Windows program keeps no more of a
    // name, so a pad saved on either machine holds the same names.
    static constexpr int MaxNameBytes = 4095;

    // The path is taken as it is; callers fix it once (absolute) at start-up.
    explicit NoteFile(QString path);

    const QString &path() const { return m_path; }

    // The one path that names this file however it was reached (symlinks resolved), also
    // before the file exists.
    static QString canonicalPath(const QString &path);
    // What names the file's folder however it was reached, bind mounts included: its
    // device and inode while the folder is there, else the canonical path. What tells two
    // copies of the program that they share a file.
    static QByteArray folderIdentity(const QString &path);

    // Takes the lock that load() and save() hold, which keeps two copies of the program
    // apart and which only this user can take. Unavailable when no private folder could
    // be had.
    FileLock::Result lock(FileLock &lock, std::chrono::milliseconds wait = FileLock::DefaultWait) const;

    // The pages in the file, in order (possibly none), or nullopt when there is no file, or
    // when it is reached through a symlink that may not be followed (see save()).
    // Throws an Exception subclass for every other failure, the file left untouched:
    // EFOpenError when the file exists but cannot be read or another process holds it,
    // and read()'s errors for its contents.
    // identity, when given, is set to the file that was read.
    std::optional<NotePages> load(FileIdentity *identity = nullptr) const;

    // What a save put in place, and what it took out of the way.
    struct Saved
    {
        FileIdentity identity; // of the file now in place
        // A file that stood in the file's place but was not the one expected, left beside
        // it under this name for the caller to merge; empty when there was none.
        QString displaced;
    };

    // Replaces the file atomically; on any failure throws and the previous file stays whole.
    // EFCreateError when the file cannot be created (read-only file, a directory, no
    // directory, held by another process, a symlink that may not be followed) or put in
    // place; EWriteError when writing fails.
    // expected is the file this copy last read or wrote (nullopt: none). The new file is
    // swapped with whatever stands there at that moment, so a file that another program
    // renamed into place meanwhile is never lost: it comes back as displaced.
    Saved save(const NotePages &pages, const std::optional<FileIdentity> &expected) const;
    // Replaces whatever is there. Returns the identity of the file now in place.
    FileIdentity save(const NotePages &pages) const;

    // Called just before the new file is put in place, with the path it goes to; null but in
    // tests, which use it to make a change land at that moment.
    static inline void (*beforePuttingInPlace)(const QString &path) = nullptr;

    // The value stream itself, over any device. read() throws on malformed data,
    // write() throws EWriteError when the device takes fewer bytes than it is given.
    // Names are written as at most MaxNameBytes bytes, ending on a whole character.
    static NotePages read(QIODevice &device);
    static void write(QIODevice &device, const NotePages &pages);

    // What a page's name and text become in the file: the stored bytes where the page
    // has them, else UTF-8; a name cut to MaxNameBytes either way.
    static QByteArray nameBytes(const NotePage &page);

    // The part of a name that the file keeps, so the part that tells two pages apart.
    static QString keptName(const QString &name);
    static QByteArray textBytes(const NotePage &page);

private:
    FileIdentity put(const NotePages &pages, const std::optional<FileIdentity> *expected, QString *displaced) const;

    QString m_path;
    // The mode last seen on the file, which a file written anew takes.
    mutable std::optional<unsigned> m_lastMode;
};
