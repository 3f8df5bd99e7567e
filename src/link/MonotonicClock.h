#pragma once

#include <QtGlobal>

#include <cerrno>
#include <ctime>

namespace comm {

inline qint64 monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

inline void sleepNs(qint64 ns)
{
    if (ns <= 0)
        return;
    const timespec ts{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};
    nanosleep(&ts, nullptr);
}

// Sleeps until the monotonic clock reads deadlineNs, whatever signals come in between.
inline void sleepUntilNs(qint64 deadlineNs)
{
    const timespec ts{time_t(deadlineNs / 1'000'000'000), long(deadlineNs % 1'000'000'000)};
    while (monotonicNs() < deadlineNs &&
           clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

} // namespace comm
