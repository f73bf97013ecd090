#include "support/OtherUser.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace OtherUser {
namespace {

bool becomeOtherUser()
{
    return ::setgroups(0, nullptr) == 0 && ::setresgid(Gid, Gid, Gid) == 0 && ::setresuid(Uid, Uid, Uid) == 0;
}

pid_t forkAsOtherUser(const std::function<bool()> &action)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(becomeOtherUser() && action() ? 0 : 1);
    return pid;
}

} // namespace

bool available()
{
    return ::geteuid() == 0;
}

bool run(const std::function<bool()> &action)
{
    const pid_t pid = forkAsOtherUser(action);
    if (pid < 0)
        return false;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

AnsweringSocket::AnsweringSocket(const QByteArray &path, const QByteArray &askedMark)
    : m_askedMark(askedMark)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    const QByteArray mark = m_askedMark;
    m_pid = forkAsOtherUser([&]() -> bool {
        ::close(ready[0]);
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (listener < 0 || size_t(path.size()) >= sizeof(address.sun_path))
            return false;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
            || ::chmod(path.constData(), 0777) != 0 || ::listen(listener, 8) != 0)
            return false;
        (void)!::write(ready[1], "r", 1);
        ::close(ready[1]);
        for (;;) {
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer < 0)
                continue;
            char line[64];
            if (::read(peer, line, sizeof(line)) > 0) {
                const int marker = ::open(mark.constData(), O_WRONLY | O_CREAT, 0666);
                if (marker >= 0)
                    ::close(marker);
                (void)!::write(peer, "raised\n", 7);
            }
            ::close(peer);
        }
    });
    ::close(ready[1]);
    char byte = 0;
    // The child writes once it listens, or ends and closes the pipe.
    if (m_pid > 0 && ::read(ready[0], &byte, 1) != 1) {
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    ::close(ready[0]);
}

AnsweringSocket::~AnsweringSocket()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

bool AnsweringSocket::wasAsked() const
{
    return ::access(m_askedMark.constData(), F_OK) == 0;
}

} // namespace OtherUser
