#include "history/LocalClock.h"

#include <QDateTime>
#include <limits>

namespace history {

qint64 daysFromCivil(int year, int month, int day)
{
    // Howard Hinnant's days_from_civil.
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yoe = unsigned(year - era * 400);
    const unsigned doy = (153 * unsigned(month + (month > 2 ? -3 : 9)) + 2) / 5 + unsigned(day) - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 days, int& year, int& month, int& day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(qint64(yoe) + era * 400 + (month <= 2));
}

LocalClock::LocalClock(const QTimeZone& zone, qint64 fromSec, qint64 toSec)
{
    const qint64 start = fromSec - 86400;
    const qint64 end = toSec + 86400;
    const QDateTime startAt = QDateTime::fromSecsSinceEpoch(start, QTimeZone::utc());
    m_spans.push_back(
        {std::numeric_limits<qint64>::min(), zone.isValid() ? zone.offsetFromUtc(startAt) : 0});
    if (!zone.isValid() || !zone.hasTransitions())
        return;
    const auto transitions =
        zone.transitions(startAt, QDateTime::fromSecsSinceEpoch(end, QTimeZone::utc()));
    for (const QTimeZone::OffsetData& t : transitions)
        if (t.offsetFromUtc != m_spans.back().offset)
            m_spans.push_back({t.atUtc.toSecsSinceEpoch(), t.offsetFromUtc});
}

qint64 LocalClock::toUtc(qint64 local, bool late, bool* twice) const
{
    qint64 found[2];
    int count = 0;
    for (std::size_t i = 0; i < m_spans.size() && count < 2; ++i) {
        const qint64 utc = local - m_spans[i].offset;
        const bool after = utc >= m_spans[i].from;
        const bool before = i + 1 == m_spans.size() || utc < m_spans[i + 1].from;
        if (after && before)
            found[count++] = utc;
    }
    if (twice)
        *twice = count == 2;
    if (count == 0) {
        // Jumped over: the offset of the span the local time would have come before.
        for (std::size_t i = m_spans.size() - 1; i > 0; --i)
            if (local - m_spans[i - 1].offset >= m_spans[i].from)
                return local - m_spans[i - 1].offset;
        return local - m_spans.front().offset;
    }
    return count == 2 && late ? found[1] : found[0];
}

int LocalClock::offsetAt(qint64 utc) const
{
    std::size_t i = m_spans.size() - 1;
    while (i > 0 && utc < m_spans[i].from)
        --i;
    return m_spans[i].offset;
}

} // namespace history
