#pragma once

#include "engine/StationModel.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

namespace engine {

struct RaisedAlarm
{
    QString line;      // "Monitor:2,Controller:7-->Deviation High Alarm!   Time:14:05:09"
    QString countText; // alarms raised for the slot so far: "01", "09", "10", "123"
};

// Checks a slot's PV against the band its alarm setting allows around the SV, once per
// excursion: a direction latches when the PV leaves the band and unlatches when it is back.
// Updates the latches and DeviationCount of `record`; returns the alarms to raise (at most
// one per direction, low first). A PV, SV or limit that is not a number changes nothing.
// `timeText` is the time of day taken when the evaluation began.
QList<RaisedAlarm> EvaluateDeviation(StationRecord& record, int monitor, int slot,
                                     const QString& pvText, const QString& svText,
                                     const QString& timeText,
                                     const QLocale& locale = QLocale::system());

// The count text of the alarm count table: a leading "0" below 10.
QString alarmCountText(int count);

// A value text as an exact fixed-point number (units of 10^-9), or nothing. Takes what the
// program itself writes: the locale's decimal separator or a point, an optional sign, and the
// scientific form of large readings ("3.277E+004").
std::optional<qint64> exactValue(const QString& text, const QLocale& locale = QLocale::system());

} // namespace engine
