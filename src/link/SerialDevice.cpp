#include "link/SerialDevice.h"

#include "link/MonotonicClock.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>

namespace comm {

namespace {

// Unix98 pty slaves have majors 136..143; 3 is the old BSD pty slave.
bool isPtyDevice(const struct stat& st)
{
    const unsigned maj = major(st.st_rdev);
    return S_ISCHR(st.st_mode) && ((maj >= 136 && maj <= 143) || maj == 3);
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

QString errnoText(int negErrno)
{
    return QString::fromLocal8Bit(std::strerror(-negErrno));
}

// A driver without modem lines answers the modem-control calls with one of these.
bool noModemLines(int r)
{
    return r == -ENOTTY || r == -EINVAL;
}

} // namespace

SerialDevice::SerialDevice(TtySystem& system, QString path) : m_sys(system), m_path(std::move(path))
{
}

SerialDevice::~SerialDevice()
{
    close();
}

bool SerialDevice::fail(const QString& why)
{
    m_error = m_path + QLatin1String(": ") + why;
    if (m_fd >= 0)
        m_sys.close(m_fd);
    m_fd = -1;
    releaseLock();
    return false;
}

void SerialDevice::releaseLock()
{
    if (m_lockHeld)
        m_sys.unlockDevice(m_path);
    m_lockHeld = false;
}

bool SerialDevice::failErrno(int negErrno)
{
    return fail(errnoText(negErrno));
}

void SerialDevice::lostDevice(int negErrno)
{
    m_gone = true;
    m_error = m_path + QLatin1String(": ") +
              (negErrno ? errnoText(negErrno) : QStringLiteral("hung up (device gone)"));
}

bool SerialDevice::open()
{
    m_refused = false;
    // Everything that needs no descriptor comes first: opening a port raises DTR and RTS on
    // most of them, which is not ours to do to a port another program is using.
    struct stat st
    {
    };
    if (const int r = m_sys.stat(QFile::encodeName(m_path), &st); r != 0)
        return failErrno(r);
    // From here on the device is there, and a failure is a refusal.
    m_refused = true;
    if (!S_ISCHR(st.st_mode))
        return fail(QStringLiteral("not a serial port"));
    m_isPty = isPtyDevice(st);
    m_rdev = st.st_rdev;
    qint64 holder = 0;
    const int lock = m_sys.lockDevice(m_path, &holder);
    if (lock == -EBUSY)
        return fail(QStringLiteral("locked by process %1 (lock file)").arg(holder));
    // A lock folder we may not write to leaves the port to its flock and TIOCEXCL below.
    m_lockHeld = lock == 0;
    // A program that takes no lock at all shows up as a holder of the device. On a pty the
    // holders are the pty's other end (a simulator, socat) by design.
    if (!m_isPty) {
        const QList<qint64> holders = m_sys.holders(m_path, m_rdev);
        if (!holders.isEmpty())
            return fail(QStringLiteral("in use by process %1").arg(holders.first()));
    }

    const int fd = m_sys.open(QFile::encodeName(m_path));
    if (fd == -EACCES)
        return fail(QStringLiteral("permission denied (add the user to the dialout group)"));
    if (fd < 0) {
        // Gone again between the look and the open: missing, not refused.
        m_refused = fd != -ENOENT && fd != -ENODEV && fd != -ENXIO;
        return failErrno(fd);
    }
    m_fd = fd;
    termios probe{};
    if (m_sys.tcgetattr(m_fd, &probe) != 0)
        return fail(QStringLiteral("not a serial port"));

    // TIOCEXCL keeps later opens out but not root's, so one held exclusively is refused here
    // too; the flock keeps out programs that honour it (pyserial's exclusive mode, picocom,
    // ...), root included, and shows them the port is taken.
    int exclusive = 0;
    if (m_sys.ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive)
        return fail(QStringLiteral("in use by another program (exclusive)"));
    if (const int r = m_sys.flock(m_fd); r != 0)
        return r == -EWOULDBLOCK ? fail(QStringLiteral("in use by another program (locked)"))
                                 : failErrno(r);
    if (const int r = m_sys.ioctl(m_fd, TIOCEXCL, nullptr); r != 0)
        return failErrno(r);

    m_refused = false;
    askLowLatency();
    m_hasRs485 = m_sys.ioctl(m_fd, TIOCGRS485, &m_savedRs485) == 0;
    return true;
}

void SerialDevice::askLowLatency()
{
    // FTDI adapters hold received bytes up to their 16 ms latency timer unless asked not to;
    // a driver that refuses just keeps its timing.
    serial_struct ss{};
    if (m_sys.ioctl(m_fd, TIOCGSERIAL, &ss) != 0 || (ss.flags & ASYNC_LOW_LATENCY))
        return;
    m_savedSerial = ss;
    ss.flags |= ASYNC_LOW_LATENCY;
    m_lowLatencySet = m_sys.ioctl(m_fd, TIOCSSERIAL, &ss) == 0;
}

bool SerialDevice::startTransaction(const SerialSettings& settings)
{
    if (m_fd < 0 || m_gone)
        return false;
    if ((!m_configured || settings != m_applied) && !configure(settings))
        return false;
    // Whatever waits in either queue belongs to an earlier exchange: a reply that came too
    // late, noise, a request that never left.
    if (const int r = m_sys.tcflush(m_fd, TCIOFLUSH); r != 0) {
        lostDevice(r);
        return false;
    }
    return true;
}

bool SerialDevice::configure(const SerialSettings& settings)
{
    m_configured = false;
    termios wanted{};
    if (const int r = m_sys.tcgetattr(m_fd, &wanted); r != 0) {
        lostDevice(r);
        return false;
    }
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
    m_sys.tcsetattr(m_fd, wanted);

    termios actual{};
    if (const int r = m_sys.tcgetattr(m_fd, &actual); r != 0) {
        lostDevice(r);
        return false;
    }
    const bool speedOk =
        speed != B0 && cfgetospeed(&actual) == speed && cfgetispeed(&actual) == speed;
    const bool dataBitsOk = settings.dataBits >= 5 && settings.dataBits <= 8 &&
                            (actual.c_cflag & CSIZE) == charSizeFlag(settings.dataBits);
    const bool stopOk = bool(actual.c_cflag & CSTOPB) == (settings.stopBits == 2);
    const bool flowOk = !(actual.c_cflag & CRTSCTS) && !(actual.c_iflag & (IXON | IXOFF));
    // A pty has no parity to set and the kernel clears it: everything else applied is success.
    const bool parityOk = m_isPty || ((actual.c_cflag & (PARENB | PARODD | CMSPAR)) ==
                                      (wanted.c_cflag & (PARENB | PARODD | CMSPAR)));
    if (!(speedOk && dataBitsOk && stopOk && flowOk && parityOk)) {
        m_error = m_path + QLatin1String(": line settings refused");
        return false;
    }

    // DTR stays inactive. A port without modem lines (a pty, some USB adapters) has no DTR to
    // drop and is as good as any.
    int dtr = TIOCM_DTR;
    if (const int r = m_sys.ioctl(m_fd, TIOCMBIC, &dtr); r != 0 && !noModemLines(r)) {
        lostDevice(r);
        return false;
    }
    if (!setUpDirectionControl(settings.echo))
        return false;
    m_applied = settings;
    m_charNs = 11LL * 1'000'000'000 / qMax(settings.baud, 1);
    m_configured = true;
    return true;
}

bool SerialDevice::setUpDirectionControl(bool echo)
{
    m_manualRts = false;
    // Where the driver switches RTS itself around each transmission, let it: it knows the
    // moment the last stop bit has left. Its RS-485 mode turns the receiver off while sending
    // unless told otherwise, and a 4-wire line needs the echo of its request.
    if (m_hasRs485) {
        serial_rs485 rs = m_savedRs485;
        rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
        rs.flags &= ~SER_RS485_RTS_AFTER_SEND;
        if (echo)
            rs.flags |= SER_RS485_RX_DURING_TX;
        else
            rs.flags &= ~SER_RS485_RX_DURING_TX;
        if (m_sys.ioctl(m_fd, TIOCSRS485, &rs) == 0) {
            m_rs485Set = true;
            // The kernel drops flags a driver cannot do; without the receiver the echo never
            // comes, and RTS raised around the write by us is the better choice.
            serial_rs485 now{};
            if (m_sys.ioctl(m_fd, TIOCGRS485, &now) == 0 && (now.flags & SER_RS485_ENABLED) &&
                (!echo || (now.flags & SER_RS485_RX_DURING_TX)))
                return true;
            m_sys.ioctl(m_fd, TIOCSRS485, &m_savedRs485);
            m_rs485Set = false;
        }
    }
    int bits = TIOCM_RTS;
    const int clear = m_sys.ioctl(m_fd, TIOCMBIC, &bits);
    if (clear == 0) {
        m_manualRts = true;
        return true;
    }
    // No modem lines: the converter switches direction by itself (most USB RS-485 adapters).
    if (noModemLines(clear))
        return true;
    lostDevice(clear);
    return false;
}

bool SerialDevice::setRts(bool on)
{
    int bits = TIOCM_RTS;
    return m_sys.ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

int SerialDevice::write(QByteArrayView bytes, qint64 deadlineNs)
{
    if (m_fd < 0 || m_gone)
        return 0;
    if (m_manualRts)
        setRts(true);
    const qint64 startNs = monotonicNs();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = m_sys.write(m_fd, bytes.data() + written, size_t(bytes.size() - written));
        if (n > 0) {
            written += n;
            continue;
        }
        if (n < 0 && n != -EAGAIN && n != -EINTR) {
            lostDevice(int(n));
            break;
        }
        const qint64 left = deadlineNs - monotonicNs();
        if (left <= 0)
            break;
        const int events = m_sys.poll(m_fd, POLLOUT, left);
        if ((events < 0 && events != -EINTR) ||
            (events > 0 && (events & (POLLERR | POLLHUP | POLLNVAL)))) {
            lostDevice(events < 0 ? events : 0);
            break;
        }
    }
    // A pty has no transmitter to drain: what was written has left.
    if (!m_gone && !m_isPty)
        waitUntilSent(startNs + written * m_charNs, deadlineNs);
    if (m_manualRts && !m_gone)
        setRts(false);
    return int(written);
}

void SerialDevice::waitUntilSent(qint64 lastBitNs, qint64 deadlineNs)
{
    // The kernel sees only its own queue and, on some drivers, the UART's shift register.
    // Behind a USB adapter the bytes still pass through the adapter's buffer, and pl2303,
    // ch341 and cp210x report no line status at all; so the frame's time on the wire counted
    // from the start of the write is the least we wait, and the queue and the line status make
    // it longer while they show bytes still going. tcdrain is not asked: it waits without a
    // limit, and the write has its deadline.
    for (;;) {
        int queued = 0;
        if (m_sys.ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued < 0)
            queued = 0;
        bool shifting = false;
        if (queued == 0) {
            int lsr = 0;
            shifting = m_sys.ioctl(m_fd, TIOCSERGETLSR, &lsr) == 0 && !(lsr & TIOCSER_TEMT);
        }
        const qint64 now = monotonicNs();
        // Bytes still on the host need their own time on the wire after this moment.
        lastBitNs = qMax(lastBitNs, now + queued * m_charNs);
        if (!queued && !shifting && now >= lastBitNs)
            return;
        const qint64 left = deadlineNs - now;
        if (left <= 0)
            return;
        const qint64 step = queued     ? queued * m_charNs / 2
                            : shifting ? m_charNs / 2
                                       : lastBitNs - now;
        sleepNs(qMin(left, qMax<qint64>(step, 1000)));
    }
}

bool SerialDevice::checkHangUp()
{
    if (m_fd < 0 || m_gone)
        return m_gone;
    // Asking for no event at all: a hang-up and an error are reported whatever is asked.
    const int events = m_sys.poll(m_fd, 0, 0);
    if ((events < 0 && events != -EINTR) ||
        (events > 0 && (events & (POLLERR | POLLHUP | POLLNVAL))))
        lostDevice(events < 0 ? events : 0);
    return m_gone;
}

QByteArray SerialDevice::read(int count, qint64 deadlineNs)
{
    QByteArray block;
    if (m_fd < 0 || m_gone || count <= 0)
        return block;
    block.resize(count);
    int got = 0;
    while (got < count) {
        const ssize_t n = m_sys.read(m_fd, block.data() + got, size_t(count - got));
        if (n > 0) {
            got += int(n);
            continue;
        }
        if (n < 0 && n != -EAGAIN && n != -EINTR) {
            lostDevice(int(n)); // EIO, ENODEV, ENXIO: the device went away
            break;
        }
        const qint64 left = deadlineNs - monotonicNs();
        if (left <= 0)
            break;
        const int events = m_sys.poll(m_fd, POLLIN, left);
        // A hung-up port reads as empty and polls as ready for ever: take it as gone.
        if ((events < 0 && events != -EINTR) ||
            (events > 0 && (events & (POLLERR | POLLHUP | POLLNVAL)))) {
            lostDevice(events < 0 ? events : 0);
            break;
        }
    }
    block.truncate(got);
    return block;
}

void SerialDevice::purgeInput()
{
    if (m_fd < 0 || m_gone)
        return;
    if (const int r = m_sys.tcflush(m_fd, TCIFLUSH); r != 0)
        lostDevice(r);
}

void SerialDevice::close()
{
    if (m_fd < 0) {
        releaseLock();
        return;
    }
    // Put back what the port had: another program, or the console, may rely on its mode.
    if (m_rs485Set)
        m_sys.ioctl(m_fd, TIOCSRS485, &m_savedRs485);
    if (m_lowLatencySet)
        m_sys.ioctl(m_fd, TIOCSSERIAL, &m_savedSerial);
    // On a pty, "pending output" is what the other end has not read yet: bytes that have
    // already left, as far as any wire is concerned.
    m_sys.tcflush(m_fd, m_isPty ? TCIFLUSH : TCIOFLUSH);
    m_sys.ioctl(m_fd, TIOCNXCL, nullptr);
    m_sys.close(m_fd);
    m_fd = -1;
    releaseLock();
    m_rs485Set = false;
    m_lowLatencySet = false;
    m_manualRts = false;
    m_configured = false;
}

} // namespace comm
