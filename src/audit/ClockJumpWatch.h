#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace audit {

// Compares the wall clock with the monotonic clock every few seconds; a difference beyond the
// tolerance means the clock was set (by hand or by time sync) and is reported once.
class ClockJumpWatch : public QObject
{
    Q_OBJECT

public:
    explicit ClockJumpWatch(QObject* parent = nullptr, int periodMs = 5000,
                            qint64 toleranceMs = 2000);
    // One comparison; public so that a test can hand in the clocks' readings.
    void check(const QDateTime& wallNow, qint64 monotonicMs);

signals:
    void jumped(const QDateTime& expected, const QDateTime& actual, qint64 jumpMs);

private:
    QTimer m_timer;
    QElapsedTimer m_monotonic;
    QDateTime m_lastWall;
    qint64 m_lastMonotonic = 0;
    qint64 m_toleranceMs;
};

} // namespace audit
