#pragma once

#include "history/MonitorHistory.h"
#include "history/SeriesData.h"

#include <QTimeZone>
#include <array>

namespace history {

// Rows as read: times in whole seconds (what the files hold) from a base, so that a month
// takes four bytes a row, and the series each in its own store.
struct MonitorHistory::Data
{
    qint64 baseSec = 0;
    std::vector<std::int32_t> seconds; // since baseSec, ascending, each once
    std::array<SeriesData, SeriesCount> series;
    qint64 stepMs = 1000;
    QTimeZone zone; // the local time the files were written in

    qsizetype rows() const { return qsizetype(seconds.size()); }
    qint64 ms(qsizetype row) const { return (baseSec + seconds[std::size_t(row)]) * 1000; }
    // The first row of [from, to) at or after `utcMs` (`to` when none), searched from `from`.
    qsizetype seek(qsizetype from, qsizetype to, qint64 utcMs) const;
    // Takes the median step of the rows and builds every series' pyramid.
    void finish();
};

} // namespace history
