#include "ui/pages/TBarChartPage.h"

#include "engine/StationModel.h"
#include "ui/Handled.h"
#include "ui/charts/BarPlot.h"
#include "ui/main/SubPageButtons.h"

#include <QMutexLocker>
#include <QPushButton>

TBarChartPage::TBarChartPage(StationModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    for (int m = 1; m <= 3; ++m) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QStringLiteral("BarPanel%1").arg(m));
        panel->setGeometry(0, 0, 786, 420);
        auto* chart = new BarPlot(QStringLiteral("Monitor %1-Bar Chart").arg(m), panel);
        chart->setObjectName(QStringLiteral("BarChart%1").arg(m));
        chart->setGeometry(panel->rect());
        auto* button = new QPushButton(QStringLiteral("Monitor %1").arg(m), this);
        button->setObjectName(QStringLiteral("BtnBar%1").arg(m));
        button->setGeometry(8 + (m - 1) * 110, 425, 100, 30);
        connect(button, &QPushButton::clicked, this, handled([this, m] { ShowBars(m); }));
        m_panels[size_t(m - 1)] = panel;
        m_charts[size_t(m - 1)] = chart;
        m_buttons[size_t(m - 1)] = button;
    }
}

void TBarChartPage::ShowBars(int monitor)
{
    for (int m = 1; m <= 3; ++m)
        m_panels[size_t(m - 1)]->setVisible(m == monitor);
    markSubPageButton(m_buttons[size_t(monitor - 1)], {m_buttons.begin(), m_buttons.end()});
}

void TBarChartPage::updateBars()
{
    std::array<std::array<QString, BarPlot::BarCount>, 3> texts;
    {
        QMutexLocker lock(&m_model.mutex);
        for (int k = 1; k <= BarPlot::BarCount; ++k)
            for (int m = 1; m <= 3; ++m)
                texts[size_t(m - 1)][size_t(k - 1)] = m_model.station(m, k).PvText;
    }
    for (int m = 0; m < 3; ++m) {
        std::array<double, BarPlot::BarCount> values{};
        for (int b = 0; b < BarPlot::BarCount; ++b)
            values[size_t(b)] = m_converter.value(texts[size_t(m)][size_t(b)]);
        m_charts[size_t(m)]->setValues(values);
    }
    m_converter.finishTick();
}
