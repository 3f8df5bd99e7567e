#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace core {

// Time of day in the locale's long format as an operator reads it in a log line: without the
// time zone Qt adds to it (nor the brackets around it), and with the locale's AM/PM
// designators for a day period Qt cannot write ("14:05:09", "2:05:09 PM", "下午2:05:09").
QString longTimeText(const QTime& time, const QLocale& locale = QLocale::system());
// The format longTimeText writes with, for readers of what it wrote.
QString longTimeFormat(const QLocale& locale = QLocale::system());

} // namespace core
