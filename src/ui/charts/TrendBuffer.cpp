#include "ui/charts/TrendBuffer.h"

void TrendBuffer::add(const Values& values, int msecsOfDay, int length)
{
    const int x = lastX() + 1; // 1 after emptying
    if (x - 1 > length) {
        m_head = (m_head + 1) % int(m_rows.size());
        --m_count;
    }
    if (m_count == 0)
        m_head = 0;
    m_firstX = x - m_count;
    if (m_count == int(m_rows.size()))
        grow();
    m_rows[std::size_t((m_head + m_count) % int(m_rows.size()))] = Row{values, msecsOfDay};
    ++m_count;
}

void TrendBuffer::clear()
{
    m_head = 0;
    m_count = 0;
    m_firstX = 1;
}

void TrendBuffer::grow()
{
    std::vector<Row> rows(m_rows.empty() ? 64 : m_rows.size() * 2);
    for (int i = 0; i < m_count; ++i)
        rows[std::size_t(i)] = at(i);
    m_rows = std::move(rows);
    m_head = 0;
}
