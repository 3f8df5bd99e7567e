#pragma once

#include "alarms/AlarmDatabases.h"
#include "alarms/StatementWatchdog.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace alarms {

// One named connection as the alarm tables use it. Parameters are always bound, as text
// unless a number is given, never spliced into the SQL. A failure raises QuillmereError with
// the driver's message; when the connection itself is gone (a restarted server) it is closed,
// and the next call opens it again, so one failed operation does not stop all later ones. A
// connect that fails is not tried again for RetryPauseMs: meanwhile calls fail at once.
class SqlConnection
{
public:
    explicit SqlConnection(QString connectionName);

    // Prepares and runs `sql`; the query is positioned before its first row.
    QSqlQuery exec(const QString& sql, const QVariantMap& parameters = {});

    // Runs `work` in one transaction: committed when it returns, rolled back when it raises.
    void transaction(const std::function<void()>& work);

    QString driverName();
    // Runs after every reopen of a lost connection (not the first open, made by openDatabase).
    void setOnOpen(std::function<void(QSqlDatabase&)> onOpen) { m_onOpen = std::move(onOpen); }
    // False after the connection was lost, until an operation opens it again.
    bool isOpen() const;
    // A server seen to answer again: the next call connects without waiting out the pause.
    void retryNow() { m_retryAt = {}; }
    // How long a server that did not answer a connect is left alone before the next attempt.
    static constexpr int RetryPauseMs = 10000;
    // The client's own bound on a statement, past the server's statement_timeout: for a
    // server that hangs and so cannot end it.
    static constexpr int WatchdogMarginMs = 1000;

    // The error of the last failed call, for telling one refusal from another.
    QSqlError lastError() const { return m_lastError; }

    // The message an operator is shown for `error`.
    static QString errorText(const QSqlError& error);

private:
    QSqlDatabase database();
    void probe();
    [[noreturn]] void fail(const QSqlError& error);

    QString m_name;
    StatementWatchdog m_watchdog;
    QSqlError m_lastError;
    bool m_inTransaction = false;
    std::function<void(QSqlDatabase&)> m_onOpen;
    QDateTime m_retryAt;   // no connect before this, after one failed
    QString m_unreachable; // why the last connect failed
};

} // namespace alarms
