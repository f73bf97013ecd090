#pragma once

#include <QByteArray>

#include <functional>
#include <sys/types.h>
#include <unistd.h>

// Another local user, `nobody`, acting while the tests run as root. Each action runs in a
// forked child that has given up root and keeps to system calls, as a fork of a threaded
// program must.
namespace OtherUser {

constexpr uid_t Uid = 65534;
constexpr gid_t Gid = 65534;

// Runs the action as the other user and waits for it; its result is the child's.
bool run(const std::function<bool()> &action);

// The other user's socket file at the path, mode 0777, answering "raised" to every line
// and making askedMark (where the other user may write) when one comes.
class AnsweringSocket
{
public:
    AnsweringSocket(const QByteArray &path, const QByteArray &askedMark);
    ~AnsweringSocket();
    Q_DISABLE_COPY(AnsweringSocket)

    bool isListening() const { return m_pid > 0; }
    bool wasAsked() const { return ::access(m_askedMark.constData(), F_OK) == 0; }

private:
    pid_t m_pid = -1;
    QByteArray m_askedMark;
};

} // namespace OtherUser
