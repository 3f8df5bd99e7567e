#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <deque>
#include <optional>

namespace record {

// Why a tick could not write, and where.
struct RecordFailure
{
    QString reason;
    QString path;
};

// Appends the rows of each tick to F/Monitor1..3/<name>, a header first in a file that is new
// or empty. Files are only ever appended to and are open only during a tick. Each row is
// handed to the kernel (write(2), no user-space buffer) before the tick ends, so a crash of
// the program loses no row it has taken; there is no fsync per tick (see writeTick).
//
// A row that cannot be written is kept, in order, and written before the next row of its
// Monitor at the next tick that can write: a folder that is missing or in the way for a
// while costs the operator no data, only the sight of the failure.
class RecordFiles
{
public:
    // Rows kept per Monitor while writing fails; beyond it the oldest are dropped and counted.
    static constexpr std::size_t MaxWaitingRows = 100000;

    // One row per Monitor for the file `name` (its type by `fileType`) in the folder `folder`.
    // Empty when everything waiting and these rows reached their files; the first failure
    // otherwise.
    //
    // No fsync: at one row per second a sync per tick would keep a disk or a flash card busy
    // for nothing the operator needs. A power cut can cost the rows the kernel had not
    // written back yet (normally the last 5 to 30 seconds) and at worst a torn last line.
    std::optional<RecordFailure> writeTick(const QString& folder, const QString& name, int fileType,
                                           const std::array<QByteArray, 3>& rows);

    std::size_t waitingRows() const;
    std::size_t droppedRows() const { return m_dropped; }

private:
    struct Row
    {
        QString name;
        int fileType;
        QByteArray bytes;
    };
    // Writes the Monitor's waiting rows in order, file by file; stops at the first failure.
    std::optional<RecordFailure> flush(const QString& monitorFolder, std::deque<Row>& rows);

    std::array<std::deque<Row>, 3> m_waiting;
    std::size_t m_dropped = 0;
};

} // namespace record
