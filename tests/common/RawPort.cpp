#include "RawPort.h"

#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t speed(int baud)
{
    switch (baud) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    default:
        return B38400;
    }
}

} // namespace

RawPort::RawPort(const QString& path, int baud)
{
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    m_errno = errno;
    if (m_fd < 0)
        return;
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, speed(baud));
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

RawPort::~RawPort()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawPort::hungUp() const
{
    pollfd p{m_fd, POLLIN, 0};
    return m_fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP);
}

bool RawPort::send(const QByteArray& bytes)
{
    return m_fd >= 0 && ::write(m_fd, bytes.data(), size_t(bytes.size())) == bytes.size();
}

RawPort::Exchange RawPort::transact(const QByteArray& request, int echoLength, int silentMs,
                                    int quietMs)
{
    Exchange ex;
    QElapsedTimer clock;
    clock.start();
    send(request);
    double last = 0;
    for (;;) {
        const double now = clock.nsecsElapsed() / 1e6;
        const double wait = ex.bytes.isEmpty() ? silentMs - now : quietMs - (now - last);
        if (wait <= 0)
            break;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, int(wait) + 1) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n <= 0)
            continue;
        last = clock.nsecsElapsed() / 1e6;
        ex.bytes.append(buf, n);
        if (ex.echoMs < 0 && ex.bytes.size() >= echoLength)
            ex.echoMs = last;
        ex.doneMs = last;
    }
    return ex;
}
