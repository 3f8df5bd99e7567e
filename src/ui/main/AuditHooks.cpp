#include "ui/main/AuditHooks.h"

#include "alarms/AlarmSetting.h"
#include "audit/AuditEntry.h"
#include "audit/AuditLog.h"
#include "audit/ClockJumpWatch.h"
#include "store/RegistryFile.h"
#include "ui/Handled.h"

#include <QJsonArray>

#include <QJsonObject>

namespace {

bool isSecret(const QString& valueName)
{
    return valueName.contains(QLatin1String("pass"), Qt::CaseInsensitive) ||
           valueName.contains(QLatin1String("pawd"), Qt::CaseInsensitive);
}

QString shortKey(const QString& path)
{
    return path.section(QLatin1Char('\\'), -1);
}

QJsonValue shown(const std::optional<QString>& v)
{
    return v ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonArray rowsJson(const QList<alarms::AlarmSetting>& rows)
{
    QJsonArray a;
    for (const auto& r : rows)
        a.append(QJsonObject{{QStringLiteral("monitor"), r.Panel},
                             {QStringLiteral("slot"), r.ControllerNO},
                             {QStringLiteral("high"), r.HAlarm},
                             {QStringLiteral("low"), r.LAlarm},
                             {QStringLiteral("first alarm"), r.FirstAlarm}});
    return a;
}

} // namespace

QJsonObject alarmSettingDetails(const QString& action, const QList<alarms::AlarmSetting>& before,
                                const QList<alarms::AlarmSetting>& after)
{
    QJsonObject d{{QStringLiteral("action"), action},
                  {QStringLiteral("old"), rowsJson(before)},
                  {QStringLiteral("new"), rowsJson(after)}};
    const QList<alarms::AlarmSetting>& one = after.size() == 1 ? after : before;
    if (one.size() == 1) {
        d.insert(QStringLiteral("monitor"), one.front().monitor());
        d.insert(QStringLiteral("slot"), one.front().slot());
    }
    return d;
}

void connectAuditTrail(audit::AuditLog& log, store::RegistryFile& settings, QObject* owner)
{
    settings.setChangeListener([&log](const QList<store::RegistryFile::Change>& changes) {
        for (const auto& c : changes) {
            const QString key = shortKey(c.key);
            const bool title = key.compare(QLatin1String("FmHome"), Qt::CaseInsensitive) == 0 &&
                               c.name.compare(QLatin1String("HmTitle"), Qt::CaseInsensitive) == 0;
            QJsonObject d{{QStringLiteral("key"), key}, {QStringLiteral("value"), c.name}};
            if (isSecret(c.name)) {
                // The password's text never enters the trail.
                d.insert(QStringLiteral("new"), QStringLiteral("changed"));
            } else {
                d.insert(QStringLiteral("old"), shown(c.old));
                d.insert(QStringLiteral("new"), shown(c.now));
            }
            log.record(title ? audit::kind::Title : audit::kind::Setting, d);
        }
    });
    auto* watch = new audit::ClockJumpWatch(owner);
    QObject::connect(watch, &audit::ClockJumpWatch::jumped, owner,
                     handled([&log](const QDateTime& expected, const QDateTime& actual,
                                    qint64 jumpMs) {
                         log.record(
                             audit::kind::ClockJump,
                             {{QStringLiteral("expected"), expected.toString(Qt::ISODateWithMs)},
                              {QStringLiteral("clock"), actual.toString(Qt::ISODateWithMs)},
                              {QStringLiteral("jump ms"), jumpMs}});
                     }));
}
