#include "alarms/AlarmSetting.h"

#include "engine/StationModel.h"

namespace alarms {
namespace {

int indexIn(const QString& text, int last)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok && value >= 1 && value <= last ? value : 0;
}

} // namespace

int AlarmSetting::monitor() const
{
    return indexIn(Panel, MonitorCount);
}

int AlarmSetting::slot() const
{
    return indexIn(ControllerNO, SlotCount);
}

QString limitText(double value, const QLocale& locale)
{
    // 'f' with the shortest precision: "5", "3.5", "-2", "1000000", never "1e+06".
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    text.replace(QLatin1Char('.'), locale.decimalPoint());
    return text;
}

} // namespace alarms
