#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <vector>

namespace history {

constexpr int Monitors = 3;
constexpr int Slots = 10;
constexpr int SeriesCount = 2 * Slots; // PV1, SV1, PV2, SV2, ... as the files hold them

// Index of PV or SV of slot 1..10 among a Monitor's series.
constexpr int seriesIndex(int slot, bool sv)
{
    return (slot - 1) * 2 + (sv ? 1 : 0);
}

// One point to draw: a sample (min == max) or the extent of the samples one pixel column
// covers. A point whose min is NaN is a gap: the line breaks there.
struct DrawPoint
{
    qint64 t = 0; // UTC milliseconds since the epoch
    float min = 0;
    float max = 0;
};

// What reading a period found, besides the rows.
struct ReadReport
{
    int files = 0;
    qint64 bytes = 0;
    int tornLines = 0;     // lines cut short or not a row; skipped
    int duplicateRows = 0; // a row whose time was already read; the first kept
    QLocale locale;        // the locale whose dates the names and rows are written in
    QStringList problems;  // files that could not be read, and why
};

// The rows of one Monitor over a period, as read from the record folder. Rows are in time
// order, each time once; a value the file holds as "Empty" (or cannot be read) is NaN.
class MonitorHistory
{
public:
    MonitorHistory();
    ~MonitorHistory();
    MonitorHistory(MonitorHistory&&) noexcept;
    MonitorHistory& operator=(MonitorHistory&&) noexcept;

    qsizetype rowCount() const;
    qint64 timeAt(qsizetype row) const; // UTC milliseconds since the epoch
    double valueAt(qsizetype row, int series) const;
    // The first row at or after `utcMs` (rowCount() when none).
    qsizetype lowerBound(qint64 utcMs) const;
    // The first row after `utcMs` (rowCount() when none): [lowerBound(t0), upperBound(t1)) are
    // the rows of [t0, t1].
    qsizetype upperBound(qint64 utcMs) const;
    // The row nearest to `utcMs`; -1 when there are no rows.
    qsizetype nearestRow(qint64 utcMs) const;

    // The usual step between rows (the median), in ms. A step longer than gapMs() between two
    // rows is a gap (missing rows), as is an "Empty" value.
    qint64 sampleStepMs() const;
    qint64 gapMs() const;

    // Points of `series` over [t0, t1], one point either side included so that the line
    // reaches the edges: the samples themselves when there are at most about 2 * columns of
    // them, otherwise one min/max point per pixel column taken from a min/max pyramid, so that
    // the cost follows `columns`, not the length of the period. Gaps come as NaN points.
    void drawPoints(int series, qint64 t0, qint64 t1, int columns,
                    std::vector<DrawPoint>& out) const;

private:
    friend class HistoryReader;
    friend QByteArray csvText(const MonitorHistory& data, const std::vector<int>& series, qint64 t0,
                              qint64 t1);
    struct Data;
    std::unique_ptr<Data> d;
};

// Reads Monitor `monitor` (1..3) of the record folder `folder` for the times [from, to):
// every day and hour file, .txt and .xls, whose name falls in the period, in the locale that
// wrote them (found from the names, and from the rows where two locales name files alike),
// with torn and duplicated lines skipped and the second pass through the hour that repeats
// when the clocks go back read as the later hour. The files' local times are of `from`'s time
// zone when it has one (Qt::TimeZone), of the system's otherwise. Never writes into the
// folder. `cancel` set makes it return early with what it has.
MonitorHistory readMonitor(const QString& folder, int monitor, const QDateTime& from,
                           const QDateTime& to, ReadReport* report = nullptr,
                           const std::atomic<bool>* cancel = nullptr);

// Statistics of one slot over [t0, t1].
struct SlotStatistics
{
    qsizetype samples = 0; // rows with a PV
    double min = qQNaN();
    double max = qQNaN();
    double mean = qQNaN();
    qint64 msAbove = 0; // time PV was above SV + band
    qint64 msBelow = 0; // time PV was below SV - band
    int gaps = 0;       // runs of missing rows or "Empty" PVs
};
SlotStatistics statistics(const MonitorHistory& data, int slot, qint64 t0, qint64 t1, double band);

// The series `series` over [t0, t1] as CSV: a header line ("time" and one column per series,
// named "PV3", "SV3", ...), then one line per row: the time in ISO 8601 with the local offset,
// values with "." decimals, an empty cell for a gap. Lines end in "\r\n".
QByteArray csvText(const MonitorHistory& data, const std::vector<int>& series, qint64 t0,
                   qint64 t1);

} // namespace history
