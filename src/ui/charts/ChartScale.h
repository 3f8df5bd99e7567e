#pragma once

#include <QList>

// The arithmetic behind the chart axes, free of any widget.
namespace charts {

struct Range
{
    double min = 0;
    double max = 0;
};

// A range that holds [low, high] with round ends, as an axis that scales itself shows it;
// an empty or flat range is widened so that the axis still has a length.
Range niceRange(double low, double high);

// Round tick values inside `range`, about `wanted` of them.
QList<double> ticks(const Range& range, int wanted);

} // namespace charts
