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

void SeriesData::prefetch(qsizetype row) const
{
    switch (store) {
    case Store::Int16:
        __builtin_prefetch(i16.data() + row);
        break;
    case Store::Int32:
        __builtin_prefetch(i32.data() + row);
        break;
    default:
        __builtin_prefetch(f.data() + row);
        break;
    }
    qsizetype index = row / BucketRows;
    for (const Level& level : levels) {
        if (index >= qsizetype(level.size()))
            break;
        __builtin_prefetch(level.data() + index);
        index /= LevelFactor;
    }
}

void SeriesData::buildPyramid(qsizetype rows)
{
    levels.clear();
    if (rows < 2 * BucketRows)
        return;
    Level first(std::size_t((rows + BucketRows - 1) / BucketRows));
    for (std::size_t k = 0; k < first.size(); ++k) {
        Extent e{Inf, -Inf};
        rawExtent(qsizetype(k) * BucketRows, std::min(rows, qsizetype(k + 1) * BucketRows), e.min,
                  e.max);
        first[k] = e;
    }
    levels.push_back(std::move(first));
    while (levels.back().size() >= std::size_t(2 * LevelFactor)) {
        const Level& below = levels.back();
        Level up((below.size() + LevelFactor - 1) / LevelFactor, Extent{Inf, -Inf});
        for (std::size_t k = 0; k < below.size(); ++k) {
            Extent& e = up[k / LevelFactor];
            e.min = std::min(e.min, below[k].min);
            e.max = std::max(e.max, below[k].max);
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
            min = std::min(min, l[std::size_t(k)].min);
            max = std::max(max, l[std::size_t(k)].max);
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
