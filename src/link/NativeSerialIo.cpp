#include "link/NativeSerialIo.h"

#include "core/Home.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace comm {

namespace {

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

timespec toTimespec(qint64 ns)
{
    return {time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
}

void sleepNs(qint64 ns)
{
    const timespec ts = toTimespec(ns);
    nanosleep(&ts, nullptr);
}

// Unix98 pty slaves have majors 136..143; 3 is the old BSD pty slave.
bool isPseudoTerminal(int fd)
{
    struct stat st
    {
    };
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    const unsigned maj = major(st.st_rdev);
    return (maj >= 136 && maj <= 143) || maj == 3;
}

tcflag_t charSizeFlag(int dataBits)
{
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    default:
        return CS8;
    }
}

speed_t speedFlag(int baud)
{
    switch (baud) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    default:
        return B0; // not a speed the port can be set to
    }
}

} // namespace

QString portDevice(int portNumber, const QString& home)
{
    const QString mapped = home + QStringLiteral("/ports/COM") + QString::number(portNumber);
    if (QFileInfo(mapped).isSymLink() || QFileInfo::exists(mapped))
        return mapped;
    return QStringLiteral("/dev/ttyS") + QString::number(portNumber - 1);
}

bool lockedByAnotherProgram(const QString& devicePath)
{
    // Lock files name the device below /dev with '/' turned into '_': LCK..ttyS0, LCK..pts_3.
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    // /var/lock is normally a link to /run/lock: look at each real folder once, since this
    // runs at every open.
    static const QStringList folders = [] {
        QStringList real;
        for (const char* dir : {"/run/lock", "/var/lock"}) {
            const QString path = QFileInfo(QLatin1String(dir)).canonicalFilePath();
            if (!path.isEmpty() && !real.contains(path))
                real << path;
        }
        return real;
    }();
    for (const QString& dir : folders) {
        QFile lock(dir + QLatin1String("/LCK..") + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = lock.read(64);
        bool ok = false;
        // Text form (HDB UUCP); very old programs write the PID as a binary int.
        int pid = text.trimmed().split('\n').value(0).trimmed().toInt(&ok);
        if (!ok && text.size() == int(sizeof pid)) {
            std::memcpy(&pid, text.constData(), sizeof pid);
            ok = true;
        }
        if (!ok || pid <= 0)
            continue;
        // A lock whose owner has gone is stale and does not count.
        if (kill(pid, 0) == 0 || errno == EPERM)
            return true;
    }
    return false;
}

NativeSerialIo::NativeSerialIo(QString home) : m_home(std::move(home)) {}

NativeSerialIo::~NativeSerialIo()
{
    close();
}

bool NativeSerialIo::open(int portNumber, const SerialSettings& settings)
{
    close();
    const QString device = portDevice(portNumber, m_home.isEmpty() ? core::homeFolder() : m_home);
    const QString resolved = QFileInfo(device).canonicalFilePath();
    if (resolved.isEmpty() || lockedByAnotherProgram(resolved))
        return false;
    const int fd =
        ::open(QFile::encodeName(resolved).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Exclusive use: a second open of the device fails (for everyone but root) until close.
    if (!isatty(fd) || ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_isPty = isPseudoTerminal(m_fd);
    m_charNs = 11LL * 1'000'000'000 / qMax(settings.baud, 1);
    // A reply that arrived after the previous transaction closed the port still waits in the
    // driver; it belongs to nobody now.
    tcflush(m_fd, TCIFLUSH);
    return configure(settings);
}

bool NativeSerialIo::configure(const SerialSettings& settings)
{
    termios wanted{};
    if (tcgetattr(m_fd, &wanted) != 0)
        return false;
    cfmakeraw(&wanted);
    const speed_t speed = speedFlag(settings.baud);
    cfsetispeed(&wanted, speed);
    cfsetospeed(&wanted, speed);
    wanted.c_cflag |= CLOCAL | CREAD;
    wanted.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS | HUPCL);
    wanted.c_cflag |= charSizeFlag(settings.dataBits);
    if (settings.stopBits == 2)
        wanted.c_cflag |= CSTOPB;
    if (settings.parity == 1)
        wanted.c_cflag |= PARENB | PARODD;
    else if (settings.parity == 2)
        wanted.c_cflag |= PARENB;
    // Received parity is not checked: the frame's CRC or checksum guards it.
    wanted.c_iflag &= ~(INPCK | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
    wanted.c_cc[VMIN] = 0;
    wanted.c_cc[VTIME] = 0;
    // The result of tcsetattr says little: it succeeds when only part of the request took and,
    // on a pty that clears parity, can fail although everything else is in place. What the
    // port reports back afterwards is the verdict.
    tcsetattr(m_fd, TCSANOW, &wanted);

    termios actual{};
    if (tcgetattr(m_fd, &actual) != 0)
        return false;
    const bool speedOk =
        speed != B0 && cfgetospeed(&actual) == speed && cfgetispeed(&actual) == speed;
    const bool dataBitsOk = settings.dataBits >= 5 && settings.dataBits <= 8 &&
                            (actual.c_cflag & CSIZE) == charSizeFlag(settings.dataBits);
    const bool stopOk = bool(actual.c_cflag & CSTOPB) == (settings.stopBits == 2);
    const bool flowOk = !(actual.c_cflag & CRTSCTS) && !(actual.c_iflag & (IXON | IXOFF));
    // A pty has no parity to set and the kernel clears it: everything else applied is success.
    const bool parityOk = m_isPty || ((actual.c_cflag & (PARENB | PARODD | CMSPAR)) ==
                                      (wanted.c_cflag & (PARENB | PARODD | CMSPAR)));

    // DTR stays inactive. A pty has no modem lines, so there it cannot fail.
    int dtr = TIOCM_DTR;
    const bool dtrOk = ioctl(m_fd, TIOCMBIC, &dtr) == 0 || m_isPty;
    const bool directionOk = setUpDirectionControl();
    return speedOk && dataBitsOk && stopOk && flowOk && parityOk && dtrOk && directionOk;
}

bool NativeSerialIo::setUpDirectionControl()
{
    m_manualRts = false;
    if (m_isPty)
        return true;
    // Where the driver can switch RTS itself around each transmission, let it: it knows the
    // moment the last stop bit has left.
    serial_rs485 rs{};
    if (ioctl(m_fd, TIOCGRS485, &rs) == 0) {
        rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs.flags &= ~SER_RS485_RTS_AFTER_SEND;
        if (ioctl(m_fd, TIOCSRS485, &rs) == 0)
            return true;
    }
    m_manualRts = true;
    setRts(false);
    return true;
}

void NativeSerialIo::setRts(bool on)
{
    int bits = TIOCM_RTS;
    ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits);
}

int NativeSerialIo::write(QByteArrayView bytes, int timeoutMs)
{
    if (m_fd < 0)
        return 0;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1'000'000;
    if (m_manualRts)
        setRts(true);
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break;
        const qint64 left = deadline - nowNs();
        if (left <= 0)
            break;
        pollfd pfd{m_fd, POLLOUT, 0};
        const timespec ts = toTimespec(left);
        ppoll(&pfd, 1, &ts, nullptr);
    }
    waitUntilSent(deadline);
    if (m_manualRts)
        setRts(false);
    return int(written);
}

bool NativeSerialIo::waitUntilSent(qint64 deadlineNs)
{
    for (;;) {
        int queued = 0;
        if (ioctl(m_fd, TIOCOUTQ, &queued) != 0)
            queued = 0;
        if (queued == 0) {
            // The driver's buffer is empty; the UART may still be shifting out the last
            // character. Drivers without a line status register report nothing here.
            int lsr = 0;
            if (ioctl(m_fd, TIOCSERGETLSR, &lsr) != 0 || (lsr & TIOCSER_TEMT))
                return true;
        }
        const qint64 left = deadlineNs - nowNs();
        if (left <= 0)
            return false;
        sleepNs(qMin(left, qMax<qint64>(queued, 1) * m_charNs / 2 + 1));
    }
}

QByteArray NativeSerialIo::read(int count, int timeoutMs)
{
    QByteArray block;
    if (m_fd < 0 || count <= 0)
        return block;
    block.resize(count);
    int got = 0;
    const qint64 deadline = nowNs() + qint64(timeoutMs) * 1'000'000;
    while (got < count) {
        const ssize_t n = ::read(m_fd, block.data() + got, size_t(count - got));
        if (n > 0) {
            got += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            break; // the device went away
        const qint64 left = deadline - nowNs();
        if (left <= 0)
            break;
        pollfd pfd{m_fd, POLLIN, 0};
        const timespec ts = toTimespec(left);
        if (ppoll(&pfd, 1, &ts, nullptr) < 0 && errno != EINTR)
            break;
        if (pfd.revents & (POLLERR | POLLNVAL))
            break;
    }
    block.truncate(got);
    return block;
}

void NativeSerialIo::purgeInput()
{
    if (m_fd >= 0)
        tcflush(m_fd, TCIFLUSH);
}

void NativeSerialIo::close()
{
    if (m_fd < 0)
        return;
    // On a pty, "pending output" is what the other end has not read yet: bytes that have
    // already left, as far as any wire is concerned. Flushing them would eat every write.
    tcflush(m_fd, m_isPty ? TCIFLUSH : TCIOFLUSH);
    ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_manualRts = false;
}

} // namespace comm
