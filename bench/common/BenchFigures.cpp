#include "BenchFigures.h"

#include <algorithm>
#include <numeric>
#include <time.h>

namespace bench {

namespace {

double clockMs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

} // namespace

double monotonicMs()
{
    return clockMs(CLOCK_MONOTONIC);
}

double threadCpuMs()
{
    return clockMs(CLOCK_THREAD_CPUTIME_ID);
}

double wireMs(int chars, int baud, double turnaroundMs)
{
    return 1000.0 * chars * BitsPerChar / baud + turnaroundMs;
}

Summary summarize(std::vector<double> samples)
{
    Summary s;
    s.count = int(samples.size());
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    s.median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / double(n);
    s.min = samples.front();
    s.max = samples.back();
    return s;
}

QString tableRow(const QStringList& cells, const QList<int>& widths)
{
    QString row;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const int width = i < widths.size() ? widths[i] : 10;
        row += i == 0 ? cells[i].leftJustified(width) : cells[i].rightJustified(width);
        if (i + 1 < cells.size())
            row += QLatin1Char(' ');
    }
    return row;
}

QString number(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

double option(const QStringList& args, const QString& name, double fallback)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0 || at + 1 >= args.size())
        return fallback;
    bool ok = false;
    const double value = args[at + 1].toDouble(&ok);
    return ok ? value : fallback;
}

} // namespace bench
