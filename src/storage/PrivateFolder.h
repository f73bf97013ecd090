#pragma once

#include <QString>

// A folder that only this process's user can reach: a real directory (not a symlink),
// owned by the user, with no access for group or others. Other local users can then
// neither read what is kept in it nor plant names there. The folder stays open, so the
// files in it are reached through the checked folder itself (openat and friends), never
// again through a path that someone may have changed meanwhile.
class PrivateFolder
{
public:
    enum class Make {
        No,       // use it only when it is there
        Missing,  // make it (and its parents) when it is not there
    };
    // What may be done about access for others. The program's own folders are closed when
    // found open; a folder it was handed (the runtime folder) is someone else's to set, so
    // one open to others, or not exactly 0700, is passed over with its mode left alone.
    enum class Access {
        Close,
        Keep,
    };
    enum class Problem {
        None,
        Missing,
        NotAFolder,  // a symlink, a file or anything else stands at the path
        OtherOwner,  // another user's folder
        OpenToOthers, // group or others have access (or, kept as it is, the mode is not 0700)
        Failed,      // the system refused (see error())
    };

    // Opens and checks the folder. With Access::Close, a folder of the user's own with
    // access for others is made private first.
    PrivateFolder(const QString &path, Make make, Access access = Access::Close);
    ~PrivateFolder();
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    bool isUsable() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    const QString &path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + QLatin1Char('/') + name; }
    Problem problem() const { return m_problem; }
    int error() const { return m_error; }
    // Why the folder is not used, in words for the user; empty when it is usable.
    QString reason() const;

private:
    void open(Make make, Access access);

    QString m_path;
    int m_fd = -1;
    Problem m_problem = Problem::None;
    int m_error = 0;
};
