#pragma once

#include <QByteArray>

#include <functional>
#include <sys/types.h>

// Another local user, `nobody`, acting on the machine while the tests run as root: each
// action runs in a forked child that has given up root. The child only makes system calls
// (no Qt), as a forked copy of a threaded program must.
namespace OtherUser {

constexpr uid_t Uid = 65534;
constexpr gid_t Gid = 65534;

// Whether the tests can act as the other user at all (they must run as root).
bool available();

// Runs the action as the other user and waits for it; its result is the child's.
bool run(const std::function<bool()> &action);

// A socket file at the path, owned by the other user with mode 0777, answering every
// line with "raised", and making the file askedMark (somewhere the other user may write)
// when the first line comes. It stops when the object goes.
class AnsweringSocket
{
public:
    AnsweringSocket(const QByteArray &path, const QByteArray &askedMark);
    ~AnsweringSocket();
    AnsweringSocket(const AnsweringSocket &) = delete;
    AnsweringSocket &operator=(const AnsweringSocket &) = delete;

    bool isListening() const { return m_pid > 0; }
    // Whether anyone sent it anything so far.
    bool wasAsked() const;

private:
    pid_t m_pid = -1;
    QByteArray m_askedMark;
};

} // namespace OtherUser
