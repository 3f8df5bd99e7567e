// Cost of one record tick (thirty slots, three files appended and handed to the kernel),
// against three plain appends of the same rows to files held open, measured in the same run.
#include "record/DataRecorder.h"

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

} // namespace

int main()
{
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
    std::printf("record tick ms: %.2f\n", tickMs);
    return 0;
}
