#pragma once

#include "ui/charts/ReadingConverter.h"

#include <QWidget>
#include <array>

class BarPlot;
class QPushButton;
class StationModel;

// The Bar Chart page (`Panel5`): one bar chart per Monitor with the PV of its ten slots, one
// shown at a time, following the station model on every refresh tick of the main window.
class TBarChartPage : public QWidget
{
    Q_OBJECT

public:
    explicit TBarChartPage(StationModel& model, QWidget* parent = nullptr);

    BarPlot* barChart(int monitor) const { return m_charts[size_t(monitor - 1)]; }
    void ShowBars(int monitor); // BtnBar1, BtnBar2, BtnBar3
    // The bars of all three Monitors from the thirty PV texts; no reading shows as 0.
    void updateBars();

private:
    StationModel& m_model;
    ReadingConverter m_converter;
    std::array<QWidget*, 3> m_panels{}; // BarPanel1..3
    std::array<BarPlot*, 3> m_charts{}; // BarChart1..3
    std::array<QPushButton*, 3> m_buttons{};
};
