#pragma once

#include <QString>

#include <chrono>

// An exclusive advisory lock (flock) on a file or directory, held until release or
// destruction. The kernel drops it when the process dies, so a killed program never
// leaves a stale lock behind.
class FileLock
{
public:
    enum class Result {
        Locked,
        Busy,        // still held by another open of the same file when the wait ran out
        Unavailable, // the path could not be opened; see error()
    };

    static constexpr std::chrono::milliseconds DefaultWait{1500};

    FileLock() = default;
    ~FileLock();

    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Opens the path read-only and locks it, trying again until the wait has passed.
    Result acquire(const QString &path, std::chrono::milliseconds wait = DefaultWait);
    // Opens (making it, mode 0600, when missing) the file of that name in the open folder,
    // one that only this user can write to, and locks it. A symlink there is not followed,
    // and only a plain file of this user's own with no other link is locked: anything else
    // under the name is removed and replaced by a file of our own, and Unavailable only
    // when that fails.
    Result acquireOwnFile(int folder, const QString &name, std::chrono::milliseconds wait = DefaultWait);
    void release();

    bool isLocked() const { return m_fd >= 0; }
    // The descriptor holding the lock, or -1.
    int handle() const { return m_fd; }
    // errno of the failed open or lock after Unavailable.
    int error() const { return m_error; }

private:
    Result lock(int fd, std::chrono::milliseconds wait);

    int m_fd = -1;
    int m_error = 0;
};
