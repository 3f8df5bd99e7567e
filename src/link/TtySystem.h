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
    virtual int fstat(int fd, struct stat* st) = 0;
    // Follows links to what the path names.
    virtual int stat(const QByteArray& path, struct stat* st) = 0;
    virtual ssize_t read(int fd, char* buffer, size_t count) = 0;
    virtual ssize_t write(int fd, const char* bytes, size_t count) = 0;
    // Waits up to timeoutNs for `events`: the events that came, 0 at the timeout.
    virtual int poll(int fd, short events, qint64 timeoutNs) = 0;

    // Processes other than this one that have the character device `rdev` open.
    virtual QList<qint64> holders(dev_t rdev) = 0;
    // Whether a living process holds a UUCP lock file ("LCK..ttyS0") for the device.
    virtual bool lockFileHeld(const QString& devicePath) = 0;
};

} // namespace comm
