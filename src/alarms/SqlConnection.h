#pragma once

#include "alarms/AlarmDatabases.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <functional>

namespace alarms {

// One named connection as the alarm tables use it. Parameters are always bound, as text
// unless a number is given, never spliced into the SQL. A failure raises QuillmereError with
// the driver's message; when the connection itself is gone (a restarted server) it is closed,
// and the next call opens it again, so one failed operation does not stop all later ones.
class SqlConnection
{
public:
    explicit SqlConnection(QString connectionName);

    // Prepares and runs `sql`; the query is positioned before its first row.
    QSqlQuery exec(const QString& sql, const QVariantMap& parameters = {});

    // Runs `work` in one transaction: committed when it returns, rolled back when it raises.
    void transaction(const std::function<void()>& work);

    QString driverName();

    // The error of the last failed call, for telling one refusal from another.
    QSqlError lastError() const { return m_lastError; }

    // The message an operator is shown for `error`.
    static QString errorText(const QSqlError& error);

private:
    QSqlDatabase database();
    void probe();
    [[noreturn]] void fail(const QSqlError& error);

    QString m_name;
    QSqlError m_lastError;
    bool m_inTransaction = false;
};

} // namespace alarms
