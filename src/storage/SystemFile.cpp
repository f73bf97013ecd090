#include "storage/SystemFile.h"

#include <cstring>
#include <unistd.h>

QString systemReason(int error)
{
    return QString::fromLocal8Bit(::strerror(error));
}

void FileDescriptor::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd); // after a failed close the descriptor is gone all the same
    m_fd = fd;
}
