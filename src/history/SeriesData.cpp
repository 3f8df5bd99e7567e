#include "history/SeriesData.h"

#include <algorithm>

namespace history {
namespace {

constexpr float Inf = std::numeric_limits<float>::infinity();

} // namespace

template <class T>
void SeriesData::rawExtent(const T* v, qsizetype a, qsizetype b, T no, float& min, float& max) const
{
    // Whole numbers compare as they are and turn into floats once.
    T lo = std::numeric_limits<T>::max();
    T hi = std::numeric_limits<T>::min();
    bool any = false;
    for (qsizetype r = a; r < b; ++r) {
        const T x = v[r];
        if (x == no)
            continue;
        any = true;
        lo = std::min(lo, x);
        hi = std::max(hi, x);
    }
    if (!any)
        return;
    min = std::min(min, float(lo / Pow10[decimals]));
    max = std::max(max, float(hi / Pow10[decimals]));
}

void SeriesData::rawExtent(qsizetype a, qsizetype b, float& min, float& max) const
{
    if (a >= b)
        return;
    switch (store) {
    case Store::Int16:
        rawExtent(i16.data(), a, b, NoInt16, min, max);
        break;
    case Store::Int32:
        rawExtent(i32.data(), a, b, NoInt32, min, max);
        break;
    default:
        for (qsizetype r = a; r < b; ++r) {
            const float x = f[std::size_t(r)];
            if (x == x) {
                min = std::min(min, x);
                max = std::max(max, x);
            }
        }
    }
}

void SeriesData::buildPyramid(qsizetype rows)
{
    levels.clear();
    if (rows < 2 * BucketRows)
        return;
    Level first;
    const qsizetype buckets = (rows + BucketRows - 1) / BucketRows;
    first.min.resize(std::size_t(buckets));
    first.max.resize(std::size_t(buckets));
    for (qsizetype k = 0; k < buckets; ++k) {
        float lo = Inf, hi = -Inf;
        rawExtent(k * BucketRows, std::min(rows, (k + 1) * BucketRows), lo, hi);
        first.min[std::size_t(k)] = lo;
        first.max[std::size_t(k)] = hi;
    }
    levels.push_back(std::move(first));
    while (levels.back().min.size() >= std::size_t(2 * LevelFactor)) {
        const Level& below = levels.back();
        const std::size_t n = (below.min.size() + LevelFactor - 1) / LevelFactor;
        Level up;
        up.min.resize(n);
        up.max.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t end = std::min(below.min.size(), (k + 1) * LevelFactor);
            up.min[k] =
                *std::min_element(below.min.begin() + k * LevelFactor, below.min.begin() + end);
            up.max[k] =
                *std::max_element(below.max.begin() + k * LevelFactor, below.max.begin() + end);
        }
        levels.push_back(std::move(up));
    }
}

void SeriesData::levelExtent(std::size_t level, qsizetype a, qsizetype b, float& min,
                             float& max) const
{
    const Level& l = levels[level];
    const auto scan = [&](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to; ++k) {
            min = std::min(min, l.min[std::size_t(k)]);
            max = std::max(max, l.max[std::size_t(k)]);
        }
    };
    if (level + 1 < levels.size() && b - a >= 2 * LevelFactor) {
        const qsizetype a1 = (a + LevelFactor - 1) / LevelFactor * LevelFactor;
        const qsizetype b1 = b / LevelFactor * LevelFactor;
        scan(a, a1);
        scan(b1, b);
        levelExtent(level + 1, a1 / LevelFactor, b1 / LevelFactor, min, max);
    } else {
        scan(a, b);
    }
}

bool SeriesData::extent(qsizetype a, qsizetype b, float& min, float& max) const
{
    min = Inf;
    max = -Inf;
    if (levels.empty() || b - a < 2 * BucketRows) {
        rawExtent(a, b, min, max);
    } else {
        const qsizetype a1 = (a + BucketRows - 1) / BucketRows * BucketRows;
        const qsizetype b1 = b / BucketRows * BucketRows;
        rawExtent(a, a1, min, max);
        rawExtent(b1, b, min, max);
        levelExtent(0, a1 / BucketRows, b1 / BucketRows, min, max);
    }
    return min <= max;
}

} // namespace history
