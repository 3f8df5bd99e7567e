#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <array>

namespace record {

constexpr int Monitors = 3;
constexpr int Slots = 10;

// PV and SV texts of one slot as the station model holds them; empty when no value is held.
struct SlotTexts
{
    QString pv;
    QString sv;
};
using MonitorTexts = std::array<SlotTexts, Slots>;
using RecordValues = std::array<MonitorTexts, Monitors>;

// The data file's name for the moment `at`: the locale's short date with "/" made "_", then
// for hour files "_", the AM/PM designator, the 12-hour clock hour and "時"; then ".txt" or
// ".xls". saveUnit 1 is Day, anything else Hour; fileType 0 is .txt, anything else .xls.
QString fileName(const QDateTime& at, int saveUnit, int fileType,
                 const QLocale& locale = QLocale::system());

// The header line of a new file, in the system encoding.
QByteArray headerLine(int fileType);

// One Monitor's row: the time text, then PV and SV of slots 1..10 ("Empty" for no value).
QByteArray rowLine(const QString& timeText, const MonitorTexts& values);

} // namespace record
