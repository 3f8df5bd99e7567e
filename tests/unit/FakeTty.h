#pragma once

#include "link/MonotonicClock.h"
#include "link/TtySystem.h"
#include "link/UucpLock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QThread>
#include <functional>
#include <utility>

#include <cerrno>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>

// Serial drivers this machine does not have, played under the serial facility: each device
// answers the calls the way its driver would, and remembers what was set on it.
class FakeTty final : public comm::TtySystem
{
public:
    struct Device
    {
        // What the driver can do.
        bool pty = false;
        bool rs485 = false;             // has the kernel's RS-485 mode
        quint32 rs485Keeps = ~0u;       // flags it keeps; the kernel drops the others
        bool serialInfo = false;        // TIOCGSERIAL / TIOCSSERIAL
        bool serialInfoRefused = false; // ... but refuses to change it
        bool modemLines = true;         // TIOCMBIS / TIOCMBIC
        bool lineStatus = true;         // TIOCSERGETLSR; pl2303, ch341, cp210x have none
        bool permitted = true;          // the user may open it
        QList<qint64> holders;          // other processes that have it open
        bool lockedByOther = false;     // flock taken elsewhere
        bool exclusive = false;         // TIOCEXCL in force
        std::function<QByteArray(const QByteArray&)> answer;

        // Its state, as the test set it up and the facility left it.
        serial_rs485 rs485State{};
        serial_struct serialState{};
        int modemBits = TIOCM_DTR | TIOCM_RTS;
        termios tio{};
        QByteArray input;

        // What happened to it.
        bool present = true;
        int generation = 0; // bumped when plugged in again: descriptors of before are dead
        int opens = 0;
        int closes = 0;
        int settingsWritten = 0;
        int bothQueuesFlushed = 0;
        QList<QByteArray> writes;
        QList<bool> rtsDuringWrite;
        int rtsRaised = 0;        // by hand, through the modem-control call
        QList<qint64> rtsHeldNs;  // from each raise to its drop
        qint64 rtsRaisedAtNs = 0; // 0: not raised by hand
    };

    // `devices` outlives the fake; keyed by the device path the facility opens.
    explicit FakeTty(QMap<QByteArray, Device>* devices) : m_devices(devices) {}

    static void unplug(Device& d) { d.present = false; }
    // A new device under the old name: nothing of the old one's state is left.
    static void plug(Device& d)
    {
        d.present = true;
        ++d.generation;
        d.exclusive = false;
        d.input.clear();
    }

