#pragma once

#include "link/TtySystem.h"

namespace comm {

// The system's own calls. Holders are found by looking through /proc/<pid>/fd for the
// device's number; processes of other users stay hidden there unless we run as root.
class PosixTtySystem final : public TtySystem
{
public:
    int open(const QByteArray& path) override;
    void close(int fd) override;
    int ioctl(int fd, unsigned long request, void* arg) override;
    int tcgetattr(int fd, termios* tio) override;
    int tcsetattr(int fd, const termios& tio) override;
    int tcflush(int fd, int queues) override;
    int flock(int fd) override;
    int fstat(int fd, struct stat* st) override;
    int stat(const QByteArray& path, struct stat* st) override;
    ssize_t read(int fd, char* buffer, size_t count) override;
    ssize_t write(int fd, const char* bytes, size_t count) override;
    int poll(int fd, short events, qint64 timeoutNs) override;
    QList<qint64> holders(dev_t rdev) override;
    bool lockFileHeld(const QString& devicePath) override;
};

// Whether another living process holds a UUCP lock file ("LCK..ttyS0") for the device.
bool lockedByAnotherProgram(const QString& devicePath);

} // namespace comm
