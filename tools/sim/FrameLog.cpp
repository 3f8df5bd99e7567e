#include "FrameLog.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

FrameLog::FrameLog(Clock::time_point start) : m_start(start) {}

FrameLog::~FrameLog()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FrameLog::open(const QString& path, QString* error)
{
    if (path.isEmpty())
        return true;
    m_fd = ::open(QFile::encodeName(path).constData(),
                  O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0 && error)
        *error = QStringLiteral("cannot open log %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return m_fd >= 0;
}

void FrameLog::record(Clock::time_point received, int com, QByteArrayView bytes)
{
    if (m_fd >= 0)
        writeLine(received, com, bytes.toByteArray().toHex());
}

void FrameLog::note(Clock::time_point when, int com, const QByteArray& text)
{
    if (m_fd >= 0)
        writeLine(when, com, text);
}

void FrameLog::writeLine(Clock::time_point when, int com, const QByteArray& text)
{
    const double ms = std::chrono::duration<double, std::milli>(when - m_start).count();
    QByteArray line = QByteArray::number(ms, 'f', 3);
    line += " COM" + QByteArray::number(com) + ' ' + text + '\n';
    const std::lock_guard lock(m_mutex);
    // One write per line: O_APPEND keeps lines whole even if a reader is mid-file.
    const char* p = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

} // namespace sim
