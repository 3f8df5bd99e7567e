#pragma once

#include <QSqlDatabase>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace alarms {

// The client's own bound on one statement. The server's statement_timeout ends a statement
// the server is slow with, but a server that hangs (stopped, stalled on its disk) with its
// host alive answers nothing, and its kernel keeps acknowledging and answering keepalives: the
// window would wait for ever. Armed around a statement, this ends the wait at the deadline by
// shutting the connection's socket down, which the driver reports as a lost connection.
class StatementWatchdog
{
public:
    StatementWatchdog();
    ~StatementWatchdog();
    StatementWatchdog(const StatementWatchdog&) = delete;
    StatementWatchdog& operator=(const StatementWatchdog&) = delete;

    // Watches `db` (PostgreSQL only; anything else is left alone) for `ms`.
    void arm(const QSqlDatabase& db, int ms);
    // True when the deadline had passed and the socket was shut down.
    bool disarm();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_fd = -1;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_fired = false;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace alarms
