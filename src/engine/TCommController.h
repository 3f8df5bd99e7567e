#pragma once

#include "engine/EngineUpdate.h"
#include "engine/StationModel.h"
#include "link/TRs485Comm.h"

#include <QElapsedTimer>
#include <QThread>
#include <array>
#include <memory>
#include <optional>

// The polling engine: a worker thread that owns the station model and the one serial link.
// Created suspended; Start() runs it once, Stop() ends it within one slot step and closes
// every port (the link keeps them open while polling runs). It never
// touches a window: what the screen must show travels as EngineUpdate, in the order issued.
class TCommController : public QThread
{
    Q_OBJECT

public:
    explicit TCommController(QObject* parent = nullptr);
    // For tests and tools: a link over another serial facility.
    TCommController(std::unique_ptr<TRs485Comm> link, QObject* parent = nullptr);
    ~TCommController() override;

    void Start();
    // Asks the engine to end and waits for it, at most StopWaitMs: false when it has not
    // ended by then (stuck in a system call), and it is left to end by itself.
    bool Stop();
    static constexpr int StopWaitMs = 10'000;

    // Queues a write behind those already waiting; one goes out per slot step, in order. The
    // id returned names it in its writeResult signals (0: not a Monitor and slot, nothing
    // queued). `expectedStation` is the station ID the poster showed, -1 for none.
    quint64 RequestWrite(int monitor, int slot, TAddress code, const QString& valueText,
                         int expectedStation = -1);
    // Why the write could not go out if it were executed now (station ID, number, range at the
    // slot's current decimal places), as the engine itself will judge it; empty when it can.
    QString checkWrite(int monitor, int slot, TAddress code, const QString& valueText,
                       int expectedStation = -1) const;
    void RequestRescan();

    StationModel& model() { return m_model; }
    const StationModel& model() const { return m_model; }
    // A consistent copy of one slot, taken under the model lock.
    StationRecord stationCopy(int monitor, int slot) const;
    // The line statistics as they stand, taken under the model lock, with each slot's station
    // ID and whether it answers filled in; and their reset (counts to zero, `since` now).
    EngineStatistics statisticsCopy() const;
    void ResetStatistics();

    // Engine-thread operations, public so that tests can drive one step at a time while the
    // thread is not running.
    void PollCycle();
    void PollSlot(int monitor, int slot);
    void ScanDecimalPoints();
    void ExecuteWrite();

Q_SIGNALS:
    void updateRequested(const EngineUpdate& update);
    // What became of a posted write; emitted on the engine thread, so receivers in the
    // user-interface thread get it queued.
    void writeResult(const WriteResult& result);

protected:
    void run() override;

private:
    void applyLine(int monitor);
    bool stopRequested() const { return isInterruptionRequested(); }
    void post(EngineUpdate::Kind kind, int monitor, int slot, int value);
    // One read of (monitor, slot)'s controller, counted in the line statistics.
    std::optional<int> readValue(int monitor, int slot, int station, TAddress code);
    void countTransaction(int monitor, int slot);
    // Reads the decimal places of one slot (the link set to its line); false when the
    // controller did not answer.
    bool scanSlotDecimals(int monitor, int slot);
    // The slot's station ID when its line's protocol can address it.
    std::optional<int> addressableStation(int monitor, int slot) const;
    // Settles the set value awaited from (monitor, slot): confirmed when `readBack` holds the
    // word that was sent, otherwise not confirmed for `reason`. The caller holds no lock.
    void settleAwaited(int monitor, int slot, std::optional<int> readBack, const QString& reason);
    // The refusal of `write` against `rec` on a line of protocol `psl`, or empty.
    static QString refusal(const PendingWrite& write, const StationRecord& rec, TPsl psl);
    // Closes hung-up ports at most every IdlePortCheckMs, lines without transactions included.
    void closeHungUpPorts();

    StationModel m_model;
    std::unique_ptr<TRs485Comm> m_link;
    bool m_started = false;
    std::array<int, MonitorCount> m_linePorts{}; // the ports the lines named at the last step
    QElapsedTimer m_hangUpCheck;
};
