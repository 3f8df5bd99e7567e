#include "alarms/AlarmCountTable.h"

#include "core/QuillmereError.h"
#include "engine/StationModel.h"

#include <QSet>
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
    // The program only ever updates rows: a slot without its row would count nothing, in
    // silence, for the whole run.
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT Panel, ControllerNO FROM DbAlmCount"));
    QSet<QString> present;
    while (query.next())
        present << query.value(0).toString() + QLatin1Char('/') + query.value(1).toString();
    QStringList missing;
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            if (!present.contains(twoDigits(m) + QLatin1Char('/') + twoDigits(s)))
                missing << twoDigits(m) + QLatin1Char('/') + twoDigits(s);
    if (!missing.isEmpty()) {
        throw QuillmereError(
            QStringLiteral("The alarm count table DbAlmCount of %1 lacks %2 of its 30 rows "
                           "(Panel/ControllerNO %3): alarms of those controllers could not be "
                           "counted. Make the table again with alarm-tables.sql.")
                .arg(connectionName)
                .arg(missing.size())
                .arg(missing.size() > 5
                         ? missing.mid(0, 5).join(QStringLiteral(", ")) + QStringLiteral(", ...")
                         : missing.join(QStringLiteral(", "))));
    }
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
