#include "core/LocaleText.h"

#include <QRegularExpression>

namespace core {

QString longTimeText(const QTime& time, const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    // "t" is the zone (abbreviation or full name); drop it and the space or comma before it.
    static const QRegularExpression zone(QStringLiteral("[\\s,]*\\bt+\\b"));
    format.remove(zone);
    return locale.toString(time, format.trimmed());
}

} // namespace core
