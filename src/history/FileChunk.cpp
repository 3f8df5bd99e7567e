#include "history/FileChunk.h"

#include "history/LocalClock.h"
#include "history/TimeTextParser.h"

#include <QFile>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace history {
namespace {

constexpr char Header[] = "Time\t";

// A value as the recorder writes it: an optional sign, digits and a decimal point or comma.
// Anything else (an "Empty", a sensor's error text) is no value; a number in another
// notation is read and marks the series `exotic` (kept as float).
double parseValue(const char* p, const char* end, int& decimals, bool& exotic)
{
    const char* start = p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    qint64 mantissa = 0;
    int digits = 0;
    int places = -1;
    for (; p < end; ++p) {
        const unsigned digit = unsigned(*p - '0');
        if (digit < 10) {
            mantissa = mantissa * 10 + digit;
            ++digits;
            if (places >= 0)
                ++places;
        } else if ((*p == '.' || *p == ',') && places < 0) {
            places = 0;
        } else {
            break;
        }
    }
    if (p == end && digits > 0 && digits <= 15 && places <= MaxDecimals) {
        if (places > decimals)
            decimals = places;
        const double v = places > 0 ? double(mantissa) / Pow10[places] : double(mantissa);
        return negative ? -v : v;
    }
    const qsizetype size = end - start;
    if (size == 0 || size > 64 || (size == 5 && std::memcmp(start, "Empty", 5) == 0))
        return qQNaN();
    char text[65];
    std::memcpy(text, start, std::size_t(size));
    text[size] = 0;
    char* stop = nullptr;
    const double v = std::strtod(text, &stop);
    if (stop != text + size || !std::isfinite(v))
        return qQNaN();
    exotic = true;
    return v;
}

// Puts the values of one series of a file into the smallest store that holds them all.
void compact(const std::vector<double>& values, int series, qsizetype rows, int decimals,
             bool exotic, FileChunk& chunk)
{
    SeriesData& s = chunk.series[std::size_t(series)];
    const double scale = Pow10[decimals];
    qint64 lo = 0, hi = 0;
    bool fits = !exotic;
    for (qsizetype r = 0; r < rows && fits; ++r) {
        const double v = values[std::size_t(r * SeriesCount + series)];
        if (v != v)
            continue;
        const double m = std::round(v * scale);
        if (std::abs(m) >= 2147483647.0)
            fits = false;
        lo = std::min(lo, qint64(m));
        hi = std::max(hi, qint64(m));
    }
    s.decimals = decimals;
    chunk.least[std::size_t(series)] = lo;
    chunk.most[std::size_t(series)] = hi;
    if (!fits) {
        s.store = Store::Float;
        s.f.resize(std::size_t(rows));
        for (qsizetype r = 0; r < rows; ++r)
            s.f[std::size_t(r)] = float(values[std::size_t(r * SeriesCount + series)]);
        return;
    }
    const bool small = lo > NoInt16 && hi <= std::numeric_limits<std::int16_t>::max();
    s.store = small ? Store::Int16 : Store::Int32;
    if (small)
        s.i16.resize(std::size_t(rows));
    else
        s.i32.resize(std::size_t(rows));
    for (qsizetype r = 0; r < rows; ++r) {
        const double v = values[std::size_t(r * SeriesCount + series)];
        const bool none = v != v;
        if (small)
            s.i16[std::size_t(r)] = none ? NoInt16 : std::int16_t(std::lround(v * scale));
        else
            s.i32[std::size_t(r)] = none ? NoInt32 : std::int32_t(std::lround(v * scale));
    }
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

void readFileChunk(const QString& path, const RowReading& reading, FileChunk& chunk)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        chunk.problem = file.errorString();
        return;
    }
    const qint64 size = file.size();
    chunk.bytes = size;
    if (size == 0)
        return;
    // Mapped, so that the bytes are read straight from the page cache; a share that cannot
    // be mapped is read whole.
    QByteArray whole;
    const char* data = reinterpret_cast<const char*>(file.map(0, size));
    const char* end = data + size;
    if (!data) {
        whole = file.readAll();
        if (whole.size() != size) {
            chunk.problem = file.errorString();
            return;
        }
        data = whole.constData();
        end = data + whole.size();
    }

    std::vector<double> values;
    values.reserve(std::size_t(size / 100 * SeriesCount));
    std::array<int, SeriesCount> decimals{};
    std::array<bool, SeriesCount> exotic{};
    const TimeTextParser& parser = *reading.parser;
    const int centuryBase = reading.pivotYear - 50;
    qint64 previousLocal = std::numeric_limits<qint64>::min();
    bool late = false;
    bool firstLine = true;
    double row[SeriesCount];
    int lines = 0;

    for (const char* p = data; p < end;) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
        const char* next = newline ? newline + 1 : end;
        const char* lineEnd = newline ? newline : end;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        const char* line = p;
        p = next;
        if ((++lines & 0xfff) == 0 && reading.cancel &&
            reading.cancel->load(std::memory_order_relaxed))
            break;
        const bool header = lineEnd - line >= qsizetype(sizeof Header - 1) &&
                            std::memcmp(line, Header, sizeof Header - 1) == 0;
        if (firstLine && header) {
            firstLine = false;
            continue;
        }
        firstLine = false;

        // A whole row: the time, then twenty values each ended by a TAB, and nothing after.
        const char* tab =
            static_cast<const char*>(std::memchr(line, '\t', std::size_t(lineEnd - line)));
        LocalStamp stamp;
        if (!tab || !parser.parse(line, tab, stamp)) {
            ++chunk.tornLines;
            continue;
        }
        const char* q = tab + 1;
        bool whole = true;
        for (int k = 0; k < SeriesCount; ++k) {
            const char* stop =
                static_cast<const char*>(std::memchr(q, '\t', std::size_t(lineEnd - q)));
            if (!stop) {
                whole = false;
                break;
            }
            row[k] = parseValue(q, stop, decimals[std::size_t(k)], exotic[std::size_t(k)]);
            q = stop + 1;
        }
        if (!whole || q != lineEnd) {
            ++chunk.tornLines;
            continue;
        }
        int year = stamp.year;
        if (parser.twoDigitYear())
            year = centuryBase + ((year - centuryBase) % 100 + 100) % 100;
        if (stamp.month == 2 && stamp.day == 29 && !isLeapYear(year)) {
            ++chunk.tornLines;
            continue;
        }
        const qint64 local = daysFromCivil(year, stamp.month, stamp.day) * 86400 +
                             stamp.hour * 3600 + stamp.minute * 60 + stamp.second;
        // Back in time into an hour that exists twice: the clocks went back, and these rows
        // are the second pass through it.
        if (local < previousLocal)
            late = true;
        previousLocal = local;
        bool twice = false;
        chunk.seconds.push_back(reading.clock->toUtc(local, late, &twice));
        if (!twice)
            late = false;
        values.insert(values.end(), row, row + SeriesCount);
    }

    const qsizetype rows = qsizetype(chunk.seconds.size());
    for (int s = 0; s < SeriesCount; ++s)
        compact(values, s, rows, decimals[std::size_t(s)], exotic[std::size_t(s)], chunk);
}

} // namespace history
