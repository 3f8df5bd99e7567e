#include "link/PosixTtySystem.h"

#include "link/UucpLock.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace comm {

namespace {

int result(int r)
{
    return r < 0 ? -errno : r;
}

bool isNumber(const char* name)
{
    if (!*name)
        return false;
    for (; *name; ++name)
        if (*name < '0' || *name > '9')
            return false;
    return true;
}

} // namespace

int PosixTtySystem::open(const QByteArray& path)
{
    return result(::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
}

void PosixTtySystem::close(int fd)
{
    ::close(fd);
}

int PosixTtySystem::ioctl(int fd, unsigned long request, void* arg)
{
    return result(::ioctl(fd, request, arg));
}

int PosixTtySystem::tcgetattr(int fd, termios* tio)
{
    return result(::tcgetattr(fd, tio));
}

int PosixTtySystem::tcsetattr(int fd, const termios& tio)
{
    return result(::tcsetattr(fd, TCSANOW, &tio));
}

int PosixTtySystem::tcflush(int fd, int queues)
{
    return result(::tcflush(fd, queues));
}

int PosixTtySystem::flock(int fd)
{
    return result(::flock(fd, LOCK_EX | LOCK_NB));
}

int PosixTtySystem::stat(const QByteArray& path, struct stat* st)
{
    return result(::stat(path.constData(), st));
}

ssize_t PosixTtySystem::read(int fd, char* buffer, size_t count)
{
    const ssize_t n = ::read(fd, buffer, count);
    return n < 0 ? -errno : n;
}

ssize_t PosixTtySystem::write(int fd, const char* bytes, size_t count)
{
    const ssize_t n = ::write(fd, bytes, count);
    return n < 0 ? -errno : n;
}

int PosixTtySystem::poll(int fd, short events, qint64 timeoutNs)
{
    pollfd pfd{fd, events, 0};
    const timespec ts{time_t(timeoutNs / 1'000'000'000), long(timeoutNs % 1'000'000'000)};
    const int n = ::ppoll(&pfd, 1, &ts, nullptr);
    if (n < 0)
        return -errno;
    return n == 0 ? 0 : pfd.revents;
}

QList<qint64> PosixTtySystem::holders(const QString& devicePath, dev_t rdev)
{
    // The link text of a descriptor is the path it was opened by, resolved; a device opened
    // through its /dev/char name shows that. Comparing texts never stats the target, which
    // would block on a descriptor into a hung network or FUSE mount.
    const QByteArray byPath = QFile::encodeName(devicePath);
    char byNumber[48];
    std::snprintf(byNumber, sizeof byNumber, "/dev/char/%u:%u", major(rdev), minor(rdev));
    QList<qint64> pids;
    const pid_t self = ::getpid();
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return pids;
    while (const dirent* process = ::readdir(proc)) {
        if (!isNumber(process->d_name) || std::atol(process->d_name) == self)
            continue;
        char fdDir[sizeof process->d_name + 16];
        std::snprintf(fdDir, sizeof fdDir, "/proc/%s/fd", process->d_name);
        // Another user's process: not ours to look into, unless we run as root.
        DIR* fds = ::opendir(fdDir);
        if (!fds)
            continue;
        const int dirFd = ::dirfd(fds);
        while (const dirent* entry = ::readdir(fds)) {
            char target[PATH_MAX];
            if (!isNumber(entry->d_name))
                continue;
            const ssize_t n = ::readlinkat(dirFd, entry->d_name, target, sizeof target - 1);
            if (n <= 0)
                continue;
            target[n] = 0;
            if (byPath == target || std::strcmp(byNumber, target) == 0) {
                pids << qint64(std::atol(process->d_name));
                break;
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return pids;
}

const QStringList& lockFolders()
{
    // /var/lock is normally a link to /run/lock: each real folder is looked at once.
    static const QStringList folders = [] {
        QStringList real;
        for (const char* dir : {"/run/lock", "/var/lock"}) {
            const QString path = QFileInfo(QLatin1String(dir)).canonicalFilePath();
            if (!path.isEmpty() && !real.contains(path))
                real << path;
        }
        return real;
    }();
    return folders;
}

int PosixTtySystem::lockDevice(const QString& devicePath, qint64* holder)
{
    return takeLockFile(lockFolders(), devicePath, holder);
}

void PosixTtySystem::unlockDevice(const QString& devicePath)
{
    releaseLockFile(lockFolders(), devicePath);
}

} // namespace comm
