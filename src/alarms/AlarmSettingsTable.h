#pragma once

#include "alarms/AlarmSetting.h"
#include "alarms/SqlConnection.h"

#include <QList>

class StationModel;

namespace alarms {

// `TableAlm`: the alarm settings table DbAlarm of the named database DbAlarmInfo, opened
// (openDatabase) beforehand. Every change that is stored is pushed at once into the slot's
// alarm fields of the station model, all six of them in one hold of the model lock, so the
// engine never sees a new high limit with an old low limit. Every operation is on the
// user-interface thread and raises QuillmereError with the database's message on failure,
// having stored nothing; after a lost connection the next operation reconnects.
class AlarmSettingsTable
{
public:
    // Checks that the table is there: a missing table is start-up's error, not the first Add's.
    explicit AlarmSettingsTable(const QString& connectionName = DbAlarmInfo);

    // Every row in key order (Panel, ControllerNO as stored texts), the same on every database.
    QList<AlarmSetting> rows();

    // Start-up: every row's limits and first-alarm choice into its slot; rows outside 1..3 /
    // 1..10 are skipped. Latches and counts are left alone.
    void loadInto(StationModel& model);

    // A change made elsewhere (another workstation): reads the table again and puts into the
    // model what differs from `before` (what this program listed last): changed or new rows
    // as a stored change does (latches cleared, count 0), rows gone as a delete does; slots
    // whose setting is unchanged are left alone. The rows now in the table.
    QList<AlarmSetting> reloadInto(StationModel& model, const QList<AlarmSetting>& before);

    // On PostgreSQL: `changed` runs when another session has changed the table (the trigger of
    // alarm-tables.sql notifies ChangeChannel) and after every reconnect, since changes made
    // while the connection was down were never told. False on a database without it.
    bool watchChanges(const std::function<void()>& changed);
    static inline const QString ChangeChannel = QStringLiteral("dbalarm_changed");

    // Add: stores one row; on success the slot gets its limits, its latches cleared and its
    // count 0. A key stored already raises DuplicateAlarmSetting (the database's refusal);
    // a key that is not an integer raises the integer conversion error; nothing is stored then.
    void insert(const AlarmSettingValues& values, StationModel& model);

    // Modify: replaces the limits and the first-alarm choice of the row with the key
    // (values.Panel, values.ControllerNO) - the row the dialog was opened for, whatever the
    // grid has selected since - then pushes it as insert does. A row deleted meanwhile raises
    // an error and nothing is stored.
    void update(const AlarmSettingValues& values, StationModel& model);

    // Delete: removes the row with this key and clears its slot's six alarm fields.
    void remove(const QString& panel, const QString& controllerNo, StationModel& model);

    // Delete All: removes every row at once (all or nothing) and clears their slots.
    void removeAll(StationModel& model);

    // The connection: for the periodic check of a server connection.
    SqlConnection& connection() { return m_db; }

private:
    QString m_name;
    SqlConnection m_db;
};

} // namespace alarms
