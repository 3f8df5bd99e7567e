#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace core {

// Time of day in the locale's long format, without the time zone names Qt adds to it
// ("14:05:09", "2:05:09 PM"): what an operator reads as "the time" in a log line.
QString longTimeText(const QTime& time, const QLocale& locale = QLocale::system());

} // namespace core
