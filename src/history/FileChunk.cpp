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

// A value while its file is read: the digits as a whole number times 16 plus the number of
// decimal places, so that the file's values go into whole numbers of one scale without any
// rounding. The two smallest numbers mark no value and a value in the side list.
constexpr qint64 NoValue = std::numeric_limits<qint64>::min();
constexpr qint64 SideValue = NoValue + 1;
constexpr qint64 WholePow10[MaxDecimals + 1] = {1,      10,      100,      1000,      10000,
                                                100000, 1000000, 10000000, 100000000, 1000000000};

// A value that is not a plain decimal: another notation of a number (kept, as float), or no
// value at all ("Empty", a sensor's error text).
double otherValue(const char* p, const char* end)
{
    const qsizetype size = end - p;
    if (size == 0 || size > 64 || (size == 5 && std::memcmp(p, "Empty", 5) == 0))
        return qQNaN();
    char text[65];
    std::memcpy(text, p, std::size_t(size));
    text[size] = 0;
    char* stop = nullptr;
    const double v = std::strtod(text, &stop);
    return stop == text + size && std::isfinite(v) ? v : qQNaN();
}

// Reads the field at `p` up to its TAB: the packed value, or `side` filled. Returns the byte
// after the TAB, or null when the line ends first.
const char* readField(const char* p, const char* end, qint64& packed, double& side)
{
    const char* field = p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    qint64 mantissa = 0;
    int digits = 0;
    int places = -1;
    for (; p < end; ++p) {
        const unsigned digit = unsigned(*p - '0');
        if (digit < 10) {
            // Past 15 digits the text goes to strtod: stop before the whole number overflows.
            if (++digits <= 15)
                mantissa = mantissa * 10 + digit;
            places += places >= 0;
        } else if ((*p == '.' || *p == ',') && places < 0) {
            places = 0;
        } else {
            break;
        }
    }
    if (p < end && *p == '\t' && digits > 0 && digits <= 15 && places <= MaxDecimals) {
        packed = (negative ? -mantissa : mantissa) * 16 + std::max(places, 0);
        return p + 1;
    }
    const char* tab = static_cast<const char*>(std::memchr(p, '\t', std::size_t(end - p)));
    if (!tab)
        return nullptr;
    side = otherValue(field, tab);
    packed = side == side ? SideValue : NoValue;
    return tab + 1;
}

// Puts one series of a file into the smallest store that holds all its values.
void compact(const std::vector<qint64>& values,
             const std::vector<std::pair<std::size_t, double>>& side, int series, qsizetype rows,
             FileChunk& chunk)
{
    SeriesData& s = chunk.series[std::size_t(series)];
    const auto at = [&](qsizetype r) { return values[std::size_t(r)]; };
    int decimals = 0;
    bool other = false;
    for (qsizetype r = 0; r < rows; ++r) {
        const qint64 v = at(r);
        if (v == SideValue)
            other = true;
        else if (v != NoValue)
            decimals = std::max(decimals, int(v & 15));
    }
    qint64 lo = 0, hi = 0;
    if (!other) {
        for (qsizetype r = 0; r < rows; ++r) {
            const qint64 v = at(r);
            if (v == NoValue)
                continue;
            const qint64 m = (v >> 4) * WholePow10[decimals - (v & 15)];
            lo = std::min(lo, m);
            hi = std::max(hi, m);
        }
    }
    s.decimals = decimals;
    chunk.least[std::size_t(series)] = lo;
    chunk.most[std::size_t(series)] = hi;
    if (other || lo <= NoInt32 || hi > std::numeric_limits<std::int32_t>::max()) {
        s.store = Store::Float;
        s.f.resize(std::size_t(rows));
        auto next = side.begin();
        for (qsizetype r = 0; r < rows; ++r) {
            const qint64 v = at(r);
            const std::size_t index = std::size_t(r * SeriesCount + series);
            float x = std::numeric_limits<float>::quiet_NaN();
            if (v == SideValue) {
                next = std::lower_bound(next, side.end(), index,
                                        [](const auto& e, std::size_t i) { return e.first < i; });
                x = float(next->second);
            } else if (v != NoValue) {
                x = float(double(v >> 4) / Pow10[v & 15]);
            }
            s.f[std::size_t(r)] = x;
        }
        return;
    }
    const bool small = lo > NoInt16 && hi <= std::numeric_limits<std::int16_t>::max();
    s.store = small ? Store::Int16 : Store::Int32;
    if (small)
        s.i16.resize(std::size_t(rows));
    else
        s.i32.resize(std::size_t(rows));
    for (qsizetype r = 0; r < rows; ++r) {
        const qint64 v = at(r);
        const qint64 m = v == NoValue ? 0 : (v >> 4) * WholePow10[decimals - (v & 15)];
        if (small)
            s.i16[std::size_t(r)] = v == NoValue ? NoInt16 : std::int16_t(m);
        else
            s.i32[std::size_t(r)] = v == NoValue ? NoInt32 : std::int32_t(m);
    }
}

bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

void readFileChunk(const QString& path, const QDate& date, const RowReading& reading,
                   FileChunk& chunk, ValueColumns& values)
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

    for (std::vector<qint64>& column : values)
        column.clear();
    std::vector<std::pair<std::size_t, double>> side;
    chunk.seconds.reserve(std::size_t(size / 100));
    const qint64 fileDay = daysFromCivil(date.year(), date.month(), date.day());
    const int centuryBase = reading.pivotYear - 50;
    qint64 previousLocal = std::numeric_limits<qint64>::min();
    bool late = false;
    bool firstLine = true;
    qint64 row[SeriesCount];
    double rowSide[SeriesCount];
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
        bool dated = false;
        if (!tab || !(reading.time->parse(line, tab, stamp) ||
                      (dated = reading.dateTime->parse(line, tab, stamp)))) {
            ++chunk.tornLines;
            continue;
        }
        const char* q = tab + 1;
        for (int k = 0; k < SeriesCount && q; ++k)
            q = readField(q, lineEnd, row[k], rowSide[k]);
        if (q != lineEnd) {
            ++chunk.tornLines;
            continue;
        }
        qint64 day = fileDay;
        if (dated) {
            int year = stamp.year;
            if (reading.dateTime->twoDigitYear())
                year = centuryBase + ((year - centuryBase) % 100 + 100) % 100;
            if (stamp.month == 2 && stamp.day == 29 && !isLeapYear(year)) {
                ++chunk.tornLines;
                continue;
            }
            day = daysFromCivil(year, stamp.month, stamp.day);
        }
        const qint64 local = day * 86400 + stamp.hour * 3600 + stamp.minute * 60 + stamp.second;
        // Back in time into an hour that exists twice: the clocks went back, and these rows
        // are the second pass through it.
        if (local < previousLocal)
            late = true;
        previousLocal = local;
        bool twice = false;
        chunk.seconds.push_back(reading.clock->toUtc(local, late, &twice));
        if (!twice)
            late = false;
        for (int k = 0; k < SeriesCount; ++k)
            if (row[k] == SideValue)
                side.emplace_back((chunk.seconds.size() - 1) * SeriesCount + std::size_t(k),
                                  rowSide[k]);
        for (int k = 0; k < SeriesCount; ++k)
            values[std::size_t(k)].push_back(row[k]);
    }

    const qsizetype rows = qsizetype(chunk.seconds.size());
    for (int s = 0; s < SeriesCount; ++s)
        compact(values[std::size_t(s)], side, s, rows, chunk);
}

} // namespace history
