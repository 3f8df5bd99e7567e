#pragma once

#include <QDialog>
#include <QTimer>
#include <array>

class BusyIndicator;
class QProgressBar;

// "DP Reading...": the progress of the decimal-point scan, one bar per Monitor. Modeless; it
// closes itself at the first tick of `Timer1` after all three bars are full, or the operator
// closes it. Either way the bars go back to 0 and closedByUserOrTimer() is emitted.
class TFmBarPage : public QDialog
{
    Q_OBJECT

public:
    static constexpr int BarMaximum = 10;
    static constexpr int TimerIntervalMs = 1000;

    explicit TFmBarPage(QWidget* parent = nullptr);

    // The bar of Monitor 1..3 to `value`, held within 0..10. Other Monitors are ignored.
    void setProgress(int monitor, int value);
    int progress(int monitor) const;
    bool allBarsFull() const;

    // Shows the dialog centred on `anchor`'s window, or brings it forward when already shown.
    void showCentredOn(QWidget* anchor);

    bool wasClosedOnce() const { return m_closedOnce; }
    bool isTimerRunning() const { return m_timer1.isActive(); }

signals:
    void closedByUserOrTimer();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Timer1Timer();

    BusyIndicator* m_animate = nullptr;
    std::array<QProgressBar*, 3> m_bars{};
    QTimer m_timer1;
    bool m_closedOnce = false;
};
