#include "alarms/AlarmCountTable.h"

#include <QSqlRecord>

namespace alarms {
namespace {

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

AlarmCountTable::AlarmCountTable(const QString& connectionName) : m_db(connectionName)
{
    m_db.exec(QStringLiteral("SELECT AlarmCount, Panel, ControllerNO FROM DbAlmCount WHERE 1 = 0"));
}

void AlarmCountTable::resetAll()
{
    m_db.exec(QStringLiteral("Update DbAlmCount Set AlarmCount=:AlarmCount"),
              {{QStringLiteral("AlarmCount"), QStringLiteral("00")}});
}

void AlarmCountTable::write(int monitor, int slot, const QString& countText)
{
    m_db.exec(QStringLiteral("Update DbAlmCount Set AlarmCount= :AlarmCount\n"
                             "Where Panel=:Panel And ControllerNO=:ControllerNO"),
              {{QStringLiteral("AlarmCount"), countText},
               {QStringLiteral("Panel"), twoDigits(monitor)},
               {QStringLiteral("ControllerNO"), twoDigits(slot)}});
}

QList<AlarmCountRow> AlarmCountTable::frequencyRows()
{
    // The ORDER BY is ours: PostgreSQL hands back an updated row after the untouched ones,
    // and the grid lists the slots in their order on every database.
    QSqlQuery query =
        m_db.exec(QStringLiteral("Select * from DbAlmCount where AlarmCount!=:AlarmCount\n"
                                 "Order By Panel, ControllerNO"),
                  {{QStringLiteral("AlarmCount"), QStringLiteral("00")}});
    // By name, whatever case the database gives the columns (PostgreSQL: lower case).
    const QSqlRecord record = query.record();
    const int count = record.indexOf(QStringLiteral("AlarmCount"));
    const int panel = record.indexOf(QStringLiteral("Panel"));
    const int controller = record.indexOf(QStringLiteral("ControllerNO"));
    QList<AlarmCountRow> rows;
    while (query.next()) {
        rows.append({query.value(count).toString(), query.value(panel).toString(),
                     query.value(controller).toString()});
    }
    return rows;
}

} // namespace alarms
