// Cost of one TmrChart tick with all three trend charts full (length 3600), including the
// repaint of the chart on view at 1024 x 768, against the naive tick measured in the same run:
// Qt Charts line series taking one append and one remove per series, 60 series, then the
// repaint of the chart on view.
#include "../../tests/ui/RecordingDialogs.h"
#include "engine/StationModel.h"
#include "ui/charts/TrendPlot.h"
#include "ui/pages/TChartPage.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QMutexLocker>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Length = 3600;
constexpr int Rounds = 31;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Readings as controllers give them: PV settling around SV in a slow swing with a little
// noise, one decimal. (A signal that jumps over its whole range on every tick would make every
// pixel column a full-height stroke on all twenty lines: about 30 ms, all of it pixels.)
double reading(int round, int m, int s, bool sv)
{
    const double set = 100 + m * 50 + s * 10;
    return sv ? set : set + 8 * std::sin((round + s * 37) / 300.0) + ((round * 7 + s) % 5) * 0.1;
}

void changeAllValues(StationModel& model, int round)
{
    QMutexLocker lock(&model.mutex);
    for (int m = 1; m <= 3; ++m)
        for (int s = 1; s <= 10; ++s) {
            StationRecord& r = model.station(m, s);
            const double sv = 100 + m * 50 + s * 10;
            const double pv =
                sv + 8 * std::sin((round + s * 37) / 300.0) + ((round * 7 + s) % 5) * 0.1;
            r.PvText = QString::number(pv, 'f', 1);
            r.SvText = QString::number(sv, 'f', 1);
        }
}

double ours(StationModel& model)
{
    RecordingDialogs dialogs;
    TChartPage page(dialogs, model, [] { return true; });
    // The chart on view at the benchmark's size.
    TrendPlot* front = page.chart(1);
    front->parentWidget()->resize(1024, 768);
    front->resize(1024, 768);
    page.resize(1024, 810);
    page.show();
    QCoreApplication::processEvents(); // exposed, so that repaint() paints
    for (TrendPlot* chart : page.charts())
        chart->setLength(Length);
    for (int i = 0; i <= Length; ++i) {
        changeAllValues(model, i);
        page.TmrChartTimer();
    }
    std::vector<double> ms;
    QElapsedTimer t;
    for (int i = 0; i < Rounds; ++i) {
        changeAllValues(model, Length + i);
        t.start();
        page.TmrChartTimer();
        front->repaint();
        QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    if (front->points().count() != Length + 1)
        std::fprintf(stderr, "the chart is not full: %d points\n", front->points().count());
    return median(ms);
}

double naive(StationModel& model)
{
    std::vector<QChartView*> views;
    std::vector<QLineSeries*> series;
    for (int c = 0; c < 3; ++c) {
        auto* chart = new QChart;
        for (int s = 0; s < 20; ++s) {
            auto* line = new QLineSeries;
            QList<QPointF> points;
            for (int x = 1; x <= Length + 1; ++x)
                points << QPointF(x, reading(x, c + 1, s / 2 + 1, s % 2));
            line->replace(points);
            chart->addSeries(line);
            series.push_back(line);
        }
        chart->createDefaultAxes();
        auto* view = new QChartView(chart);
        view->resize(1024, 768);
        views.push_back(view);
    }
    views[0]->show();
    QCoreApplication::processEvents();
    std::vector<double> ms;
    QElapsedTimer t;
    for (int i = 0; i < Rounds; ++i) {
        changeAllValues(model, i);
        t.start();
        QMutexLocker lock(&model.mutex);
        for (size_t k = 0; k < series.size(); ++k) {
            const int m = int(k / 20) + 1;
            const int s = int(k % 20) / 2 + 1;
            const StationRecord& r = model.station(m, s);
            const QString& text = k % 2 ? r.SvText : r.PvText;
            QLineSeries* line = series[k];
            line->append(Length + 2 + i, text.toDouble());
            line->remove(0);
        }
        lock.unlock();
        views[0]->repaint();
        QCoreApplication::processEvents();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    for (QChartView* view : views)
        delete view;
    return median(ms);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    StationModel model;
    // --ours-only: our tick alone, for a profiler.
    const bool oursOnly = argc > 1 && qstrcmp(argv[1], "--ours-only") == 0;
    const double naiveMs = oursOnly ? 0 : naive(model);
    const double oursMs = ours(model);
    // Per chart: a ring of 4096 rows (3601 used) of twenty doubles and the time of the tick.
    const double rowBytes = 20 * sizeof(double) + sizeof(int);
    std::printf("points held: 3 charts x 20 series x %d\n", Length + 1);
    std::printf("memory of three full charts: %.2f MB used, %.2f MB allocated\n",
                3 * (Length + 1) * rowBytes / 1e6, 3 * 4096 * rowBytes / 1e6);
    std::printf("naive tick ms (append + remove on 60 Qt Charts series, repaint): %.2f\n", naiveMs);
    std::printf("ratio naive / ours: %.1f\n", naiveMs / oursMs);
    std::printf("chart tick ms: %.2f\n", oursMs);
    return 0;
}
