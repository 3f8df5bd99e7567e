#include "alarms/AlarmSettingsTable.h"

#include "alarms/DuplicateAlarmSetting.h"
#include "core/Conversions.h"
#include "engine/StationModel.h"

#include <QHash>
#include <QMutexLocker>
#include <QSqlDriver>
#include <QSqlRecord>

namespace alarms {
namespace {

const QString Columns = QStringLiteral("Panel, ControllerNO, HAlarm, LAlarm, FirstAlarm");
const QString KeyCondition = QStringLiteral("Panel = :Panel AND ControllerNO = :ControllerNO");

// SQLite: SQLITE_CONSTRAINT, or its extended primary-key and unique codes; PostgreSQL:
// unique_violation.
bool isKeyViolation(const QSqlError& error)
{
    static const QStringList codes{QStringLiteral("19"), QStringLiteral("1555"),
                                   QStringLiteral("2067"), QStringLiteral("23505")};
    return codes.contains(error.nativeErrorCode());
}

QString firstAlarmText(bool alarmAtFirst)
{
    return alarmAtFirst ? QStringLiteral("YES") : QStringLiteral("NO");
}

QVariantMap keyParameters(const QString& panel, const QString& controllerNo)
{
    return {{QStringLiteral("Panel"), panel}, {QStringLiteral("ControllerNO"), controllerNo}};
}

// What storing or deleting a setting does to its slot: the engine starts counting afresh.
void setSlot(StationModel& model, int monitor, int slot, const QString& high, const QString& low,
             bool alarmAtFirst)
{
    if (!StationModel::isValidSlot(monitor, slot))
        return;
    QMutexLocker lock(&model.mutex);
    StationRecord& record = model.station(monitor, slot);
    record.HighLimitText = high;
    record.LowLimitText = low;
    record.AlarmAtFirst = alarmAtFirst;
    record.HighLatched = false;
    record.LowLatched = false;
    record.DeviationCount = 0;
}

void push(StationModel& model, const AlarmSettingValues& values)
{
    const AlarmSetting key{values.Panel, values.ControllerNO, {}, {}, {}};
    setSlot(model, key.monitor(), key.slot(), limitText(values.HAlarm), limitText(values.LAlarm),
            values.alarmAtFirst);
}

QVariantMap rowParameters(const AlarmSettingValues& values)
{
    QVariantMap parameters = keyParameters(values.Panel, values.ControllerNO);
    parameters.insert(QStringLiteral("HAlarm"), values.HAlarm);
    parameters.insert(QStringLiteral("LAlarm"), values.LAlarm);
    parameters.insert(QStringLiteral("FirstAlarm"), firstAlarmText(values.alarmAtFirst));
    return parameters;
}

} // namespace

AlarmSettingsTable::AlarmSettingsTable(const QString& connectionName)
    : m_name(connectionName), m_db(connectionName)
{
    m_db.exec(QStringLiteral("SELECT ") + Columns + QStringLiteral(" FROM DbAlarm WHERE 1 = 0"));
}

QList<AlarmSetting> AlarmSettingsTable::rows()
{
    // Without ORDER BY, PostgreSQL returns an updated row after the others.
    QSqlQuery query = m_db.exec(QStringLiteral("SELECT ") + Columns +
                                QStringLiteral(" FROM DbAlarm ORDER BY Panel, ControllerNO"));
    QList<AlarmSetting> rows;
    const auto limit = [&query](int column) {
        const QVariant value = query.value(column);
        return value.isNull() ? QString() : limitText(value.toDouble());
    };
    while (query.next()) {
        rows.append({query.value(0).toString(), query.value(1).toString(), limit(2), limit(3),
                     query.value(4).toString()});
    }
    return rows;
}

void AlarmSettingsTable::loadInto(StationModel& model)
{
    const QList<AlarmSetting> settings = rows();
    QMutexLocker lock(&model.mutex);
    for (const AlarmSetting& row : settings) {
        if (!StationModel::isValidSlot(row.monitor(), row.slot()))
            continue;
        StationRecord& record = model.station(row.monitor(), row.slot());
        record.HighLimitText = row.HAlarm;
        record.LowLimitText = row.LAlarm;
        record.AlarmAtFirst = row.alarmAtFirst();
    }
}

QList<AlarmSetting> AlarmSettingsTable::reloadInto(StationModel& model,
                                                   const QList<AlarmSetting>& before)
{
    const QList<AlarmSetting> after = rows();
    QHash<QString, AlarmSetting> old;
    for (const AlarmSetting& row : before)
        old.insert(row.Panel + QLatin1Char('/') + row.ControllerNO, row);
    for (const AlarmSetting& row : after) {
        const auto it = old.constFind(row.Panel + QLatin1Char('/') + row.ControllerNO);
        const bool same = it != old.constEnd() && it->HAlarm == row.HAlarm &&
                          it->LAlarm == row.LAlarm && it->FirstAlarm == row.FirstAlarm;
        // A changed setting starts counting afresh, as a change stored here does; the slots
        // nobody touched keep their latches and counts.
        if (!same)
            setSlot(model, row.monitor(), row.slot(), row.HAlarm, row.LAlarm, row.alarmAtFirst());
        old.remove(row.Panel + QLatin1Char('/') + row.ControllerNO);
    }
    for (const AlarmSetting& gone : std::as_const(old))
        setSlot(model, gone.monitor(), gone.slot(), {}, {}, false);
    return after;
}

bool AlarmSettingsTable::watchChanges(const std::function<void()>& changed)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.driverName() != QLatin1String("QPSQL"))
        return false;
    QSqlDriver* driver = db.driver();
    // Our own changes are in the model already; another session's are read again. The
    // context is the driver: the connection goes with it.
    QObject::connect(
        driver, &QSqlDriver::notification, driver,
        [changed](const QString& name, QSqlDriver::NotificationSource source, const QVariant&) {
            if (name == ChangeChannel && source != QSqlDriver::SelfSource)
                changed();
        });
    // A closed connection has forgotten its LISTEN, and what changed meanwhile was never told.
    m_db.setOnOpen([changed](QSqlDatabase& reopened) {
        reopened.driver()->subscribeToNotification(ChangeChannel);
        changed();
    });
    return driver->subscribeToNotification(ChangeChannel);
}

