#pragma once

#include <QList>
#include <QLocale>
#include <QString>

// The arithmetic behind the history chart's time axis, free of any widget. Positions along the
// axis are milliseconds from an origin: the first row of the period shown (or of each period,
// when two are overlaid).
namespace historyview {

struct TimeTick
{
    qint64 x = 0; // ms from the origin
    QString label;
};

// Ticks at round local times (or round elapsed times) in [x0, x1], about `wanted` of them.
// Absolute labels are the time of day in `locale` (with seconds when the step is below a
// minute), the date where a tick is the first of a day or the step is a day or more; elapsed
// labels count from the origin ("+1:30", "+2 d 06:00").
QList<TimeTick> timeTicks(qint64 x0, qint64 x1, qint64 originUtcMs, bool elapsed, int wanted,
                          const QLocale& locale = QLocale::system());

// Time since an origin, as the overlay's axis and cursor show it: "+0:05:30", "+2 d 06:00:00".
QString elapsedText(qint64 ms);
// A length of time as the statistics show it: "0 s", "42 s", "3 min 05 s", "2 h 10 min".
QString durationText(qint64 ms);
// A moment in `locale`: its short date and the time of day with seconds.
QString momentText(qint64 utcMs, const QLocale& locale = QLocale::system());

// The part [x0, x1] of an axis after zooming by `factor` (< 1 zooms in) so that `anchor` stays
// where it is on screen; never narrower than `minSpan`.
std::pair<qint64, qint64> zoomAround(qint64 x0, qint64 x1, qint64 anchor, double factor,
                                     qint64 minSpan);

} // namespace historyview
