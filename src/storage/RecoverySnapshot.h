#pragma once

#include "storage/NotePage.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

// A copy of the whole pad, kept beside the note file while it has unsaved changes, so that
// a crash, a kill or a power cut loses at most the last few seconds of typing. It is written
// in the note file's own format into $XDG_STATE_HOME/pinnote/ (one file per note file); the
// note file itself is never touched. Notes are private: the folder must be the user's own
// and closed to others (checked at every write), the file is mode 0600, and nothing is read
// or written through a symlink or anything but a plain file of the user's own.
class RecoverySnapshot : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds QuietDelay{2000};
    static constexpr std::chrono::milliseconds LongestDelay{30000};

    // Gives the pad as it stands; called on the thread that owns the snapshot, and kept
    // cheap there (the pages are shared, not copied): encoding and writing happen elsewhere.
    using Source = std::function<NotePages()>;

    RecoverySnapshot(const QString &noteFilePath, Source source, QObject *parent = nullptr);
    ~RecoverySnapshot() override; // waits for a write in progress

    static QString directory();
    QString path() const { return m_path; }
    // Why the last write failed; empty after one that succeeded.
    QString lastError() const { return m_lastError; }

    // Written QuietDelay after the last change, and at least every LongestDelay while
    // changes keep coming.
    void setDelays(std::chrono::milliseconds quiet, std::chrono::milliseconds longest);

    // The pad changed: a snapshot is due.
    void changed();
    // The note file holds the pad now: nothing is due, and the snapshot goes.
    void saved();
    // Takes the pad now and writes it on another thread, if anything is due.
    void writeNow();
    // Writes what is due before returning: the program is about to end without saving.
    void flush();

    bool isDue() const { return m_due; }
    bool isWriting() const { return m_writing; }

    struct Found
    {
        QDateTime time;
        bool readable = false;
        NotePages pages;
    };
    // The snapshot left by an earlier run, if there is one.
    std::optional<Found> find() const;
    // Renames the snapshot with its time in the name, so that a later one cannot replace it.
    bool moveAside(const QDateTime &time) const;
    void remove() const;

signals:
    void written(bool ok);

private:
    void finished(const QString &error);
    // Empty when written, else why not.
    static QString writeFile(const QString &name, const NotePages &pages);

    QString m_name;
    QString m_earlierName;
    QString m_path;
    QString m_lastError;
    Source m_source;
    QTimer m_quiet;
    QTimer m_longest;
    QThreadPool m_pool;
    bool m_due = false;
    bool m_writing = false;
    bool m_writeAgain = false;
    bool m_removeWhenWritten = false;
};
