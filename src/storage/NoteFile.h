#pragma once

#include "storage/FileIdentity.h"
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

    // What load() and save() lock: the file's directory (a save replaces the file itself).
    QString lockPath() const;

    // The pages in the file, in order (possibly none), or nullopt when there is no file.
    // Throws an Exception subclass for every other failure, the file left untouched:
    // EFOpenError when the file exists but cannot be read or another process holds it,
    // and read()'s errors for its contents.
    // identity, when given, is set to the file that was read.
    std::optional<NotePages> load(FileIdentity *identity = nullptr) const;

    // Replaces the file atomically; on any failure throws and the previous file stays whole.
    // EFCreateError when the file cannot be created (read-only file, a directory, no
    // directory, held by another process) or put in place; EWriteError when writing fails.
    // Returns the identity of the file now in place.
    FileIdentity save(const NotePages &pages) const;

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
    QString m_path;
};
