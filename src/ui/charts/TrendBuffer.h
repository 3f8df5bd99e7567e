#pragma once

#include <array>
#include <cstddef>
#include <vector>

// The points of one trend chart: one row per sampling tick holding the twenty series' values
// and the time of day of the tick, kept in a ring so that adding the newest row and dropping
// the oldest cost nothing in proportion to the length. Every tick adds to all twenty series,
// so they share their x values: the first row held has x = firstX(), the next firstX() + 1.
class TrendBuffer
{
public:
    static constexpr int SeriesCount = 20;
    using Values = std::array<double, SeriesCount>;

    // The rolling rule: when the largest x held is past `length`, the oldest row goes first
    // (one row at most per tick), then the new row gets the largest x + 1. A full chart holds
    // length + 1 rows; after the length changes it keeps its count until it is emptied.
    void add(const Values& values, int msecsOfDay, int length);
    void clear();

    int count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    int firstX() const { return m_count ? m_firstX : 0; }
    int lastX() const { return m_count ? m_firstX + m_count - 1 : 0; } // 0 when empty
    // Row i (0 = oldest).
    double y(int row, int series) const { return at(row).values[std::size_t(series)]; }
    int msecsOfDay(int row) const { return at(row).msecs; }

private:
    struct Row
    {
        Values values;
        int msecs;
    };
    const Row& at(int row) const { return m_rows[std::size_t((m_head + row) % int(m_rows.size()))]; }
    void grow();

    std::vector<Row> m_rows; // the ring; grows by doubling, never shrinks
    int m_head = 0;
    int m_count = 0;
    int m_firstX = 1;
};
