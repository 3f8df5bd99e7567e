#pragma once

#include "engine/LineStatistics.h"
#include "engine/WriteRequest.h"
#include "link/LinkTypes.h"

#include <QMutex>
#include <QString>
#include <array>
#include <deque>

constexpr int MonitorCount = 3;
constexpr int SlotCount = 10;

// How one Monitor's line is reached; copied into the link before every transaction.
struct LineSettings
{
    int ComPort = 1;
    int BaudRate = 2400;
    TConverter Converter = TConverter::RS422_485;
    TPsl Psl = TPsl::rtu;
};

// What the program knows of one controller slot. Texts are display-ready; an empty text
// means no value is held.
struct StationRecord
{
    int StationId = 0;
    QString PvText;
    QString SvText;
    QString OutText;
    int DecimalPlaces = 0;
    QString HighLimitText;
    QString LowLimitText;
    bool AlarmAtFirst = false;
    bool HighLatched = false;
    bool LowLatched = false;
    int DeviationCount = 0;
    bool LinkLost = false;
    int FailCount = 0;
    // A write changed how the controller scales its values: its decimal places are read again
    // before the slot's next reading or write.
    bool DecimalsStale = false;
    // The set value written last and not yet read back: the write's id (0: none) and the
    // register value it sent.
    quint64 AwaitedWrite = 0;
    quint16 AwaitedWord = 0;
};

static_assert(std::tuple_size_v<decltype(LineStatistics::slotStatistics)> == SlotCount);
static_assert(std::tuple_size_v<decltype(EngineStatistics::lines)> == MonitorCount);

// The station model and the engine's requests. Every field is guarded by `mutex`, which is
// held only to copy values in or out, never across a serial transaction.
class StationModel
{
public:
    StationModel();

    mutable QMutex mutex;

    // Monitor 1..3, slot 1..10; the caller holds `mutex` (or the engine has not started).
    StationRecord& station(int monitor, int slot) { return m_stations[index(monitor, slot)]; }
    const StationRecord& station(int monitor, int slot) const
    {
        return m_stations[index(monitor, slot)];
    }
    LineSettings& line(int monitor) { return m_lines[size_t(monitor - 1)]; }
    const LineSettings& line(int monitor) const { return m_lines[size_t(monitor - 1)]; }

    bool ScanAll = false;
    // Writes wait here in the order posted; WritePending is true while any waits (the one on
    // the wire included: it leaves the queue once it has been sent).
    bool WritePending = false;
    std::deque<PendingWrite> writeQueue;
    quint64 lastWriteId = 0;
    bool RescanRequested = false;
    // Counted by the engine as it goes; copied out and reset through the engine.
    EngineStatistics statistics;

    static bool isValidSlot(int monitor, int slot)
    {
        return monitor >= 1 && monitor <= MonitorCount && slot >= 1 && slot <= SlotCount;
    }

private:
    static size_t index(int monitor, int slot)
    {
        Q_ASSERT(isValidSlot(monitor, slot));
        return size_t((monitor - 1) * SlotCount + (slot - 1));
    }

    std::array<StationRecord, MonitorCount * SlotCount> m_stations;
    std::array<LineSettings, MonitorCount> m_lines;
};
