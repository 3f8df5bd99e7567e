// Opening a month of 1 s rows of one Monitor (the recorder's own names, header and rows, en_US
// hour files by default), the redraw of all twenty series over many zoom and pan windows (the
// library's points, then the viewer's whole chart drawn from them at 1024 x 768), and
// the memory the month takes; against a plain reader of the same files (QTextStream line by
// line, split, toDouble) in the same run.
// Usage: bench_history [--days 31] [--day-files 1] [--xls 1] [--naive 0] [--folder F]
//   --folder keeps the generated month in F and reuses it on the next run.
#include "BenchFigures.h"

#include "core/LocaleText.h"
#include "history/MonitorHistory.h"
#include "record/RecordFormat.h"
#include "ui/history/HistoryPlot.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>
#include <sys/resource.h>

namespace {

// CPU time of every thread of the process, in seconds: the open's work whatever else runs.
double processCpuS()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// A month as the recorder writes it: a row a second, PVs wandering about their SVs, now and
// then an "Empty" (a controller that did not answer).
qint64 generate(const QString& folder, const QDateTime& start, int days, int saveUnit, int fileType,
                const QLocale& locale)
{
    QDir().mkpath(folder + QStringLiteral("/Monitor1"));
    // The time texts of a day, once: every day has the same ones.
    QStringList times;
    for (int s = 0; s < 86400; ++s)
        times << core::longTimeText(QTime(0, 0).addSecs(s), locale);
    QStringList pvTexts;
    for (int k = 0; k < 2000; ++k)
        pvTexts << QString::number(150 + k / 10.0, 'f', 1);
    qint64 bytes = 0;
    QFile file;
    QByteArray buffer;
    const auto flush = [&] {
        file.write(buffer);
        bytes += buffer.size();
        buffer.clear();
    };
    quint32 seed = 1;
    for (int day = 0; day < days; ++day) {
        const QDate date = start.date().addDays(day);
        for (int s = 0; s < 86400; ++s) {
            const QDateTime at(date, QTime(0, 0).addSecs(s));
            if (s % (saveUnit == 1 ? 86400 : 3600) == 0) {
                if (file.isOpen()) {
                    flush();
                    file.close();
                }
                file.setFileName(folder + QStringLiteral("/Monitor1/") +
                                 record::fileName(at, saveUnit, fileType, locale));
                file.open(QIODevice::WriteOnly | QIODevice::Truncate);
                buffer = record::headerLine(fileType);
            }
            record::MonitorTexts values;
            for (int k = 0; k < 10; ++k) {
                seed = seed * 1664525u + 1013904223u;
                const int wander = int((seed >> 16) % 40);
                values[std::size_t(k)].pv = (seed >> 8) % 5000 == 0
                                                ? QString()
                                                : pvTexts[(s / 7 + k * 150 + wander) % 2000];
                values[std::size_t(k)].sv = QStringLiteral("250.0");
            }
            buffer += record::rowLine(times[s], values);
            if (buffer.size() > (1 << 20))
                flush();
        }
    }
    flush();
    return bytes;
}

// What a first reader of these files would write.
qsizetype naiveRead(const QString& folder, const QLocale& locale)
{
    const QString format =
        locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + core::longTimeFormat(locale);
    std::vector<qint64> times;
    std::vector<std::vector<double>> series(20);
    QDir dir(folder + QStringLiteral("/Monitor1"));
    for (const QString& name : dir.entryList(QDir::Files, QDir::Time | QDir::Reversed)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // The date is the name's: "3_1_26_AM12時.txt" for an en_US hour file.
        QDate date = locale.toDate(
            name.section(QLatin1Char('_'), 0, 2).replace(QLatin1Char('_'), QLatin1Char('/')),
            QLocale::ShortFormat);
        if (date.year() < 1970)
            date = date.addYears(100);
        QTextStream in(&file);
        in.readLine(); // header
        while (!in.atEnd()) {
            const QStringList fields = in.readLine().split(QLatin1Char('\t'));
            if (fields.size() < 21)
                continue;
            const QDateTime at(date, locale.toTime(fields[0], format));
            times.push_back(at.toMSecsSinceEpoch());
            for (int k = 0; k < 20; ++k) {
                bool ok = false;
                const double v = fields[k + 1].toDouble(&ok);
                series[std::size_t(k)].push_back(ok ? v : qQNaN());
            }
        }
    }
    return qsizetype(times.size());
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int days = int(bench::option(args, QStringLiteral("--days"), 31));
    const int saveUnit = bench::option(args, QStringLiteral("--day-files"), 0) != 0 ? 1 : 0;
    const int fileType = bench::option(args, QStringLiteral("--xls"), 0) != 0 ? 1 : 0;
    const bool naive = bench::option(args, QStringLiteral("--naive"), 1) != 0;
    const QLocale locale(QStringLiteral("en_US"));

    QTemporaryDir temp;
    const qsizetype at = args.indexOf(QStringLiteral("--folder"));
    const QString folder = at >= 0 && at + 1 < args.size() ? args[at + 1] : temp.path();
    const QDateTime start(QDate(2026, 3, 1), QTime(0, 0));
    const QDateTime end = start.addDays(days);
    const QString marker =
        folder + QStringLiteral("/generated-%1-%2-%3").arg(days).arg(saveUnit).arg(fileType);
    double ms = bench::monotonicMs();
    if (!QFile::exists(marker)) {
        QDir(folder + QStringLiteral("/Monitor1")).removeRecursively();
        const qint64 bytes = generate(folder, start, days, saveUnit, fileType, locale);
        QFile(marker).open(QIODevice::WriteOnly);
        std::printf("generated %d days of 1 s rows, %s files, %.0f MB, in %.1f s\n", days,
                    saveUnit == 1 ? "day" : "hour", bytes / 1e6, (bench::monotonicMs() - ms) / 1e3);
    }

    const qint64 rssBefore = residentKb();
    history::ReadReport report;
    ms = bench::monotonicMs();
    const double cpuS = processCpuS();
    const auto data = std::make_shared<const history::MonitorHistory>(
        history::readMonitor(folder, 1, start, end, &report));
    const history::MonitorHistory& month = *data;
    const double openMs = bench::monotonicMs() - ms;
    const double openCpuS = processCpuS() - cpuS;
    const qint64 rssAfter = residentKb();
    std::printf("open: %lld rows from %d files, %.0f MB, locale %s, %d torn, %d duplicated\n",
                qint64(month.rowCount()), report.files, report.bytes / 1e6,
                qPrintable(report.locale.name()), report.tornLines, report.duplicateRows);
    std::printf("  open                                     %.2f s (target <= 3 s)\n",
                openMs / 1e3);
    std::printf("  CPU time of the open, all threads        %.2f s\n", openCpuS);
    std::printf(
        "  resident memory after open               %.0f MB (%.0f MB before; target < 250 MB)\n",
        rssAfter / 1024.0, rssBefore / 1024.0);

    // Zoom and pan: windows from a minute to the whole month, anywhere in it.
    QRandomGenerator random(7);
    const qint64 t0 = month.timeAt(0);
    const qint64 t1 = month.timeAt(month.rowCount() - 1);
    std::vector<double> redraw, redrawCpu, painted;
    std::vector<std::vector<history::DrawPoint>> points(history::SeriesCount);
    // The viewer's own chart, 1024 x 768: axes, legend, twenty lines, SV dashed.
    HistoryPlot plot;
    plot.resize(1024, 768);
    for (int s = 1; s <= history::Slots; ++s)
        plot.setSlotShown(s, true);
    plot.setPeriod(0, data, t0);
    QImage image(1024, 768, QImage::Format_ARGB32_Premultiplied);
    // The viewer shows the whole period as soon as it has read it: that first draw belongs to
    // the open (the pyramid's top levels and the font caches are touched for the first time),
    // and is given apart from the zooms and pans after it.
    ms = bench::monotonicMs();
    {
        QPainter painter(&image);
        plot.draw(painter, image.rect());
    }
    const double firstMs = bench::monotonicMs() - ms;
    qsizetype drawn = 0;
    for (int k = 0; k < 300; ++k) {
        const double fraction = std::pow(10.0, -random.bounded(5.0)); // 1 .. 1e-5 of the month
        const qint64 span = std::max<qint64>(60000, qint64((t1 - t0) * fraction));
        const qint64 from = t0 + qint64(random.bounded(1.0) * double(t1 - t0 - span));
        ms = bench::monotonicMs();
        const double cpu = bench::threadCpuMs();
        for (int s = 0; s < history::SeriesCount; ++s)
            month.drawPoints(s, from, from + span, 1024, points[std::size_t(s)]);
        redraw.push_back(bench::monotonicMs() - ms);
        redrawCpu.push_back(bench::threadCpuMs() - cpu);
        for (const auto& p : points)
            drawn += qsizetype(p.size());
        plot.setView(from - plot.origin(0), from - plot.origin(0) + span);
        ms = bench::monotonicMs();
        QPainter painter(&image);
        plot.draw(painter, image.rect());
        painter.end();
        painted.push_back(bench::monotonicMs() - ms);
    }
    const bench::Summary r = bench::summarize(redraw);
    const bench::Summary p = bench::summarize(painted);
    std::printf(
        "redraw, 20 series at 1024 columns, %d windows from 1 min to the month, %lld points\n",
        r.count, qint64(drawn));
    std::printf("  drawPoints for all series                median %.2f ms, worst %.2f ms\n",
                r.median, r.max);
    const bench::Summary rc = bench::summarize(redrawCpu);
    std::printf("  the same in CPU time of the thread       median %.2f ms, worst %.2f ms\n",
                rc.median, rc.max);
    std::printf("  the viewer's whole chart at 1024 x 768   median %.2f ms, worst %.2f ms (target "
                "<= 16 ms)\n",
                p.median, p.max);
    std::printf("  its first draw, the whole month          %.2f ms\n", firstMs);

    if (naive) {
        ms = bench::monotonicMs();
        const qsizetype rows = naiveRead(folder, locale);
        const double naiveMs = bench::monotonicMs() - ms;
        std::printf("naive reader (QTextStream, split, toDouble): %lld rows\n", qint64(rows));
        std::printf("  open                                     %.2f s\n", naiveMs / 1e3);
        std::printf("  ratio naive / ours                       %.1f (target >= 3)\n",
                    naiveMs / openMs);
    }
    std::printf("history open s: %.2f\n", openMs / 1e3);
    return 0;
}
