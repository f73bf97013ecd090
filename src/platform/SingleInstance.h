#pragma once

#include "storage/FileLock.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

class RuntimeFolder;
class QLocalServer;
class QLocalSocket;

// One copy of the program per note file: the first copy holds a lock and listens on a
// local socket, both named after the note file's folder (its device and inode, so that
// every path to the folder names the same copy); a later copy asks it to come to the
// front instead of opening the file a second time. The lock is an flock, so a copy that
// crashed leaves nothing behind that could block the next one.
//
// Both live in the user's private RuntimeFolder, which no other user can reach. Each
// end of the socket checks that the other one runs as the same user before it says or
// obeys anything.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        First,       // no other copy has the file: go on, and listen for later ones
        OtherRaised, // another copy has it and came to the front
        OtherSilent, // another copy has it but did not answer in time
    };

    static constexpr std::chrono::milliseconds AnswerWait{2000};

    explicit SingleInstance(const QString &noteFilePath, QObject *parent = nullptr);
    ~SingleInstance() override;

    Claim claim(std::chrono::milliseconds wait = AnswerWait);

    // Where the lock and the socket go; empty when no private folder could be had,
    // and then every copy goes its own way.
    QString folderPath() const;
    QString lockPath() const;
    QString serverPath() const;

signals:
    // A later copy was started for the same note file.
    void raiseRequested();

private:
    FileLock::Result lockOwnFile();
    bool listen();
    void answer(QLocalSocket *socket);
    Claim askRunningCopy(std::chrono::milliseconds wait);

    std::unique_ptr<RuntimeFolder> m_folder;
    FileLock m_lock;
    QLocalServer *m_server = nullptr;
};
