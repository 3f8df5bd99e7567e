#pragma once

#include <QtGlobal>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace history {

// Powers of ten for the decimal places values are kept with.
constexpr int MaxDecimals = 9;
inline constexpr double Pow10[MaxDecimals + 1] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};

// How a series holds its values: as whole numbers of 10^-decimals when every value of the
// period fits (two bytes a value for the usual "123.4"), as float otherwise. The smallest
// whole number marks a value that is not there.
enum class Store { Int16, Int32, Float };
constexpr std::int16_t NoInt16 = std::numeric_limits<std::int16_t>::min();
constexpr std::int32_t NoInt32 = std::numeric_limits<std::int32_t>::min();

// One series of a Monitor: its values row by row, and the min/max pyramid over them. The
// pyramid's first level holds the extent of every BucketRows rows, each level above it the
// extent of LevelFactor entries of the one below; ranges are answered from the coarsest
// levels that fit, so a pixel column over a month costs about what one over an hour does.
struct SeriesData
{
    static constexpr int BucketRows = 32;
    static constexpr int LevelFactor = 8;

    Store store = Store::Int16;
    int decimals = 0;
    std::vector<std::int16_t> i16;
    std::vector<std::int32_t> i32;
    std::vector<float> f;

    // The extent of a bucket, side by side so that a query reads one cache line, not two.
    struct Extent
    {
        float min;
        float max;
    };
    using Level = std::vector<Extent>;
    std::vector<Level> levels;

    double value(qsizetype row) const
    {
        switch (store) {
        case Store::Int16: {
            const std::int16_t v = i16[std::size_t(row)];
            return v == NoInt16 ? qQNaN() : v / Pow10[decimals];
        }
        case Store::Int32: {
            const std::int32_t v = i32[std::size_t(row)];
            return v == NoInt32 ? qQNaN() : v / Pow10[decimals];
        }
        default:
            return f[std::size_t(row)];
        }
    }
    float valueF(qsizetype row) const { return float(value(row)); }

    // Asks for the memory that the extent of a range starting or ending at `row` reads.
    void prefetch(qsizetype row) const;
    // Builds the pyramid over `rows` values.
    void buildPyramid(qsizetype rows);
    // The extent of the values of rows [a, b), NaN-free; false when none of them has a value.
    bool extent(qsizetype a, qsizetype b, float& min, float& max) const;

private:
    template <class T>
    void rawExtent(const T* v, qsizetype a, qsizetype b, T no, float& min, float& max) const;
    void rawExtent(qsizetype a, qsizetype b, float& min, float& max) const;
    void levelExtent(std::size_t level, qsizetype a, qsizetype b, float& min, float& max) const;
};

} // namespace history
