#include "history/MonitorHistoryData.h"

#include <algorithm>
#include <thread>

namespace history {
namespace {
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
} // namespace

void MonitorHistory::Data::finish()
{
    stepMs = 1000;
    if (seconds.size() >= 2) {
        // A sample of the steps is as good as all of them for their median.
        std::vector<std::int32_t> steps;
        const std::size_t stride = std::max<std::size_t>(1, seconds.size() / 100000);
        for (std::size_t r = stride; r < seconds.size(); r += stride)
            steps.push_back(seconds[r] - seconds[r - 1]);
        if (!steps.empty()) {
            std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
            stepMs = std::max<qint64>(1, steps[steps.size() / 2]) * 1000;
        }
    }
    const qsizetype n = rows();
    std::thread helper([this, n] {
        for (int s = 1; s < SeriesCount; s += 2)
            series[std::size_t(s)].buildPyramid(n);
    });
    for (int s = 0; s < SeriesCount; s += 2)
        series[std::size_t(s)].buildPyramid(n);
    helper.join();
}

qsizetype MonitorHistory::Data::seek(qsizetype from, qsizetype to, qint64 utcMs) const
{
    // Rows come about a step apart: the guess is mostly right or a few rows off, and the
    // search around it stays in the cache where a binary search over a month would not.
    const qint64 rel = utcMs - baseSec * 1000;
    const auto before = [&](qsizetype r) { return qint64(seconds[std::size_t(r)]) * 1000 < rel; };
    if (from >= to || !before(from))
        return from;
    const qint64 ahead =
        (rel - qint64(seconds[std::size_t(from)]) * 1000) / std::max<qint64>(1, stepMs);
    qsizetype lo = from; // before(lo)
    qsizetype hi = to;   // !before(hi) or hi == to
    const qsizetype guess = std::clamp<qsizetype>(from + qsizetype(ahead), from + 1, to);
    if (guess < to && before(guess)) {
        lo = guess;
        for (qsizetype stride = 1; lo + stride < to; stride *= 2) {
            if (!before(lo + stride)) {
                hi = lo + stride;
                break;
            }
            lo += stride;
        }
    } else {
        hi = guess;
        for (qsizetype stride = 1; hi - stride > from; stride *= 2) {
            if (before(hi - stride)) {
                lo = hi - stride;
                break;
            }
            hi -= stride;
        }
    }
    while (hi - lo > 1) {
        const qsizetype mid = lo + (hi - lo) / 2;
        (before(mid) ? lo : hi) = mid;
    }
    return hi;
}

MonitorHistory::MonitorHistory() : d(std::make_unique<Data>()) {}
MonitorHistory::~MonitorHistory() = default;
MonitorHistory::MonitorHistory(MonitorHistory&&) noexcept = default;
MonitorHistory& MonitorHistory::operator=(MonitorHistory&&) noexcept = default;

qsizetype MonitorHistory::rowCount() const
{
    return d ? d->rows() : 0;
}

qint64 MonitorHistory::timeAt(qsizetype row) const
{
    return d->ms(row);
}

double MonitorHistory::valueAt(qsizetype row, int series) const
{
    if (series < 0 || series >= SeriesCount || row < 0 || row >= rowCount())
        return qQNaN();
    return d->series[std::size_t(series)].value(row);
}

qsizetype MonitorHistory::lowerBound(qint64 utcMs) const
{
    if (!d)
        return 0;
    // The first whole second at or after utcMs, relative to the base (times the files can
    // hold are far from where the subtraction would overflow).
    const qint64 rel =
        std::clamp<qint64>(utcMs, -(qint64(1) << 60), qint64(1) << 60) - d->baseSec * 1000;
    const qint64 sec = rel >= 0 ? (rel + 999) / 1000 : -((-rel) / 1000);
    if (sec > std::numeric_limits<std::int32_t>::max())
        return rowCount();
    if (sec < std::numeric_limits<std::int32_t>::min())
        return 0;
    return std::lower_bound(d->seconds.begin(), d->seconds.end(), std::int32_t(sec)) -
           d->seconds.begin();
}

qsizetype MonitorHistory::upperBound(qint64 utcMs) const
{
    return utcMs == std::numeric_limits<qint64>::max() ? rowCount() : lowerBound(utcMs + 1);
}

qsizetype MonitorHistory::nearestRow(qint64 utcMs) const
{
    const qsizetype n = rowCount();
    if (n == 0)
        return -1;
    const qsizetype r = lowerBound(utcMs);
    if (r == 0)
        return 0;
    if (r == n)
        return n - 1;
    return utcMs - d->ms(r - 1) <= d->ms(r) - utcMs ? r - 1 : r;
}

qint64 MonitorHistory::sampleStepMs() const
{
    return d ? d->stepMs : 1000;
}

qint64 MonitorHistory::gapMs() const
{
    // One row missing makes twice the step: more than that is a gap. A late tick that skips a
    // second at 1 s rows is not.
    return 2 * sampleStepMs();
}

void MonitorHistory::drawPoints(int series, qint64 t0, qint64 t1, int columns,
                                std::vector<DrawPoint>& out) const
{
    out.clear();
    const qsizetype n = rowCount();
    // Windows beyond a hundred thousand years would overflow the column arithmetic.
    constexpr qint64 Far = qint64(1) << 52;
    if (n == 0 || series < 0 || series >= SeriesCount || columns <= 0 || t1 < t0 || t0 < -Far ||
        t1 > Far)
        return;
    const SeriesData& s = d->series[std::size_t(series)];
    const qint64 gap = gapMs();
    const qsizetype a = lowerBound(t0);
    const qsizetype b = upperBound(t1);
    const qsizetype first = std::max<qsizetype>(a - 1, 0);
    const qsizetype last = std::min(b + 1, n); // one past the last row drawn
    const auto breakAfter = [&](qint64 t) {
        if (out.empty() || out.back().min == out.back().min)
            out.push_back({t, NaN, NaN});
    };

    if (b - a <= 2 * qsizetype(columns)) {
        for (qsizetype r = first; r < last; ++r) {
            const qint64 t = d->ms(r);
            if (r > first && t - d->ms(r - 1) > gap)
                breakAfter(d->ms(r - 1) + d->stepMs);
            const float v = s.valueF(r);
            out.push_back({t, v, v});
        }
        return;
    }

    // One point per pixel column of [t0, t1]; the rows of a column are those whose time falls
    // in it. A column without rows is a gap only where the rows either side of it are.
    const auto point = [&](qsizetype r) {
        const float v = s.valueF(r);
        out.push_back({d->ms(r), v, v});
    };
    if (first < a)
        point(first);
    qsizetype prev = first < a ? first : -1; // the last row drawn so far
    const qint64 span = t1 - t0 + 1;
    // The columns' rows first, so that the memory of the columns ahead is on its way while one
    // is worked on: over a month each column is somewhere else in every level of the pyramid.
    constexpr int Ahead = 4;
    std::vector<qsizetype> bounds(std::size_t(columns) + 1);
    bounds[0] = a;
    for (int c = 0; c < columns; ++c)
        bounds[std::size_t(c) + 1] =
            c + 1 == columns ? b
                             : d->seek(bounds[std::size_t(c)], b, t0 + span * (c + 1) / columns);
    for (int c = 0; c < std::min(Ahead, columns); ++c)
        s.prefetch(bounds[std::size_t(c)]);
    for (int c = 0; c < columns; ++c) {
        const qint64 ce = t0 + span * (c + 1) / columns;
        const qsizetype r0 = bounds[std::size_t(c)];
        const qsizetype r1 = bounds[std::size_t(c) + 1];
        if (c + Ahead <= columns)
            s.prefetch(bounds[std::size_t(c + Ahead)]);
        if (r0 < r1) {
            if (prev >= 0 && d->ms(r0) - d->ms(prev) > gap)
                breakAfter(d->ms(prev) + d->stepMs);
            float lo, hi;
            const qint64 cs = t0 + span * c / columns;
            if (s.extent(r0, r1, lo, hi))
                out.push_back({cs + (ce - cs) / 2, lo, hi});
            else
                breakAfter(cs + (ce - cs) / 2);
            prev = r1 - 1;
        }
    }
    if (b < n) {
        if (prev >= 0 && d->ms(b) - d->ms(prev) > gap)
            breakAfter(d->ms(prev) + d->stepMs);
        point(b);
    }
}

} // namespace history
