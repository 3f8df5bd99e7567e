#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;
class QTableWidget;
class TCommController;
struct EngineStatistics;

// "Line Statistics": what the engine has counted on each line and for each controller slot
// since the last reset. Modeless, created once; while it is shown it takes a copy of the
// counts every second (under the model lock, through the engine) and shows it. Reset starts
// the counts again.
class TFmLineStatistics : public QDialog
{
    Q_OBJECT

public:
    static constexpr int RefreshIntervalMs = 1000;

    // Line table columns, in order.
    enum LineColumn {
        ColPort,
        ColTransactions,
        ColGood,
        ColTimeouts,
        ColMalformed,
        ColPortErrors,
        ColWrites,
        ColLastCycle,
        ColAverageCycle,
        ColAnswering,
        ColPortError,
        LineColumns
    };
    // Slot table columns; one row per Monitor and slot, Monitor 1 slot 1 first.
    enum SlotColumn { ColMonitor, ColSlot, ColStation, ColLastGood, ColFailures, SlotColumns };

    explicit TFmLineStatistics(TCommController* engine, QWidget* parent = nullptr);

    // Takes a copy of the counts and shows it; the timer calls it while the window is shown.
    void refresh();
    bool isRefreshing() const { return m_timer.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BtnResetClick();
    void showStatistics(const EngineStatistics& stats);

    TCommController* m_engine;
    QLabel* m_since = nullptr;
    QTableWidget* m_lines = nullptr;
    QTableWidget* m_slots = nullptr;
    QPushButton* m_reset = nullptr;
    QPushButton* m_close = nullptr;
    QTimer m_timer;
};
