#pragma once

#include <QTimeZone>
#include <vector>

namespace history {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
qint64 daysFromCivil(int year, int month, int day);
void civilFromDays(qint64 days, int& year, int& month, int& day);

// The offsets of a time zone over a stretch of time, looked up once, so that turning the
// local times of a month of rows into UTC (and back, for the export) costs a few compares per
// row instead of a time zone query.
class LocalClock
{
public:
    // The zone's offsets between the UTC seconds `fromSec` and `toSec` (a day is added either
    // side).
    LocalClock(const QTimeZone& zone, qint64 fromSec, qint64 toSec);

    // The UTC second of the local second `local` (seconds since 1970 as if local were UTC).
    // A local time that the clocks went back over exists twice: `late` picks the second; a
    // local time they jumped over does not exist and is read with the offset before the jump,
    // as the clock would have shown it. `twice` tells whether it exists twice.
    qint64 toUtc(qint64 local, bool late, bool* twice = nullptr) const;
    // The offset from UTC in seconds at the UTC second `utc`.
    int offsetAt(qint64 utc) const;

private:
    struct Span
    {
        qint64 from; // UTC second this offset starts at
        int offset;
    };
    std::vector<Span> m_spans; // in time order; the first from the start of time
};

} // namespace history
