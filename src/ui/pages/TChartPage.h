#pragma once

#include "ui/charts/ReadingConverter.h"

#include <QWidget>
#include <array>
#include <functional>

class DialogService;
class QPagedPaintDevice;
class QPushButton;
class QTimer;
class StationModel;
class TrendPlot;

// The Chart page (`Panel2`): the three Monitors' trend charts stacked in one place, the
// sampling timer `TmrChart` and the buttons below. Only the chart in front is redrawn after a
// tick; the others take their points and draw when they come to the front.
class TChartPage : public QWidget
{
    Q_OBJECT

public:
    // `dpScanDone`: whether the decimal-point scan has finished once (sampling waits for it).
    TChartPage(DialogService& dialogs, StationModel& model, std::function<bool()> dpScanDone,
               QWidget* parent = nullptr);

    TrendPlot* chart(int monitor) const { return m_charts[size_t(monitor - 1)]; }
    std::array<TrendPlot*, 3> charts() const { return m_charts; }
    // The chart on view: the first of A, B, C whose panel is visible; null when none is.
    TrendPlot* chartOnView() const;

    // TmrChart: running while Start holds it on. An interval of 0 keeps it from firing.
    bool isSampling() const { return m_sampling; }
    int sampleInterval() const;
    void setSampleInterval(int msecs);
    void stopSampling();

    void TmrChartTimer();
    void BtnChtStartClick();
    void BtnChtStopClick();
    void BtnChtClearClick();
    void ShowChart(int monitor); // BtnChartA, BtnChartB, BtnChartC
    void BtnChartPrintClick();
    // The chart scaled into the page's printable rectangle, landscape; the device's
    // orientation is put back afterwards.
    static void printChart(QPagedPaintDevice& device, const TrendPlot& chart);

Q_SIGNALS:
    void chartSettingClicked(); // BtnChartSetting

private:
    void buildButtons();
    void clearCharts();
    void updateTimer();

    DialogService& m_dialogs;
    StationModel& m_model;
    std::function<bool()> m_dpScanDone;
    ReadingConverter m_converter;
    std::array<QWidget*, 3> m_panels{}; // PnlChartA..C
    std::array<TrendPlot*, 3> m_charts{};
    std::array<QPushButton*, 3> m_monitorButtons{}; // BtnChartA..C
    QPushButton* m_btnStart = nullptr;
    QPushButton* m_btnStop = nullptr;
    QTimer* m_tmrChart = nullptr;
    bool m_sampling = false;
    int m_front = 0; // the panel raised last
};
