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

namespace OtherUser {
namespace {

pid_t forkAsOtherUser(const std::function<bool()> &action)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setresgid(Gid, Gid, Gid) == 0
                             && ::setresuid(Uid, Uid, Uid) == 0;
        ::_exit(dropped && action() ? 0 : 1);
    }
    return pid;
}

} // namespace

bool run(const std::function<bool()> &action)
{
    const pid_t pid = forkAsOtherUser(action);
    int status = 0;
    while (pid > 0 && ::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return pid > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

AnsweringSocket::AnsweringSocket(const QByteArray &path, const QByteArray &askedMark)
    : m_askedMark(askedMark)
{
    int ready[2];
    if (::pipe(ready) != 0)
        return;
    m_pid = forkAsOtherUser([&] {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (listener < 0 || size_t(path.size()) >= sizeof(address.sun_path))
            return false;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
            || ::chmod(path.constData(), 0777) != 0 || ::listen(listener, 8) != 0 || ::write(ready[1], "r", 1) != 1)
            return false;
        for (char line[64];;) {
            const int peer = ::accept(listener, nullptr, nullptr);
            if (peer >= 0 && ::read(peer, line, sizeof(line)) > 0) {
                ::close(::open(askedMark.constData(), O_WRONLY | O_CREAT, 0666));
                (void)!::write(peer, "raised\n", 7);
            }
            ::close(peer);
        }
    });
    ::close(ready[1]);
    // The child writes once it listens, or ends and so closes the pipe.
    char byte = 0;
    if (m_pid > 0 && ::read(ready[0], &byte, 1) != 1) {
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    ::close(ready[0]);
}

AnsweringSocket::~AnsweringSocket()
{
    if (m_pid > 0 && ::kill(m_pid, SIGKILL) == 0)
        ::waitpid(m_pid, nullptr, 0);
}

} // namespace OtherUser
