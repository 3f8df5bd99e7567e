#pragma once

#include "engine/EngineUpdate.h"
#include "engine/StationModel.h"
#include "link/TRs485Comm.h"

#include <QElapsedTimer>
#include <QThread>
#include <array>
#include <memory>

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

    // Posts the single pending write; a write still pending is replaced (the last one wins).
    void RequestWrite(int monitor, int slot, TAddress code, const QString& valueText);
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

protected:
    void run() override;

private:
    void applyLine(int monitor);
    bool stopRequested() const { return isInterruptionRequested(); }
    void post(EngineUpdate::Kind kind, int monitor, int slot, int value);
    // One read of (monitor, slot)'s controller, counted in the line statistics.
    std::optional<int> readValue(int monitor, int slot, int station, TAddress code);
    void countTransaction(int monitor, int slot);
    // Closes hung-up ports at most every IdlePortCheckMs, lines without transactions included.
    void closeHungUpPorts();

    StationModel m_model;
    std::unique_ptr<TRs485Comm> m_link;
    bool m_started = false;
    std::array<int, MonitorCount> m_linePorts{}; // the ports the lines named at the last step
    QElapsedTimer m_hangUpCheck;
};
