#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>

namespace comm {

// The calls the serial facility makes on a device, in one small table, so that tests can play
// the drivers this machine does not have: RS-485 cards, FTDI adapters, ports without modem
// lines, an adapter pulled out in the middle of a transaction. Each call returns what the
// system call returns, with -errno in place of -1 and errno.
class TtySystem
{
public:
    virtual ~TtySystem() = default;

    // Read and write, no controlling terminal, non-blocking, closed on exec: a descriptor.
    virtual int open(const QByteArray& path) = 0;
    virtual void close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual int tcgetattr(int fd, termios* tio) = 0;
    virtual int tcsetattr(int fd, const termios& tio) = 0;
    virtual int tcflush(int fd, int queues) = 0;
    // An exclusive advisory lock that does not wait.
    virtual int flock(int fd) = 0;
    // Follows links to what the path names.
    virtual int stat(const QByteArray& path, struct stat* st) = 0;
    virtual ssize_t read(int fd, char* buffer, size_t count) = 0;
    virtual ssize_t write(int fd, const char* bytes, size_t count) = 0;
    // Waits up to timeoutNs for `events`: the events that came, 0 at the timeout.
    virtual int poll(int fd, short events, qint64 timeoutNs) = 0;

    // Processes other than this one that have the device open: its path resolved, its number.
    // Never touches what other processes' descriptors lead to (a hung network or FUSE mount
    // would hang the caller), and needs no descriptor of the device itself.
    virtual QList<qint64> holders(const QString& devicePath, dev_t rdev) = 0;
    // Takes the device's UUCP lock file ("LCK..ttyUSB0"): 0 ours now, -EBUSY with *holder set
    // when a living process holds it, another -errno when no lock file could be written.
    virtual int lockDevice(const QString& devicePath, qint64* holder) = 0;
    // Removes our lock file of the device.
    virtual void unlockDevice(const QString& devicePath) = 0;
};

} // namespace comm
