#include "alarms/SqlConnection.h"

#include "core/QuillmereError.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlError>

namespace alarms {

SqlConnection::SqlConnection(QString connectionName) : m_name(std::move(connectionName)) {}

QSqlDatabase SqlConnection::database()
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isValid())
        throw QuillmereError(QStringLiteral("The database %1 is not open").arg(m_name));
    if (db.isOpen())
        return db;
    // Closed after its connection was lost. A server that did not answer the last attempt is
    // not asked again at every operation: each attempt may cost the window the connect
    // timeout.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (m_retryAt.isValid() && now < m_retryAt) {
        throw QuillmereError(
            QStringLiteral("The database %1 cannot be reached (%2); the next attempt is at %3")
                .arg(m_name, m_unreachable,
                     QLocale::system().toString(m_retryAt.toLocalTime().time(),
                                                QLocale::LongFormat)));
    }
    const QString message = openSession(db);
    if (!message.isEmpty()) {
        m_retryAt = now.addMSecs(RetryPauseMs);
        m_unreachable = errorText(db.lastError());
        if (m_unreachable.isEmpty())
            m_unreachable = message.trimmed();
        m_lastError = db.lastError();
        throw QuillmereError(m_unreachable);
    }
    m_retryAt = {};
    m_unreachable.clear();
    if (m_onOpen)
        m_onOpen(db);
    return db;
}

bool SqlConnection::isOpen() const
{
    return QSqlDatabase::database(m_name, false).isOpen();
}

QSqlQuery SqlConnection::exec(const QString& sql, const QVariantMap& parameters)
{
    QSqlDatabase db = database();
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // The prepare is a round trip to the server as well.
    m_watchdog.arm(db, StatementTimeoutMs + WatchdogMarginMs);
    bool done = query.prepare(sql);
    if (done) {
        for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
            query.bindValue(QLatin1Char(':') + it.key(), it.value());
        done = query.exec();
    }
    if (m_watchdog.disarm()) {
        m_lastError = query.lastError();
        probe(); // finds the socket shut and closes the connection
        throw QuillmereError(
            QStringLiteral("The database %1 did not answer within %2 s: the connection is "
                           "closed and opened again at the next operation")
                .arg(m_name)
                .arg((StatementTimeoutMs + WatchdogMarginMs) / 1000.0));
    }
    if (!done)
        fail(query.lastError());
    return query;
}

void SqlConnection::transaction(const std::function<void()>& work)
{
    QSqlDatabase db = database();
    // BEGIN, COMMIT and ROLLBACK wait for the server too.
    const auto bounded = [this, &db](const std::function<bool()>& step) {
        m_watchdog.arm(db, StatementTimeoutMs + WatchdogMarginMs);
        const bool done = step();
        return !m_watchdog.disarm() && done;
    };
    if (!bounded([&db] { return db.transaction(); }))
        fail(db.lastError());
    m_inTransaction = true;
    try {
        work();
        if (!bounded([&db] { return db.commit(); }))
            fail(db.lastError());
    } catch (...) {
        m_inTransaction = false;
        bounded([&db] { return db.rollback(); });
        probe();
        throw;
    }
    m_inTransaction = false;
}

QString SqlConnection::driverName()
{
    return QSqlDatabase::database(m_name, false).driverName();
}

void SqlConnection::probe()
{
    // A failed statement does not say whether the connection is still there; a trivial one
    // does. Inside a transaction PostgreSQL refuses everything until the rollback, so the
    // caller probes after it.
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.isOpen())
        return;
    QSqlQuery query(db);
    m_watchdog.arm(db, StatementTimeoutMs + WatchdogMarginMs);
    const bool answered = query.exec(QStringLiteral("SELECT 1"));
    if (m_watchdog.disarm() || !answered)
        db.close();
}

void SqlConnection::fail(const QSqlError& error)
{
    m_lastError = error;
    if (!m_inTransaction)
        probe();
    throw QuillmereError(errorText(error));
}

QString SqlConnection::errorText(const QSqlError& error)
{
    // The database's own words; the driver's ("Unable to fetch row") only when it has none.
    QString text = error.databaseText().trimmed();
    // QPSQL appends the SQLSTATE in brackets, empty when the server was gone.
    if (text.endsWith(QLatin1String("()")))
        text = text.chopped(2).trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

} // namespace alarms
