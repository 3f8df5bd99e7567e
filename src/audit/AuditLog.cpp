#include "audit/AuditLog.h"

#include "audit/AuditChain.h"
#include "audit/AuditEntry.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace audit {

AuditFileOps systemFileOps()
{
    AuditFileOps ops;
    ops.write = [](int fd, const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    };
    ops.sync = [](int fd) { return ::fdatasync(fd) == 0; };
    return ops;
}

AuditLog::AuditLog(const QString& folder, QObject* parent)
    : QObject(parent), m_folder(folder), m_host(hostName()), m_user(osUser()),
      m_ops(systemFileOps()), m_utcNow([] { return QDateTime::currentDateTimeUtc(); })
{
}

void AuditLog::setIdentity(const QString& host, const QString& user)
{
    m_host = host;
    m_user = user;
}

bool AuditLog::record(const QString& kind, const QJsonObject& details)
{
    if (!QDir().mkpath(m_folder)) {
        m_lastError = QStringLiteral("cannot create %1").arg(m_folder);
        emit failed(m_lastError);
        return false;
    }
    if (m_lastHash.isEmpty())
        m_lastHash = lastHash(m_folder);
    AuditEntry entry;
    entry.utc = m_utcNow();
    entry.offset = utcOffsetText(entry.utc.toLocalTime().offsetFromUtc());
    entry.host = m_host;
    entry.user = m_user;
    entry.kind = kind;
    entry.details = details;
    entry.prev = m_lastHash;
    const QByteArray line = entryLine(entry);
    const QByteArray bytes =
        (m_needsNewline ? QByteArrayLiteral("\n") : QByteArray()) + line + '\n';
    const Outcome outcome = append(QDir(m_folder).filePath(monthFileName(entry.utc)), bytes);
    // A line that went into the file whole is part of the chain even when its sync failed.
    if (outcome != Outcome::WriteFailed)
        m_lastHash = lineHash(line);
    if (outcome != Outcome::Synced) {
        emit failed(m_lastError);
        return false;
    }
    emit recorded(line);
    return true;
}

AuditLog::Outcome AuditLog::append(const QString& path, const QByteArray& bytes)
{
    const bool created = !QFileInfo::exists(path);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_lastError = QStringLiteral("cannot open %1: %2")
                          .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return Outcome::WriteFailed;
    }
    const bool written = m_ops.write(fd, bytes);
    const bool synced = written && m_ops.sync(fd);
    ::close(fd);
    // A line cut short by a failed write stays, as evidence; the next one starts afresh.
    m_needsNewline = !written;
    if (!written || !synced) {
        m_lastError = QStringLiteral("cannot %1 %2")
                          .arg(written ? QStringLiteral("sync") : QStringLiteral("write"), path);
        return written ? Outcome::SyncFailed : Outcome::WriteFailed;
    }
    if (created) {
        // A new month's file exists after a crash only when its folder entry is on the disk too.
        const int dir =
            ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    return Outcome::Synced;
}

} // namespace audit
