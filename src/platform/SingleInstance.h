#pragma once

#include "storage/FileLock.h"

#include <QObject>
#include <QString>

#include <chrono>

class QLocalServer;
class QLocalSocket;

// One copy of the program per note file: the first copy holds a lock and listens on a
// local socket, both named after the note file's canonical path; a later copy asks it to
// come to the front instead of opening the file a second time. The lock is an flock, so
// a copy that crashed leaves nothing behind that could block the next one.
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

    QString lockPath() const;
    QString serverPath() const;

signals:
    // A later copy was started for the same note file.
    void raiseRequested();

private:
    bool listen();
    void answer(QLocalSocket *socket);
    Claim askRunningCopy(std::chrono::milliseconds wait);

    QString m_base;
    FileLock m_lock;
    QLocalServer *m_server = nullptr;
};
