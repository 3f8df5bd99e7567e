#include "alarms/StatementWatchdog.h"

#include <QSqlDriver>
#include <QVariant>
#include <libpq-fe.h>
#include <sys/socket.h>

namespace alarms {

StatementWatchdog::StatementWatchdog() : m_thread([this] { run(); }) {}

StatementWatchdog::~StatementWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void StatementWatchdog::arm(const QSqlDatabase& db, int ms)
{
    if (db.driverName() != QLatin1String("QPSQL") || !db.driver())
        return;
    const QVariant handle = db.driver()->handle();
    // Qt names the type after libpq's struct.
    if (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0)
        return;
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    const int fd = connection ? PQsocket(connection) : -1;
    if (fd < 0)
        return;
    {
        std::lock_guard lock(m_mutex);
        m_fd = fd;
        m_fired = false;
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    m_wake.notify_all();
}

bool StatementWatchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    m_fd = -1;
    return std::exchange(m_fired, false);
}

void StatementWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (m_fd < 0) {
            m_wake.wait(lock);
            continue;
        }
        if (m_wake.wait_until(lock, m_deadline) == std::cv_status::timeout && m_fd >= 0 &&
            std::chrono::steady_clock::now() >= m_deadline) {
            // Under the lock: once disarm() has returned, the descriptor is not touched.
            ::shutdown(m_fd, SHUT_RDWR);
            m_fd = -1;
            m_fired = true;
        }
    }
}

} // namespace alarms
