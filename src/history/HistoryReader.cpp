#include "history/HistoryReader.h"

#include "history/FileChunk.h"
#include "history/LocalClock.h"
#include "history/MonitorHistoryData.h"
#include "history/TimeTextParser.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <thread>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace history {
namespace {

// Rows [begin, end) of one chunk, in the order the history keeps them.
struct Range
{
    std::size_t chunk;
    qsizetype begin;
    qsizetype end;
};

// The rows of the period in time order, each time once (the first read wins), as ranges of
// the chunks; `duplicates` counts the rows left out for a time already taken. Files normally
// follow each other without overlap and each in order: then a range is a whole file.
std::vector<Range> planRows(const std::vector<FileChunk>& chunks, qint64 fromMs, qint64 toMs,
                            int& duplicates)
{
    std::vector<Range> ranges;
    bool ordered = true;
    for (std::size_t c = 0; c < chunks.size() && ordered; ++c) {
        const std::vector<qint64>& t = chunks[c].seconds;
        for (std::size_t r = 1; r < t.size() && ordered; ++r)
            ordered = t[r] > t[r - 1];
        const qsizetype begin =
            std::partition_point(t.begin(), t.end(),
                                 [&](qint64 sec) { return sec * 1000 < fromMs; }) -
            t.begin();
        const qsizetype end = std::partition_point(t.begin(), t.end(),
                                                   [&](qint64 sec) { return sec * 1000 < toMs; }) -
                              t.begin();
        if (begin < end)
            ranges.push_back({c, begin, end});
    }
    if (ordered) {
        std::stable_sort(ranges.begin(), ranges.end(), [&](const Range& a, const Range& b) {
            return chunks[a.chunk].seconds[std::size_t(a.begin)] <
                   chunks[b.chunk].seconds[std::size_t(b.begin)];
        });
        for (std::size_t k = 1; k < ranges.size() && ordered; ++k)
            ordered = chunks[ranges[k - 1].chunk].seconds[std::size_t(ranges[k - 1].end - 1)] <
                      chunks[ranges[k].chunk].seconds[std::size_t(ranges[k].begin)];
        if (ordered)
            return ranges;
    }

    // Overlapping files or rows out of order: every row sorted by its time, file order kept
    // among equal times.
    struct Entry
    {
        qint64 sec;
        std::uint32_t chunk;
        std::uint32_t row;
    };
    std::vector<Entry> entries;
    for (std::size_t c = 0; c < chunks.size(); ++c) {
        const std::vector<qint64>& t = chunks[c].seconds;
        for (std::size_t r = 0; r < t.size(); ++r)
            if (t[r] * 1000 >= fromMs && t[r] * 1000 < toMs)
                entries.push_back({t[r], std::uint32_t(c), std::uint32_t(r)});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.sec < b.sec; });
    ranges.clear();
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        if (k > 0 && e.sec == entries[k - 1].sec) {
            ++duplicates;
            continue;
        }
        if (!ranges.empty() && ranges.back().chunk == e.chunk && ranges.back().end == e.row)
            ++ranges.back().end;
        else
            ranges.push_back({e.chunk, qsizetype(e.row), qsizetype(e.row) + 1});
    }
    return ranges;
}

// The store of series `s` that holds every chunk's values, and its decimals.
void chooseStore(const std::vector<FileChunk>& chunks, const std::vector<Range>& ranges, int s,
                 SeriesData& out)
{
    int decimals = 0;
    bool anyFloat = false;
    for (const Range& r : ranges) {
        const SeriesData& c = chunks[r.chunk].series[std::size_t(s)];
        decimals = std::max(decimals, c.decimals);
        anyFloat = anyFloat || c.store == Store::Float;
    }
    double largest = 0;
    for (const Range& r : ranges) {
        const FileChunk& c = chunks[r.chunk];
        const double scale = Pow10[decimals - c.series[std::size_t(s)].decimals];
        largest = std::max({largest, std::abs(double(c.least[std::size_t(s)]) * scale),
                            std::abs(double(c.most[std::size_t(s)]) * scale)});
    }
    out.decimals = decimals;
    if (anyFloat || largest >= 2147483647.0)
        out.store = Store::Float;
    else if (largest <= 32767)
        out.store = Store::Int16;
    else
        out.store = Store::Int32;
}

void copySeries(const std::vector<FileChunk>& chunks, const std::vector<Range>& ranges, int s,
                qsizetype rows, SeriesData& out)
{
    chooseStore(chunks, ranges, s, out);
    switch (out.store) {
    case Store::Int16:
        out.i16.resize(std::size_t(rows));
        break;
    case Store::Int32:
        out.i32.resize(std::size_t(rows));
        break;
    default:
        out.f.resize(std::size_t(rows));
        break;
    }
    std::size_t at = 0;
    for (const Range& r : ranges) {
        const SeriesData& c = chunks[r.chunk].series[std::size_t(s)];
        const auto factor = qint32(Pow10[out.decimals - c.decimals]);
        for (qsizetype k = r.begin; k < r.end; ++k, ++at) {
            if (out.store == Store::Float) {
                out.f[at] = c.valueF(k);
                continue;
            }
            const qint32 v =
                c.store == Store::Int16
                    ? (c.i16[std::size_t(k)] == NoInt16 ? NoInt32 : c.i16[std::size_t(k)])
                    : c.i32[std::size_t(k)];
            const bool none = v == NoInt32;
            if (out.store == Store::Int16)
                out.i16[at] = none ? NoInt16 : std::int16_t(v * factor);
            else
                out.i32[at] = none ? NoInt32 : v * factor;
        }
    }
}

