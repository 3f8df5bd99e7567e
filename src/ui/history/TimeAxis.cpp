#include "ui/history/TimeAxis.h"

#include "core/LocaleText.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

namespace historyview {
namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;
constexpr qint64 Hour = 60 * Minute;
constexpr qint64 Day = 24 * Hour;

constexpr qint64 Steps[] = {Second,  2 * Second, 5 * Second, 10 * Second, 15 * Second, 30 * Second,
                            Minute,  2 * Minute, 5 * Minute, 10 * Minute, 15 * Minute, 30 * Minute,
                            Hour,    2 * Hour,   3 * Hour,   6 * Hour,    12 * Hour,   Day,
                            2 * Day, 7 * Day,    14 * Day,   30 * Day,    91 * Day,    365 * Day};

qint64 floorDiv(qint64 a, qint64 b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

QString clockText(qint64 ms, bool seconds)
{
    const qint64 h = ms / Hour;
    const qint64 m = ms / Minute % 60;
    const qint64 s = ms / Second % 60;
    return seconds ? QStringLiteral("%1:%2:%3")
                         .arg(h)
                         .arg(m, 2, 10, QLatin1Char('0'))
                         .arg(s, 2, 10, QLatin1Char('0'))
                   : QStringLiteral("%1:%2").arg(h).arg(m, 2, 10, QLatin1Char('0'));
}

QString elapsedLabel(qint64 ms, qint64 step)
{
    const QString sign = ms < 0 ? QStringLiteral("-") : QStringLiteral("+");
    ms = std::abs(ms);
    const qint64 days = ms / Day;
    const QString clock = clockText(ms % Day, step < Minute);
    if (days == 0)
        return sign + clock;
    if (step >= Day)
        return sign + QStringLiteral("%1 d").arg(days);
    return sign + QStringLiteral("%1 d %2").arg(days).arg(clock);
}

} // namespace

QList<TimeTick> timeTicks(qint64 x0, qint64 x1, qint64 originUtcMs, bool elapsed, int wanted,
                          const QLocale& locale)
{
    QList<TimeTick> ticks;
    if (x1 <= x0 || wanted < 1)
        return ticks;
    const qint64 span = x1 - x0;
    qint64 step = Steps[std::size(Steps) - 1];
    for (qint64 s : Steps)
        if (span / s <= wanted) {
            step = s;
            break;
        }
    // Round local times: the offset of the moment at the left edge puts the ticks on the
    // local clock's round hours and midnights.
    const qint64 offset =
        elapsed ? 0
                : qint64(QDateTime::fromMSecsSinceEpoch(originUtcMs + x0).offsetFromUtc()) * 1000;
    const qint64 base = elapsed ? 0 : originUtcMs + offset;
    qint64 x = -floorDiv(-(base + x0), step) * step - base;
    QDate lastDate;
    for (; x <= x1 && ticks.size() < 1000; x += step) {
        TimeTick tick{x, {}};
        if (elapsed) {
            tick.label = elapsedLabel(x, step);
        } else {
            const QDateTime at = QDateTime::fromMSecsSinceEpoch(originUtcMs + x);
            const QDate date = at.date();
            const QString time = step < Minute ? core::longTimeText(at.time(), locale)
                                               : locale.toString(at.time(), QLocale::ShortFormat);
            if (step >= Day)
                tick.label = locale.toString(date, QLocale::ShortFormat);
            else if (date != lastDate)
                tick.label = time + QLatin1Char('\n') + locale.toString(date, QLocale::ShortFormat);
            else
                tick.label = time;
            lastDate = date;
        }
        ticks.append(tick);
    }
    return ticks;
}

QString elapsedText(qint64 ms)
{
    return elapsedLabel(ms, Second);
}

QString durationText(qint64 ms)
{
    const qint64 s = (ms + Second / 2) / Second;
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

QString momentText(qint64 utcMs, const QLocale& locale)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(utcMs);
    return locale.toString(at.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           core::longTimeText(at.time(), locale);
}

std::pair<qint64, qint64> zoomAround(qint64 x0, qint64 x1, qint64 anchor, double factor,
                                     qint64 minSpan)
{
    const double span = std::max(double(x1 - x0) * factor, double(minSpan));
    const double share = x1 > x0 ? double(anchor - x0) / double(x1 - x0) : 0.5;
    const qint64 left = anchor - qint64(std::llround(span * share));
    return {left, left + qint64(std::llround(span))};
}

} // namespace historyview
