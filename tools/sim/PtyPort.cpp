#include "PtyPort.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

int speedToBaud(speed_t s)
{
    switch (s) {
    case B50:
        return 50;
    case B75:
        return 75;
    case B110:
        return 110;
    case B134:
        return 134;
    case B150:
        return 150;
    case B200:
        return 200;
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B1800:
        return 1800;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    case B460800:
        return 460800;
    case B500000:
        return 500000;
    case B576000:
        return 576000;
    case B921600:
        return 921600;
    case B1000000:
        return 1000000;
    default:
        return 0;
    }
}

} // namespace

PtyPort::~PtyPort()
{
    close();
}

bool PtyPort::open(const QString& linkPath, QString* error)
{
    auto fail = [&](const QString& what) {
        if (error)
            *error = what;
        close();
        return false;
    };
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0)
        return fail(QStringLiteral("posix_openpt: %1").arg(lastError()));
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return fail(QStringLiteral("cannot unlock the pty: %1").arg(lastError()));
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0)
        return fail(QStringLiteral("ptsname: %1").arg(lastError()));
    m_device = QString::fromLocal8Bit(name);

    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail(QStringLiteral("cannot open %1: %2").arg(m_device, lastError()));
    // Raw from the start: a cooked pty would echo our replies back to us as requests
    // before the client has configured it.
    termios tio{};
    if (::tcgetattr(m_slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(m_slave, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // Watched after our own open, so only other openers are counted. Without inotify every
    // reply is delivered, which is still usable.
    m_inotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_inotify >= 0 &&
        ::inotify_add_watch(m_inotify, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(m_inotify);
        m_inotify = -1;
    }

    const QFileInfo link(linkPath);
    if (!QDir().mkpath(link.absolutePath()))
        return fail(QStringLiteral("cannot create %1").arg(link.absolutePath()));
    const QByteArray linkName = QFile::encodeName(link.absoluteFilePath());
    struct stat st
    {
    };
    if (::lstat(linkName.constData(), &st) == 0 && !S_ISLNK(st.st_mode))
        return fail(QStringLiteral("%1 exists and is not a symbolic link; not replacing it")
                        .arg(link.absoluteFilePath()));
    // Publish through a rename so that a reader never finds the name missing or half made.
    const QByteArray temp = linkName + ".new" + QByteArray::number(::getpid());
    ::unlink(temp.constData());
    if (::symlink(name, temp.constData()) != 0 || ::rename(temp.constData(), linkName) != 0) {
        const QString why = lastError();
        ::unlink(temp.constData());
        return fail(QStringLiteral("cannot publish %1: %2").arg(link.absoluteFilePath(), why));
    }
    m_link = link.absoluteFilePath();
    return true;
}

void PtyPort::close()
{
    if (!m_link.isEmpty()) {
        // Another simulator may have taken the name over since; its link stays.
        const QByteArray linkName = QFile::encodeName(m_link);
        char target[256];
        const ssize_t n = ::readlink(linkName.constData(), target, sizeof target - 1);
        if (n > 0 && QByteArray(target, int(n)) == QFile::encodeName(m_device))
            ::unlink(linkName.constData());
        m_link.clear();
    }
    for (int* fd : {&m_inotify, &m_slave, &m_master}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_clients = 0;
    m_device.clear();
}

int PtyPort::clientBaud() const
{
    termios tio{};
    if (m_master < 0 || ::tcgetattr(m_master, &tio) != 0)
        return 0;
    return speedToBaud(::cfgetospeed(&tio));
}

void PtyPort::serviceEvents()
{
    if (m_inotify < 0)
        return;
    alignas(inotify_event) char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buf, sizeof buf);
        if (n <= 0)
            return;
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + off);
            if (ev->mask & IN_Q_OVERFLOW) // count lost: better to answer than to fall silent
                m_clients = std::max(m_clients, 1);
            if (ev->mask & IN_OPEN) {
                ++m_clients;
                if (onClientEvent)
                    onClientEvent(true);
            }
            if (ev->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
                m_clients = std::max(0, m_clients - 1);
                if (onClientEvent)
                    onClientEvent(false);
                if (m_clients == 0) {
                    // What a real port does at its last close: unread input is gone, and an
                    // exclusive lock left by a client that died does not outlive it.
                    ::tcflush(m_slave, TCIFLUSH);
                    ::ioctl(m_slave, TIOCNXCL);
                }
            }
            off += ssize_t(sizeof(inotify_event)) + ev->len;
        }
    }
}

bool PtyPort::clientPresent()
{
    if (m_inotify < 0)
        return true;
    serviceEvents();
    return m_clients > 0;
}

void PtyPort::send(QByteArrayView bytes)
{
    if (m_master < 0 || bytes.isEmpty() || !clientPresent())
        return;
    const char* p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) // a client that never reads: the rest is lost, like bytes on a busy wire
            return;
        p += n;
        left -= n;
    }
}

} // namespace sim
