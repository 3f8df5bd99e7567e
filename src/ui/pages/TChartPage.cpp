#include "ui/pages/TChartPage.h"

#include "core/QuillmereError.h"
#include "engine/StationModel.h"
#include "ui/DialogService.h"
#include "ui/Handled.h"
#include "ui/charts/TrendPlot.h"
#include "ui/main/SubPageButtons.h"

#include <QMutexLocker>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTime>
#include <QTimer>

namespace {

constexpr const char* Letters = "ABC";
const char* const Titles[] = {"Monitor1-Chart", "Monitor2-Chart", "Monitor3-Chart"};

void setBold(QPushButton* button, bool bold)
{
    QFont font = button->font();
    font.setBold(bold);
    button->setFont(font);
}

} // namespace

TChartPage::TChartPage(DialogService& dialogs, StationModel& model,
                       std::function<bool()> dpScanDone, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_model(model), m_dpScanDone(std::move(dpScanDone))
{
    for (int m = 0; m < 3; ++m) {
        auto* panel = new QWidget(this);
        panel->setObjectName(QStringLiteral("PnlChart%1").arg(QLatin1Char(Letters[m])));
        panel->setGeometry(0, 0, 786, 420);
        auto* chart = new TrendPlot(QLatin1String(Titles[m]), panel);
        chart->setObjectName(QStringLiteral("Chart%1").arg(QLatin1Char(Letters[m])));
        chart->setGeometry(panel->rect());
        m_panels[size_t(m)] = panel;
        m_charts[size_t(m)] = chart;
    }
    // All three are visible at start, Monitor 1's in front.
    m_panels[0]->raise();

    m_tmrChart = new QTimer(this);
    m_tmrChart->setObjectName(QStringLiteral("TmrChart"));
    m_tmrChart->setInterval(5000);
    connect(m_tmrChart, &QTimer::timeout, this, handled(this, &TChartPage::TmrChartTimer));
    buildButtons();
}

void TChartPage::buildButtons()
{
    struct Info
    {
        const char* name;
        const char* caption;
        int width;
    };
    const Info infos[] = {{"BtnChtStart", "Start", 70},
                          {"BtnChtStop", "Stop", 70},
                          {"BtnChtClear", "Clear", 70},
                          {"BtnChartA", "Monitor 1", 96},
                          {"BtnChartB", "Monitor 2", 96},
                          {"BtnChartC", "Monitor 3", 96},
                          {"BtnChartSetting", "Chart Property...", 130},
                          {"BtnChartPrint", "Print", 80}};
    QList<QPushButton*> buttons;
    int left = 8;
    for (const Info& info : infos) {
        auto* button = new QPushButton(QLatin1String(info.caption), this);
        button->setObjectName(QLatin1String(info.name));
        button->setGeometry(left, 425, info.width, 30);
        left += info.width + 8;
        buttons << button;
    }
    m_btnStart = buttons[0];
    m_btnStop = buttons[1];
    setBold(m_btnStop, true);
    QPalette blue = buttons[2]->palette();
    blue.setColor(QPalette::ButtonText, Qt::blue);
    buttons[2]->setPalette(blue);
    m_monitorButtons = {buttons[3], buttons[4], buttons[5]};

    connect(m_btnStart, &QPushButton::clicked, this, handled(this, &TChartPage::BtnChtStartClick));
    connect(m_btnStop, &QPushButton::clicked, this, handled(this, &TChartPage::BtnChtStopClick));
    connect(buttons[2], &QPushButton::clicked, this, handled(this, &TChartPage::BtnChtClearClick));
    for (int m = 1; m <= 3; ++m)
        connect(m_monitorButtons[size_t(m - 1)], &QPushButton::clicked, this,
                handled([this, m] { ShowChart(m); }));
    connect(buttons[6], &QPushButton::clicked, this,
            handled(this, &TChartPage::chartSettingClicked));
    connect(buttons[7], &QPushButton::clicked, this,
            handled(this, &TChartPage::BtnChartPrintClick));
    // The main window marks Monitor 1's button as pressed at start.
    markSubPageButton(m_monitorButtons[0], {m_monitorButtons.begin(), m_monitorButtons.end()});
}

TrendPlot* TChartPage::chartOnView() const
{
    for (int m = 0; m < 3; ++m)
        if (m_panels[size_t(m)]->isVisibleTo(this))
            return m_charts[size_t(m)];
    return nullptr;
}

int TChartPage::sampleInterval() const
{
    return m_tmrChart->interval();
}

void TChartPage::setSampleInterval(int msecs)
{
    m_tmrChart->setInterval(msecs);
    updateTimer();
}

void TChartPage::updateTimer()
{
    // A zero-interval QTimer would fire at every turn of the event loop; a sample time of 0
    // means sampling stands still instead.
    if (m_sampling && m_tmrChart->interval() > 0)
        m_tmrChart->start();
    else
        m_tmrChart->stop();
}

void TChartPage::stopSampling()
{
    m_sampling = false;
    updateTimer();
}

void TChartPage::TmrChartTimer()
{
    if (!m_dpScanDone())
        return;
    const int now = QTime::currentTime().msecsSinceStartOfDay();
    std::array<std::array<QString, 20>, 3> texts;
    {
        QMutexLocker lock(&m_model.mutex);
        for (int m = 1; m <= 3; ++m)
            for (int k = 1; k <= 10; ++k) {
                const StationRecord& rec = m_model.station(m, k);
                texts[size_t(m - 1)][size_t(2 * (k - 1))] = rec.PvText;
                texts[size_t(m - 1)][size_t(2 * (k - 1) + 1)] = rec.SvText;
            }
    }
    for (int m = 0; m < 3; ++m) {
        TrendBuffer::Values values;
        for (int s = 0; s < TrendBuffer::SeriesCount; ++s)
            values[size_t(s)] = m_converter.value(texts[size_t(m)][size_t(s)]);
        m_charts[size_t(m)]->addSample(values, now);
    }
    m_charts[size_t(m_front)]->update();
    m_converter.finishTick();
}

void TChartPage::BtnChtStartClick()
{
    m_sampling = true;
    updateTimer();
    setBold(m_btnStart, true);
    setBold(m_btnStop, false);
}

void TChartPage::BtnChtStopClick()
{
    stopSampling();
    setBold(m_btnStart, false);
    setBold(m_btnStop, true);
    clearCharts();
}

void TChartPage::BtnChtClearClick()
{
    clearCharts();
}

void TChartPage::clearCharts()
{
    for (TrendPlot* chart : m_charts)
        chart->clear();
}

void TChartPage::ShowChart(int monitor)
{
    m_front = monitor - 1;
    for (int m = 0; m < 3; ++m)
        m_panels[size_t(m)]->setVisible(m == m_front);
    m_panels[size_t(m_front)]->raise();
    markSubPageButton(m_monitorButtons[size_t(m_front)],
                      {m_monitorButtons.begin(), m_monitorButtons.end()});
}

void TChartPage::BtnChartPrintClick()
{
    TrendPlot* chart = chartOnView();
    if (!chart)
        return;
    QPrinter printer;
    if (!m_dialogs.choosePrinter(this, &printer))
        return;
    printer.setDocName(chart->title());
    printChart(printer, *chart);
}

void TChartPage::printChart(QPagedPaintDevice& device, const TrendPlot& chart)
{
    const QPageLayout::Orientation remembered = device.pageLayout().orientation();
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&device)) {
        device.setPageOrientation(remembered);
        throw QuillmereError(QStringLiteral("The chart could not be printed: the printer "
                                            "did not accept the job."));
    }
    const int w = device.width();
    const int h = device.height();
    const QRect target(QPoint(100, 10), QPoint(w - 150, h - 100));
    // Drawn at the size it has on screen and scaled up, so that lines, fonts and legend
    // keep their proportions on paper.
    const QSize size = chart.size().isEmpty() ? QSize(786, 420) : chart.size();
    painter.translate(target.topLeft());
    painter.scale(double(target.width()) / size.width(), double(target.height()) / size.height());
    chart.draw(painter, QRect(QPoint(0, 0), size));
    painter.end();
    device.setPageOrientation(remembered);
}
