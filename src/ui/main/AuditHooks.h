#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

class QObject;
namespace alarms {
struct AlarmSetting;
}
namespace audit {
class AuditLog;
}
namespace store {
class RegistryFile;
}

// Entries that come from the program's services rather than from one control: every setting a
// save changes (the tiles' titles and IDs, the dialogs' settings, the company title), the
// recording and publishing states (failures and their recovery) and a wall-clock jump.
QJsonObject alarmSettingDetails(const QString& action, const QList<alarms::AlarmSetting>& before,
                                const QList<alarms::AlarmSetting>& after);
void connectAuditTrail(audit::AuditLog& log, store::RegistryFile& settings, QObject* owner);
