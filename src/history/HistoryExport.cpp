#include "history/LocalClock.h"
#include "history/MonitorHistoryData.h"

#include <charconv>
#include <cstdio>

namespace history {

SlotStatistics statistics(const MonitorHistory& data, int slot, qint64 t0, qint64 t1, double band)
{
    SlotStatistics stats;
    if (slot < 1 || slot > Slots || t1 < t0)
        return stats;
    const int pv = seriesIndex(slot, false);
    const int sv = seriesIndex(slot, true);
    const qint64 gap = data.gapMs();
    const qint64 step = data.sampleStepMs();
    const qsizetype a = data.lowerBound(t0);
    const qsizetype b = data.upperBound(t1);
    double sum = 0;
    bool inGap = false;
    for (qsizetype r = a; r < b; ++r) {
        const qint64 t = data.timeAt(r);
        const bool last = r + 1 >= data.rowCount();
        const qint64 next = last ? t + step : data.timeAt(r + 1);
        // Missing rows and "Empty" PVs next to each other are one gap.
        if (r > a && t - data.timeAt(r - 1) > gap) {
            stats.gaps += !inGap;
            inGap = true;
        }
        const double v = data.valueAt(r, pv);
        if (v != v) {
            stats.gaps += !inGap;
            inGap = true;
            continue;
        }
        inGap = false;
        if (stats.samples == 0 || v < stats.min)
            stats.min = v;
        if (stats.samples == 0 || v > stats.max)
            stats.max = v;
        sum += v;
        ++stats.samples;
        // A row's values hold until the next row; before a gap, for one step.
        const double s = data.valueAt(r, sv);
        if (s != s)
            continue;
        const qint64 held = std::min(next - t > gap ? t + step : next, t1) - t;
        if (v > s + band)
            stats.msAbove += held;
        else if (v < s - band)
            stats.msBelow += held;
    }
    if (stats.samples > 0)
        stats.mean = sum / double(stats.samples);
    return stats;
}

namespace {

// A value as the file had it: the whole number with its decimals put back, or the shortest
// text that reads back as the same float.
void appendValue(QByteArray& out, const SeriesData& s, qsizetype row)
{
    char text[48];
    if (s.store == Store::Float) {
        const float v = s.f[std::size_t(row)];
        if (v != v)
            return;
        const auto end = std::to_chars(text, text + sizeof text, v);
        out.append(text, end.ptr - text);
        return;
    }
    const qint64 v = s.store == Store::Int16
                         ? (s.i16[std::size_t(row)] == NoInt16 ? NoInt32 : s.i16[std::size_t(row)])
                         : s.i32[std::size_t(row)];
    if (v == NoInt32)
        return;
    const qint64 whole = v < 0 ? -v : v;
    if (v < 0)
        out.append('-');
    if (s.decimals == 0) {
        out.append(QByteArray::number(whole));
        return;
    }
    const auto scale = qint64(Pow10[s.decimals]);
    const int n = std::snprintf(text, sizeof text, "%lld.%0*lld", (long long)(whole / scale),
                                s.decimals, (long long)(whole % scale));
    out.append(text, n);
}

} // namespace

QByteArray csvText(const MonitorHistory& data, const std::vector<int>& series, qint64 t0, qint64 t1)
{
    QByteArray out = "time";
    for (int s : series) {
        if (s < 0 || s >= SeriesCount)
            continue;
        out += (s % 2 == 0 ? ",PV" : ",SV") + QByteArray::number(s / 2 + 1);
    }
    out += "\r\n";
    const qsizetype a = data.lowerBound(t0);
    const qsizetype b = data.upperBound(t1);
    if (a >= b)
        return out;
    const MonitorHistory::Data& d = *data.d;
    const LocalClock clock(d.zone, data.timeAt(a) / 1000, data.timeAt(b - 1) / 1000);
    out.reserve(out.size() + (b - a) * (26 + 7 * qsizetype(series.size())));
    char text[40];
    for (qsizetype r = a; r < b; ++r) {
        const qint64 utc = d.baseSec + d.seconds[std::size_t(r)];
        const int offset = clock.offsetAt(utc);
        const qint64 local = utc + offset;
        qint64 days = local / 86400;
        qint64 second = local % 86400;
        if (second < 0) {
            second += 86400;
            --days;
        }
        int year, month, day;
        civilFromDays(days, year, month, day);
        const int minutes = offset < 0 ? -offset / 60 : offset / 60;
        const int n =
            std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", year,
                          month, day, int(second / 3600), int(second / 60 % 60), int(second % 60),
                          offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
        out.append(text, n);
        for (int s : series) {
            if (s < 0 || s >= SeriesCount)
                continue;
            out += ',';
            appendValue(out, d.series[std::size_t(s)], r);
        }
        out += "\r\n";
    }
    return out;
}

} // namespace history
