#pragma once

#include "link/TtySystem.h"

namespace comm {

// The system's own calls. Holders are found by reading the links /proc/<pid>/fd/<n>; processes
// of other users stay hidden there unless we run as root. Lock files go to /run/lock (or
// /var/lock where that is a folder of its own).
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
    int stat(const QByteArray& path, struct stat* st) override;
    ssize_t read(int fd, char* buffer, size_t count) override;
    ssize_t write(int fd, const char* bytes, size_t count) override;
    int poll(int fd, short events, qint64 timeoutNs) override;
    QList<qint64> holders(const QString& devicePath, dev_t rdev) override;
    int lockDevice(const QString& devicePath, qint64* holder) override;
    void unlockDevice(const QString& devicePath) override;
};

// The folders lock files are looked for in, each real folder once, the one ours go to first.
const QStringList& lockFolders();

} // namespace comm
