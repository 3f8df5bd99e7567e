#include "ui/charts/ChartScale.h"

#include <cmath>

namespace charts {
namespace {

double niceStep(double span, int wanted)
{
    const double raw = span / std::max(wanted, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double f : {1.0, 2.0, 2.5, 5.0})
        if (raw <= f * magnitude)
            return f * magnitude;
    return 10 * magnitude;
}

} // namespace

Range niceRange(double low, double high)
{
    if (!(high > low)) {
        low -= 1;
        high += 1;
    }
    const double step = niceStep(high - low, 5);
    return {std::floor(low / step) * step, std::ceil(high / step) * step};
}

QList<double> ticks(const Range& range, int wanted)
{
    QList<double> out;
    const double span = range.max - range.min;
    if (!(span > 0) || !std::isfinite(span))
        return out;
    const double step = niceStep(span, wanted);
    for (double v = std::ceil(range.min / step) * step; v <= range.max + step * 1e-9; v += step)
        out << (std::abs(v) < step * 1e-9 ? 0.0 : v);
    return out;
}

} // namespace charts
