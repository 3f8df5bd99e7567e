// Cost of one record tick (thirty slots, three files appended and handed to the kernel),
// against three plain appends of the same rows to files held open, measured in the same run.
// Then the catch-up of a day's queue at one row a second (a folder away for a day comes
// back): the longest tick or catch-up slice, against writing the same day in one go.
#include "record/DataRecorder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct CatchUp
{
    std::size_t queued = 0;
    std::size_t calls = 0;
    double longestMs = 0;
    double totalMs = 0;
    double oneGoMs = 0;
    qint64 bytes = 0;
};

// A day of ticks at 1 s with the record folder in the way (a file of its name), then the
// folder back: ticks go on at one a second, and between two ticks the catch-up slices run
// as the event loop would run them. Every tick and slice is timed.
CatchUp catchUpOfADay(const QString& base, const record::RecordValues& values)
{
    constexpr int DayRows = 86400;
    const QString folder = base + QStringLiteral("/day");
    const QDateTime start =
        QDateTime::fromString(QStringLiteral("2024-05-04T00:00:00"), Qt::ISODate);
    QDateTime now = start;
    record::DataRecorder recorder([&values] { return values; });
    recorder.setClock([&now] { return now; });
    recorder.setFolderSource([&folder] { return folder; });
    {
        QFile inTheWay(folder);
        inTheWay.open(QIODevice::WriteOnly);
    }
    for (int i = 0; i < DayRows; ++i) {
        now = start.addSecs(i);
        recorder.TmrRecordTimer();
    }
    CatchUp result;
    result.queued = recorder.files().waitingRows();
    QFile::remove(folder);

    QElapsedTimer t;
    while (recorder.files().waitingRows() > 0) {
        now = now.addSecs(1);
        t.start();
        recorder.TmrRecordTimer();
        double ms = t.nsecsElapsed() / 1e6;
        result.longestMs = std::max(result.longestMs, ms);
        result.totalMs += ms;
        ++result.calls;
        while (recorder.catchingUp()) {
            t.restart();
            recorder.writeWaiting();
            ms = t.nsecsElapsed() / 1e6;
            result.longestMs = std::max(result.longestMs, ms);
            result.totalMs += ms;
            ++result.calls;
        }
    }

    // The same files written each in one go, as one tick did before it was sliced.
    std::vector<std::pair<QString, QByteArray>> files;
    for (int m = 1; m <= 3; ++m) {
        const QString monitor = folder + QStringLiteral("/Monitor%1").arg(m);
        for (const QString& name : QDir(monitor).entryList(QDir::Files)) {
            QFile file(monitor + QLatin1Char('/') + name);
            file.open(QIODevice::ReadOnly);
            files.emplace_back(base + QStringLiteral("/oneGo%1-").arg(m) + name, file.readAll());
            result.bytes += files.back().second.size();
        }
    }
    t.start();
    for (const auto& [path, bytes] : files) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        file.write(bytes);
    }
    result.oneGoMs = t.nsecsElapsed() / 1e6;
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv); // the catch-up's timer needs one, though no loop runs
    QTemporaryDir dir;
    record::RecordValues values;
    for (int m = 0; m < 3; ++m)
        for (int s = 0; s < 10; ++s)
            values[size_t(m)][size_t(s)] = {QStringLiteral("%1.%2").arg(200 + s).arg(m),
                                            QStringLiteral("250.0")};
    QDateTime now = QDateTime::fromString(QStringLiteral("2024-05-03T09:00:00"), Qt::ISODate);
    record::DataRecorder recorder([&values] { return values; });
    recorder.setClock([&now] { return now; });
    recorder.setFolderSource([&dir] { return dir.path() + QStringLiteral("/data"); });

    constexpr int Ticks = 1000;
    std::vector<double> tick, reference;
    QFile plain[3];
    for (int m = 0; m < 3; ++m) {
        plain[m].setFileName(dir.path() + QStringLiteral("/plain%1.txt").arg(m));
        plain[m].open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
    for (int i = 0; i < Ticks; ++i) {
        now = now.addSecs(1); // one file per hour: the run crosses no hour
        QElapsedTimer t;
        t.start();
        recorder.TmrRecordTimer();
        tick.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        for (int m = 0; m < 3; ++m)
            plain[m].write(record::rowLine(QStringLiteral("9:00:00"), values[size_t(m)]));
        reference.push_back(t.nsecsElapsed() / 1e6);
    }
    if (recorder.stateText() != QLatin1String("Recording")) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(recorder.stateText()));
        return 1;
    }
    const double tickMs = median(tick);
    const double referenceMs = median(reference);
    std::printf(
        "record tick, %d ticks, 3 files of %lld bytes\n", Ticks,
        qint64(QFile(dir.path() + QStringLiteral("/data/Monitor1/") + record::fileName(now, 0, 0))
                   .size()));
    std::printf("  record tick (folders, 3 opens, appends)  median %.3f ms\n", tickMs);
    std::printf("  3 appends to files held open             median %.3f ms\n", referenceMs);
    std::printf("  ratio                                    %.2f\n", tickMs / referenceMs);
    std::printf("  target: <= 2 ms                          %s\n", tickMs <= 2 ? "met" : "MISSED");

    const CatchUp day = catchUpOfADay(dir.path(), values);
    std::printf("catch-up of a day at 1 s, %zu rows queued (%zu per Monitor), %.1f MB\n",
                day.queued, day.queued / 3, day.bytes / 1e6);
    std::printf("  ticks and slices until written           %zu, %.1f ms in all\n", day.calls,
                day.totalMs);
    std::printf("  longest tick or slice                    %.2f ms\n", day.longestMs);
    std::printf("  the same files each in one go            %.2f ms\n", day.oneGoMs);
    std::printf("  ratio longest / one go                   %.2f\n", day.longestMs / day.oneGoMs);
    std::printf("  target: longest <= 50 ms                 %s\n",
                day.longestMs <= 50 ? "met" : "MISSED");
    std::printf("record tick ms: %.2f\n", tickMs);
    return 0;
}
