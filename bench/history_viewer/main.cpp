// The history viewer's whole chart redrawn at 1024 x 768 (axes, legend, the twenty lines of a
// Monitor with SV dashed) over zoom and pan windows from the whole period down to a minute,
// against the reading library's own point reduction for the same windows in the same run.
// Usage: bench_history_viewer --folder <record folder> [--monitor 1] [--days 31]
#include "BenchFigures.h"

#include "ui/history/HistoryPlot.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--folder"));
    if (at < 0 || at + 1 >= args.size()) {
        std::fprintf(stderr, "usage: bench_history_viewer --folder <record folder> [--monitor 1] "
                             "[--days 31]\n");
        return 2;
    }
    const int monitor = int(bench::option(args, QStringLiteral("--monitor"), 1));
    const int days = int(bench::option(args, QStringLiteral("--days"), 31));
    const QDateTime to = QDateTime::currentDateTime();
    const QDateTime from = to.addDays(-days);

    double ms = bench::monotonicMs();
    history::ReadReport report;
    auto data = std::make_shared<const history::MonitorHistory>(
        history::readMonitor(args.at(at + 1), monitor, from, to, &report));
    std::printf("read %lld rows from %d files in %.2f s (torn %d)\n", qlonglong(data->rowCount()),
                report.files, (bench::monotonicMs() - ms) / 1000, report.tornLines);
    if (data->rowCount() < 2)
        return 1;

    HistoryPlot plot;
    plot.resize(1024, 768);
    for (int s = 1; s <= history::Slots; ++s)
        plot.setSlotShown(s, true);
    plot.setPeriod(0, data, from.toMSecsSinceEpoch());
    const qint64 whole = plot.viewEnd();
    QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);

    std::vector<double> chart, points;
    std::vector<history::DrawPoint> out;
    for (qint64 span = whole; span >= 60000; span = span * 2 / 3) {
        for (int k = 0; k < 5; ++k) {
            const qint64 x0 = (whole - span) * k / 4;
            plot.setView(x0, x0 + span);
            ms = bench::monotonicMs();
            QPainter p(&image);
            plot.draw(p, image.rect());
            p.end();
            chart.push_back(bench::monotonicMs() - ms);
            ms = bench::monotonicMs();
            for (int s = 0; s < history::SeriesCount; ++s)
                data->drawPoints(s, plot.origin(0) + x0, plot.origin(0) + x0 + span,
                                 plot.plotRect().width(), out);
            points.push_back(bench::monotonicMs() - ms);
        }
    }
    const bench::Summary c = bench::summarize(chart);
    const bench::Summary p = bench::summarize(points);
    std::printf("%d windows at 1024 x 768, 20 series\n", c.count);
    std::printf("  points alone (drawPoints)   median %.2f ms, worst %.2f ms\n", p.median, p.max);
    std::printf("  whole chart redraw          median %.2f ms, worst %.2f ms (%.1f x the points)\n",
                c.median, c.max, c.median / std::max(p.median, 0.001));
    std::printf("history viewer redraw ms: %.2f\n", c.max);
    return 0;
}