// Of locales that name the files alike, the first whose time texts read the first rows.
QLocale rowLocale(const RecordFileSet& set)
{
    if (set.alike.size() < 2)
        return set.locale;
    QFile file(set.files.front().path);
    if (!file.open(QIODevice::ReadOnly))
        return set.locale;
    QList<QByteArray> times;
    for (int k = 0; k < 8 && !file.atEnd(); ++k) {
        const QByteArray line = file.readLine(4096);
        const qsizetype tab = line.indexOf('\t');
        if (tab > 0 && !line.startsWith("Time\t"))
            times << line.left(tab);
    }
    for (const QLocale& locale : set.alike) {
        const TimeTextParser time(locale, false);
        const TimeTextParser dateTime(locale, true);
        LocalStamp stamp;
        for (const QByteArray& text : times) {
            const char* end = text.constData() + text.size();
            if (time.parse(text.constData(), end, stamp) ||
                dateTime.parse(text.constData(), end, stamp))
                return locale;
        }
    }
    return set.locale;
}

} // namespace

HistoryReader::HistoryReader(const QString& folder, int monitor, const QDateTime& from,
                             const QDateTime& to, const std::atomic<bool>* cancel)
    : m_folder(folder), m_monitor(monitor), m_from(from), m_to(to), m_zone(recordZone(from)),
      m_cancel(cancel)
{
}

MonitorHistory HistoryReader::read(ReadReport& report)
{
    MonitorHistory history;
    history.d->zone = m_zone;
    report = ReadReport{};
    report.locale = QLocale::system();
    if (m_monitor < 1 || m_monitor > Monitors) {
        report.problems << QStringLiteral("Monitor%1: there is no such Monitor").arg(m_monitor);
        return history;
    }
    const QString monitorFolder = m_folder + QStringLiteral("/Monitor%1").arg(m_monitor);
    if (!QDir(monitorFolder).exists()) {
        report.problems << QStringLiteral("%1: the folder is not there")
                               .arg(QDir::toNativeSeparators(monitorFolder));
        return history;
    }
    const RecordFileSet set = findRecordFiles(monitorFolder, m_from, m_to);
    const QLocale locale = rowLocale(set);
    report.locale = locale;
    if (set.files.empty())
        return history;

    const TimeTextParser time(locale, false);
    const TimeTextParser dateTime(locale, true);
    const qint64 fromMs = m_from.toMSecsSinceEpoch();
    const qint64 toMs = m_to.toMSecsSinceEpoch();
    const LocalClock clock(m_zone, fromMs / 1000, toMs / 1000);
    const RowReading reading{&time, &dateTime, &clock, m_from.toTimeZone(m_zone).date().year(),
                             m_cancel};

    // Files in parallel, each into its own chunk.
    std::vector<FileChunk> chunks(set.files.size());
    std::atomic<std::size_t> nextFile{0};
    const auto work = [&] {
        ValueColumns scratch;
        for (std::size_t k; (k = nextFile.fetch_add(1)) < set.files.size();) {
            if (m_cancel && m_cancel->load())
                break;
            readFileChunk(set.files[k].path, set.files[k].date, reading, chunks[k], scratch);
        }
    };
    const unsigned threads =
        std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, unsigned(set.files.size()));
    std::vector<std::thread> helpers;
    for (unsigned k = 1; k < threads; ++k)
        helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers)
        t.join();

    for (std::size_t k = 0; k < chunks.size(); ++k) {
        const FileChunk& c = chunks[k];
        if (!c.problem.isEmpty()) {
            report.problems << QStringLiteral("%1: %2").arg(
                QDir::toNativeSeparators(set.files[k].path), c.problem);
            continue;
        }
        ++report.files;
        report.bytes += c.bytes;
        report.tornLines += c.tornLines;
    }

    const std::vector<Range> ranges = planRows(chunks, fromMs, toMs, report.duplicateRows);
    qsizetype rows = 0;
    for (const Range& r : ranges)
        rows += r.end - r.begin;
    MonitorHistory::Data& d = *history.d;
    if (rows > 0) {
        d.baseSec = chunks[ranges.front().chunk].seconds[std::size_t(ranges.front().begin)];
        d.seconds.resize(std::size_t(rows));
        std::size_t at = 0;
        for (const Range& r : ranges)
            for (qsizetype k = r.begin; k < r.end; ++k)
                d.seconds[at++] = std::int32_t(chunks[r.chunk].seconds[std::size_t(k)] - d.baseSec);
        for (FileChunk& c : chunks)
            std::vector<qint64>().swap(c.seconds);
        // A series at a time on each core; each file's copy of a series goes as soon as it
        // is merged, so that the month is not held twice at its peak.
        std::atomic<int> nextSeries{0};
        const auto merge = [&] {
            for (int s; (s = nextSeries.fetch_add(1)) < SeriesCount;) {
                copySeries(chunks, ranges, s, rows, d.series[std::size_t(s)]);
                for (FileChunk& c : chunks) {
                    SeriesData& cs = c.series[std::size_t(s)];
                    std::vector<std::int16_t>().swap(cs.i16);
                    std::vector<std::int32_t>().swap(cs.i32);
                    std::vector<float>().swap(cs.f);
                }
            }
        };
        std::thread helper(merge);
        merge();
        helper.join();
    }
    chunks.clear();
    chunks.shrink_to_fit();
#ifdef __GLIBC__
    // The files' pieces were freed in a heap that the allocator keeps; hand it back.
    malloc_trim(0);
#endif
    d.finish();
    return history;
}

MonitorHistory readMonitor(const QString& folder, int monitor, const QDateTime& from,
                           const QDateTime& to, ReadReport* report, const std::atomic<bool>* cancel)
{
    ReadReport own;
    return HistoryReader(folder, monitor, from, to, cancel).read(report ? *report : own);
}

} // namespace history
