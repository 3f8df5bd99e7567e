#include "engine/LineStatistics.h"

#include "link/TRs485Comm.h"

#include <algorithm>

void LineStatistics::count(int slot, const LinkTally& tally, const QDateTime& now)
{
    transactions += quint64(tally.attempts);
    goodReplies += quint64(tally.good);
    timeouts += quint64(tally.timeouts);
    malformed += quint64(tally.malformed);
    portErrors += quint64(tally.portErrors);
    writes += quint64(tally.writesSent);
    if (tally.portErrors > 0)
        portError = tally.portError;
    else if (tally.attempts > 0)
        portError.clear();
    SlotStatistics& s = slotStatistics[size_t(slot - 1)];
    if (tally.good > 0)
        s.lastGoodReply = now;
    s.failures += quint64(tally.timeouts + tally.malformed + tally.portErrors);
}

void LineStatistics::countCycle(double ms)
{
    lastCycleMs = ms;
    ++cycles;
    averageCycleMs += (ms - averageCycleMs) / double(cycles);
}

int LineStatistics::answeringSlots() const
{
    return int(std::count_if(slotStatistics.begin(), slotStatistics.end(),
                             [](const SlotStatistics& s) { return s.answering; }));
}

void EngineStatistics::reset(const QDateTime& now)
{
    lines = {};
    since = now;
}
