#pragma once

#include "history/MonitorHistory.h"
#include "history/SeriesData.h"

#include <QDate>
#include <QString>
#include <array>
#include <atomic>

namespace history {

class LocalClock;
class TimeTextParser;

// The rows of one record file, in file order, with their times already in UTC.
struct FileChunk
{
    std::vector<qint64> seconds;                // UTC
    std::array<SeriesData, SeriesCount> series; // values only, no pyramid
    std::array<qint64, SeriesCount> least{};    // extent of the whole numbers, for the merge
    std::array<qint64, SeriesCount> most{};
    qint64 bytes = 0;
    int tornLines = 0;
    QString problem; // why the file could not be read; empty when it could
};

using ValueColumns = std::array<std::vector<qint64>, SeriesCount>;

// What a file's rows need to be read: the time text's format (the time of day, as the
// recorder writes it, or a date and a time), the zone, and the year that two-digit years are
// put nearest to.
struct RowReading
{
    const TimeTextParser* time;
    const TimeTextParser* dateTime;
    const LocalClock* clock;
    int pivotYear;
    const std::atomic<bool>* cancel;
};

// Reads the file at `path` into `chunk`, the header and lines that are not whole rows left
// out (a header after the first line and those lines are counted as torn). `scratch` holds
// the values while the file is read, a column per series so that a day file's columns are
// each put in their store in one sweep; one per thread, reused from file to file.
// Rows with the time of day only are of `date`, the day of the file's name.
void readFileChunk(const QString& path, const QDate& date, const RowReading& reading,
                   FileChunk& chunk, ValueColumns& scratch);

} // namespace history
