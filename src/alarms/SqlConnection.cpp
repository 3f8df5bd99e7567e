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
    if (!query.prepare(sql))
        fail(query.lastError());
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        query.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!query.exec())
        fail(query.lastError());
    return query;
}

void SqlConnection::transaction(const std::function<void()>& work)
{
    QSqlDatabase db = database();
    if (!db.transaction())
        fail(db.lastError());
    m_inTransaction = true;
    try {
        work();
        if (!db.commit())
            fail(db.lastError());
    } catch (...) {
        m_inTransaction = false;
        db.rollback();
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
    if (!query.exec(QStringLiteral("SELECT 1")))
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
