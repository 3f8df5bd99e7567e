#include "core/LocaleText.h"

#include <QRegularExpression>

namespace core {
namespace {

// One stretch of the format outside quotes, where every letter is a format letter.
QString readablePart(QString part)
{
    // "t" is the zone (abbreviation or full name): drop it with the brackets around it
    // ("[t]", "(t)") and the blank or comma before it, or "14:05:09 []" is left.
    static const QRegularExpression bracketedZone(
        QStringLiteral("[\\s,]*[\\[(\\x{FF08}]\\s*t+\\s*[\\])\\x{FF09}]"));
    static const QRegularExpression zone(QStringLiteral("[\\s,]*t+"));
    // "B"/"b" is a day period that Qt does not know and would print as the letter; its nearest
    // meaning Qt writes is the locale's AM/PM designator, which also makes "h" 12-hour as
    // the locale meant it ("下午2:05:09").
    static const QRegularExpression dayPeriod(QStringLiteral("B+|b+"));
    part.remove(bracketedZone);
    part.remove(zone);
    part.replace(dayPeriod, QStringLiteral("AP"));
    return part;
}

} // namespace

QString longTimeFormat(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString readable;
    qsizetype i = 0;
    while (i < format.size()) {
        if (format[i] == QLatin1Char('\'')) {
            const qsizetype end = format.indexOf(QLatin1Char('\''), i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            readable += format.mid(i, stop - i);
            i = stop;
        } else {
            qsizetype end = format.indexOf(QLatin1Char('\''), i);
            if (end < 0)
                end = format.size();
            readable += readablePart(format.mid(i, end - i));
            i = end;
        }
    }
    return readable.trimmed();
}

QString longTimeText(const QTime& time, const QLocale& locale)
{
    return locale.toString(time, longTimeFormat(locale));
}

} // namespace core
