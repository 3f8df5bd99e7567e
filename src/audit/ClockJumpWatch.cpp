#include "audit/ClockJumpWatch.h"

namespace audit {

ClockJumpWatch::ClockJumpWatch(QObject* parent, int periodMs, qint64 toleranceMs)
    : QObject(parent), m_toleranceMs(toleranceMs)
{
    m_monotonic.start();
    m_lastWall = QDateTime::currentDateTimeUtc();
    m_lastMonotonic = m_monotonic.elapsed();
    m_timer.setInterval(periodMs);
    connect(&m_timer, &QTimer::timeout, this,
            [this] { check(QDateTime::currentDateTimeUtc(), m_monotonic.elapsed()); });
    m_timer.start();
}

void ClockJumpWatch::check(const QDateTime& wallNow, qint64 monotonicMs)
{
    const QDateTime expected = m_lastWall.addMSecs(monotonicMs - m_lastMonotonic);
    const qint64 jump = expected.msecsTo(wallNow);
    m_lastWall = wallNow;
    m_lastMonotonic = monotonicMs;
    if (std::abs(jump) > m_toleranceMs)
        emit jumped(expected, wallNow, jump);
}

} // namespace audit
