#pragma once

#include <QLocale>
#include <QString>

namespace alarms {

// One row of the alarm settings table as the grid and the Modify dialog read it.
struct AlarmSetting
{
    QString Panel;        // as stored: "1".."3" (texts the program never wrote are kept too)
    QString ControllerNO; // as stored: "01".."10"
    QString HAlarm;       // shortest text of the stored number: "5", "3.5", "-2"
    QString LAlarm;
    QString FirstAlarm; // "YES" or "NO"

    bool alarmAtFirst() const { return FirstAlarm == QLatin1String("YES"); }
    // The slot the row is for, or 0 when the text is not an integer in 1..3 / 1..10.
    int monitor() const;
    int slot() const;
};

// What Add and Modify store: the key as text, the limits already converted from the typed
// text (core::toFloat), the first-alarm choice.
struct AlarmSettingValues
{
    QString Panel;
    QString ControllerNO;
    double HAlarm = 0;
    double LAlarm = 0;
    bool alarmAtFirst = false;
};

// A limit as the table gives it back as text: the shortest decimal form, never an exponent,
// with the locale's decimal separator, so the Modify dialog's text converts back unchanged.
QString limitText(double value, const QLocale& locale = QLocale::system());

} // namespace alarms
