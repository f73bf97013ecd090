#pragma once

#include "storage/NotePage.h"

#include <QString>

#include <optional>

class QIODevice;

// The note file Pinnote.set: its bytes, and loading and saving it safely.
class NoteFile
{
public:
    static constexpr char FileName[] = "Pinnote.set";

    // The path is taken as it is; callers fix it once (absolute) at start-up.
    explicit NoteFile(QString path);

    const QString &path() const { return m_path; }

    // The pages in the file, in order (possibly none), or nullopt when there is no file.
    // Throws an Exception subclass for every other failure, the file left untouched.
    std::optional<NotePages> load() const;

    // Replaces the file atomically; on any failure throws and the previous file stays whole.
    void save(const NotePages &pages) const;

    // The value stream itself, over any device. read() throws on malformed data,
    // write() throws EWriteError when the device takes fewer bytes than it is given.
    static NotePages read(QIODevice &device);
    static void write(QIODevice &device, const NotePages &pages);

private:
    QString m_path;
};
