#include "link/UucpLock.h"

#include <QFile>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace comm {

namespace {

// The lock files this process holds, by full path: released at close, or all at once on the
// way out.
QMutex heldMutex;
QSet<QByteArray> held;

QByteArray readHead(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    char buffer[128];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return n > 0 ? QByteArray(buffer, qsizetype(n)) : QByteArray();
}

QByteArray lockPath(const QString& folder, const QString& devicePath)
{
    return QFile::encodeName(folder + QLatin1Char('/') + lockFileName(devicePath));
}

bool isOurs(const QByteArray& path)
{
    return lockFileOwner(readHead(path)) == qint64(::getpid());
}

// Whether a lock file naming `owner` keeps us out. One naming this process but not taken
// here belongs to another part of it (a serial port object of a tool or a test).
bool heldAgainstUs(const QByteArray& path, qint64 owner)
{
    if (owner == qint64(::getpid())) {
        QMutexLocker guard(&heldMutex);
        return !held.contains(path);
    }
    return owner != 0 && processAlive(owner);
}

} // namespace

QString lockFileName(const QString& devicePath)
{
    QString name = devicePath;
    if (name.startsWith(QLatin1String("/dev/")))
        name = name.mid(5);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QLatin1String("LCK..") + name;
}

qint64 lockFileOwner(const QByteArray& content)
{
    const auto isText = [](char c) {
        return (c >= '0' && c <= '9') || c == ' ' || c == '\t' || c == '\n' || c == '\r';
    };
    // Four bytes that are not digits and blanks: the binary form, in the host's byte order.
    if (content.size() == 4 && !std::all_of(content.begin(), content.end(), isText)) {
        qint32 pid = 0;
        std::memcpy(&pid, content.constData(), sizeof pid);
        return pid > 0 ? pid : 0;
    }
    qsizetype i = 0;
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t'))
        ++i;
    qint64 pid = 0;
    const qsizetype first = i;
    for (; i < content.size() && content[i] >= '0' && content[i] <= '9' && i - first < 10; ++i)
        pid = pid * 10 + (content[i] - '0');
    return pid > 0 && pid <= INT_MAX ? pid : 0;
}

bool processAlive(qint64 pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

int takeLockFile(const QStringList& folders, const QString& devicePath, qint64* holder)
{
    const qint64 self = ::getpid();
    for (const QString& folder : folders) {
        const QByteArray path = lockPath(folder, devicePath);
        const qint64 owner = lockFileOwner(readHead(path));
        if (heldAgainstUs(path, owner)) {
            *holder = owner;
            return -EBUSY;
        }
    }
    if (folders.isEmpty())
        return -ENOENT;
    const QByteArray lock = lockPath(folders.first(), devicePath);
    {
        QMutexLocker guard(&heldMutex);
        if (held.contains(lock) && isOurs(lock))
            return 0;
    }

    // Written whole under a name of our own, then linked into place: nobody reads a half-
    // written lock, and of two programs taking it at the same moment only one link succeeds.
    const QByteArray temp =
        QFile::encodeName(folders.first() + QStringLiteral("/LTMP.%1").arg(self));
    ::unlink(temp.constData());
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return -errno;
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10ld\n", long(self));
    const bool written = ::write(fd, text, size_t(length)) == length;
    ::close(fd);
    if (!written) {
        ::unlink(temp.constData());
        return -EIO;
    }
    int result = -EBUSY;
    for (int round = 0; round < 2; ++round) {
        if (::link(temp.constData(), lock.constData()) == 0) {
            result = 0;
            break;
        }
        if (errno != EEXIST) {
            result = -errno;
            break;
        }
        const qint64 owner = lockFileOwner(readHead(lock));
        if (heldAgainstUs(lock, owner)) {
            *holder = owner;
            break;
        }
        // Stale: the program that wrote it has gone (crashed, killed, ours of an earlier run),
        // or it names no process at all.
        ::unlink(lock.constData());
    }
    ::unlink(temp.constData());
    if (result == 0) {
        QMutexLocker guard(&heldMutex);
        held.insert(lock);
    }
    return result;
}

void releaseLockFile(const QStringList& folders, const QString& devicePath)
{
    if (folders.isEmpty())
        return;
    const QByteArray lock = lockPath(folders.first(), devicePath);
    QMutexLocker guard(&heldMutex);
    if (held.remove(lock) && isOurs(lock))
        ::unlink(lock.constData());
}

void releaseAllLockFiles()
{
    QMutexLocker guard(&heldMutex);
    for (const QByteArray& lock : std::as_const(held))
        if (isOurs(lock))
            ::unlink(lock.constData());
    held.clear();
}

} // namespace comm