    int open(const QByteArray& path) override
    {
        const auto it = m_devices->find(path);
        if (it == m_devices->end() || !it->present)
            return -ENOENT;
        ++it->opens;
        if (!it->permitted)
            return -EACCES;
        const int fd = m_nextFd++;
        m_fds.insert(fd, {path, it->generation});
        return fd;
    }
    void close(int fd) override
    {
        if (Device* d = device(fd, true))
            ++d->closes;
        m_fds.remove(fd);
    }
    int ioctl(int fd, unsigned long request, void* arg) override
    {
        Device* d = device(fd);
        if (!d)
            return -EIO;
        switch (request) {
        case TIOCGEXCL:
            *static_cast<int*>(arg) = d->exclusive;
            return 0;
        case TIOCEXCL:
        case TIOCNXCL:
            d->exclusive = request == TIOCEXCL;
            return 0;
        case TIOCGRS485:
        case TIOCSRS485: {
            if (!d->rs485)
                return -ENOTTY;
            auto* rs = static_cast<serial_rs485*>(arg);
            if (request == TIOCGRS485) {
                *rs = d->rs485State;
            } else {
                d->rs485State = *rs;
                d->rs485State.flags &= d->rs485Keeps;
            }
            return 0;
        }
        case TIOCGSERIAL:
        case TIOCSSERIAL: {
            if (!d->serialInfo)
                return -ENOTTY;
            auto* ss = static_cast<serial_struct*>(arg);
            if (request == TIOCGSERIAL) {
                *ss = d->serialState;
                return 0;
            }
            if (d->serialInfoRefused)
                return -EPERM;
            d->serialState = *ss;
            return 0;
        }
        case TIOCMBIS:
        case TIOCMBIC: {
            if (!d->modemLines)
                return -ENOTTY;
            const int bits = *static_cast<int*>(arg);
            d->rtsRaised += request == TIOCMBIS && (bits & TIOCM_RTS);
            if (bits & TIOCM_RTS) {
                if (request == TIOCMBIS)
                    d->rtsRaisedAtNs = comm::monotonicNs();
                else if (d->rtsRaisedAtNs)
                    d->rtsHeldNs << comm::monotonicNs() - std::exchange(d->rtsRaisedAtNs, 0);
            }
            d->modemBits = request == TIOCMBIS ? d->modemBits | bits : d->modemBits & ~bits;
            return 0;
        }
        // A USB adapter takes the bytes off the host at once: the host queue is empty right
        // after the write, whatever is still on its way through the adapter.
        case TIOCOUTQ:
            *static_cast<int*>(arg) = 0;
            return 0;
        case TIOCSERGETLSR:
            if (!d->lineStatus)
                return -ENOTTY;
            *static_cast<int*>(arg) = TIOCSER_TEMT;
            return 0;
        default:
            return -ENOTTY;
        }
    }
    int tcgetattr(int fd, termios* tio) override
    {
        Device* d = device(fd);
        if (!d)
            return -EIO;
        *tio = d->tio;
        return 0;
    }
    int tcsetattr(int fd, const termios& tio) override
    {
        Device* d = device(fd);
        if (!d)
            return -EIO;
        ++d->settingsWritten;
        d->tio = tio;
        if (d->pty)
            d->tio.c_cflag &= ~(PARENB | PARODD);
        return 0;
    }
    int tcflush(int fd, int queues) override
    {
        Device* d = device(fd);
        if (!d)
            return -EIO;
        if (queues == TCIOFLUSH)
            ++d->bothQueuesFlushed;
        if (queues != TCOFLUSH)
            d->input.clear();
        return 0;
    }
    int flock(int fd) override
    {
        Device* d = device(fd);
        return !d ? -EIO : d->lockedByOther ? -EWOULDBLOCK : 0;
    }
    int stat(const QByteArray& path, struct stat* st) override
    {
        // The stand-in files of the devices; links to them are followed.
        const QByteArray real =
            QFile::encodeName(QFileInfo(QFile::decodeName(path)).canonicalFilePath());
        const auto it = m_devices->find(real);
        if (it == m_devices->end() || !it->present)
            return -ENOENT;
        return deviceStat(real, st);
    }
    ssize_t read(int fd, char* buffer, size_t count) override
    {
        Device* d = device(fd);
        if (!d)
            return 0; // what a hung-up port reads
        const QByteArray chunk = d->input.left(qsizetype(count));
        d->input.remove(0, chunk.size());
        std::copy(chunk.begin(), chunk.end(), buffer);
        return chunk.size();
    }
    ssize_t write(int fd, const char* bytes, size_t count) override
    {
        Device* d = device(fd);
        if (!d)
            return -EIO;
        const QByteArray frame(bytes, qsizetype(count));
        d->writes << frame;
        d->rtsDuringWrite << bool(d->modemBits & TIOCM_RTS);
        if (d->answer)
            d->input += d->answer(frame);
        return ssize_t(count);
    }
    int poll(int fd, short events, qint64 timeoutNs) override
    {
        Device* d = device(fd);
        if (!d)
            return POLLIN | POLLOUT | POLLERR | POLLHUP;
        if (events & POLLOUT)
            return POLLOUT;
        if (!d->input.isEmpty())
            return POLLIN;
        QThread::usleep(quint64(timeoutNs / 1000));
        return 0;
    }
    QList<qint64> holders(const QString& devicePath, dev_t) override
    {
        return m_devices->value(QFile::encodeName(devicePath)).holders;
    }
    // The lock files are real files, in `lockFolder` when one is set.
    int lockDevice(const QString& devicePath, qint64* holder) override
    {
        return lockFolder.isEmpty() ? -ENOENT
                                    : comm::takeLockFile({lockFolder}, devicePath, holder);
    }
    void unlockDevice(const QString& devicePath) override
    {
        if (!lockFolder.isEmpty())
            comm::releaseLockFile({lockFolder}, devicePath);
    }

    QString lockFolder;

    int openDescriptors() const { return int(m_fds.size()); }

private:
    struct Fd
    {
        QByteArray path;
        int generation = 0;
    };

    // The device behind a live descriptor; nullptr once it has been pulled out (unless
    // `evenIfGone`, for the calls that still work on a dead descriptor).
    Device* device(int fd, bool evenIfGone = false)
    {
        const auto it = m_fds.find(fd);
        if (it == m_fds.end())
            return nullptr;
        Device& d = (*m_devices)[it->path];
        if (!evenIfGone && (!d.present || d.generation != it->generation))
            return nullptr;
        return &d;
    }

    int deviceStat(const QByteArray& path, struct stat* st)
    {
        if (!m_minors.contains(path))
            m_minors.insert(path, int(m_minors.size()));
        *st = {};
        st->st_mode = S_IFCHR | 0660;
        st->st_rdev = makedev((*m_devices)[path].pty ? 136 : 188, unsigned(m_minors.value(path)));
        return 0;
    }

    QMap<QByteArray, Device>* m_devices;
    QMap<QByteArray, int> m_minors;
    QMap<int, Fd> m_fds;
    int m_nextFd = 100;
};
