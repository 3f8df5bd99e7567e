#pragma once

#include <QDateTime>
#include <QString>
#include <array>

struct LinkTally;

// Counts of one controller slot since the last reset.
struct SlotStatistics
{
    QDateTime lastGoodReply; // invalid: none since the last reset
    quint64 failures = 0;    // read attempts that got no valid reply

    // Filled in by the copy, from the station model.
    int stationId = 0;
    bool answering = false; // not lost and a value held: what its tile shows
};

// Counts of one line (Monitor) since the last reset. Every read attempt ends in one of good
// replies, timeouts, malformed replies or port errors; `transactions` counts them and the
// writes.
struct LineStatistics
{
    quint64 transactions = 0;
    quint64 goodReplies = 0;
    quint64 timeouts = 0;
    quint64 malformed = 0; // short, long or corrupted replies, bad CRC or checksum
    quint64 portErrors = 0;
    quint64 writes = 0;
    // The port's last failure ("COM3 /dev/ttyUSB2: No such device"); empty once it works.
    QString portError;
    // One pass over the line's ten slots.
    double lastCycleMs = 0;
    double averageCycleMs = 0;
    quint64 cycles = 0;
    std::array<SlotStatistics, 10> slotStatistics{};

    SlotStatistics& slot(int s) { return slotStatistics[size_t(s - 1)]; }
    const SlotStatistics& slot(int s) const { return slotStatistics[size_t(s - 1)]; }

    // Filled in by the copy, from the line settings.
    int comPort = 0;

    // Adds one transaction's attempts on slot 1..10.
    void count(int slot, const LinkTally& tally, const QDateTime& now);
    void countCycle(double ms);

    int answeringSlots() const;
};

// Everything the engine counts, copied out under the model lock.
struct EngineStatistics
{
    std::array<LineStatistics, 3> lines{};
    QDateTime since; // the last reset, or the engine's creation

    LineStatistics& line(int monitor) { return lines[size_t(monitor - 1)]; }
    const LineStatistics& line(int monitor) const { return lines[size_t(monitor - 1)]; }
    void reset(const QDateTime& now);
};