void AlarmSettingsTable::insert(const AlarmSettingValues& values, StationModel& model)
{
    // A key that cannot be read back as a number would be a row no slot can ever use.
    core::toInteger(values.Panel);
    core::toInteger(values.ControllerNO);
    try {
        m_db.exec(QStringLiteral("INSERT INTO DbAlarm (") + Columns +
                      QStringLiteral(") VALUES (:Panel, :ControllerNO, :HAlarm, :LAlarm, "
                                     ":FirstAlarm)"),
                  rowParameters(values));
    } catch (const QuillmereError& error) {
        if (isKeyViolation(m_db.lastError()))
            throw DuplicateAlarmSetting(error.message(), values.Panel, values.ControllerNO);
        throw;
    }
    push(model, values);
}

void AlarmSettingsTable::update(const AlarmSettingValues& values, StationModel& model)
{
    const QSqlQuery query =
        m_db.exec(QStringLiteral("UPDATE DbAlarm SET HAlarm = :HAlarm, LAlarm = :LAlarm, "
                                 "FirstAlarm = :FirstAlarm WHERE ") +
                      KeyCondition,
                  rowParameters(values));
    if (query.numRowsAffected() == 0) {
        throw QuillmereError(QStringLiteral("The alarm setting of Monitor %1, Controller %2 is "
                                            "no longer in the table: nothing was stored")
                                 .arg(values.Panel, values.ControllerNO));
    }
    push(model, values);
}

void AlarmSettingsTable::remove(const QString& panel, const QString& controllerNo,
                                StationModel& model)
{
    m_db.exec(QStringLiteral("DELETE FROM DbAlarm WHERE ") + KeyCondition,
              keyParameters(panel, controllerNo));
    const AlarmSetting row{panel, controllerNo, {}, {}, {}};
    setSlot(model, row.monitor(), row.slot(), {}, {}, false);
}

void AlarmSettingsTable::removeAll(StationModel& model)
{
    QList<AlarmSetting> removed;
    // The keys and the delete in one transaction: a row added meanwhile by another
    // workstation is either listed and cleared or still there.
    m_db.transaction([&] {
        QSqlQuery query = m_db.exec(QStringLiteral("SELECT Panel, ControllerNO FROM DbAlarm"));
        while (query.next())
            removed.append({query.value(0).toString(), query.value(1).toString(), {}, {}, {}});
        m_db.exec(QStringLiteral("DELETE FROM DbAlarm"));
    });
    for (const AlarmSetting& row : removed)
        setSlot(model, row.monitor(), row.slot(), {}, {}, false);
}

} // namespace alarms
