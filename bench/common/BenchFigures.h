#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// Figures shared by the benchmarks: the clocks they read, the wire time they are measured
// against, and the summaries and table rows they print.
namespace bench {

// Bits one character takes on the wire: start, 8 data, parity, stop.
constexpr double BitsPerChar = 11.0;

double monotonicMs();
// CPU time of the calling thread only: the simulator and any helper threads are not counted.
double threadCpuMs();

// A request/reply exchange on an ideal line: both frames back to back plus the controller's
// turnaround.
double wireMs(int chars, int baud, double turnaroundMs);

struct Summary
{
    int count = 0;
    double median = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
};

Summary summarize(std::vector<double> samples);

// Cells left-aligned in the first column and right-aligned after it, padded to `widths`.
QString tableRow(const QStringList& cells, const QList<int>& widths);
QString number(double value, int decimals = 2);

// "--name value" from the command line, or the fallback when it is absent or not a number.
double option(const QStringList& args, const QString& name, double fallback);

} // namespace bench
