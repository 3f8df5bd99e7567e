#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <deque>
#include <optional>
#include <vector>

namespace record {

// Why a write could not be done, and where.
struct RecordFailure
{
    QString reason;
    QString path;
};

// Rows of one Monitor dropped because too many waited: how many, and the tick times of the
// first and the last of them.
struct LostRows
{
    std::size_t count = 0;
    QDateTime first;
    QDateTime last;
};

// Appends the rows of each tick to F/Monitor1..3/<name>, a header first in a file that is new
// or empty. Files are only ever appended to and are open only during a write. Each row is
// handed to the kernel (write(2), no user-space buffer) before the write ends, so a crash of
// the program loses no row it has written; there is no fsync per tick (see write).
//
// Rows wait in one queue per Monitor and file until they are written, so a file that cannot
// be written (a read-only older hour file, a folder in the way) holds back only its own rows:
// the current file is written as soon as it can be. A write that fails, even part way, is
// undone by cutting the file back to its length before it; with the rows kept, every file only
// ever holds whole rows, each once.
class RecordFiles
{
public:
    // Rows kept per Monitor while writing fails; beyond it the oldest are dropped and counted.
    static constexpr std::size_t MaxWaitingRows = 100000;

    // Queues one row per Monitor for the file `name` (its type by `fileType`), taken at `at`.
    void queue(const QString& name, int fileType, const QDateTime& at,
               const std::array<QByteArray, 3>& rows);

    // Writes waiting rows into the folder `folder`, the newest file first, until all are
    // written or about `budgetMs` have gone (a negative budget: no limit). Empty when nothing
    // failed; the first failure otherwise.
    //
    // No fsync: at one row per second a sync per tick would keep a disk or a flash card busy
    // for nothing the operator needs. A power cut can cost the rows the kernel had not
    // written back yet (normally the last 5 to 30 seconds) and at worst a torn last line,
    // which the next write ends before its first row.
    std::optional<RecordFailure> write(const QString& folder, int budgetMs);

    std::size_t waitingRows() const;
    const std::array<LostRows, 3>& lostRows() const { return m_lost; }
    void clearLostRows() { m_lost = {}; }

    // Keeps the waiting rows and the losses not yet seen in the file `path` (removed when
    // there is nothing to keep); false with `error` set when it cannot.
    bool keep(const QString& path, QString* error = nullptr) const;
    // Takes back what `keep` left in `path`, ahead of anything queued since, and removes the
    // file. False with `error` set when the file is there but cannot be read.
    bool takeBack(const QString& path, QString* error = nullptr);

private:
    struct Row
    {
        QByteArray bytes;
        QDateTime at;
    };
    struct FileQueue
    {
        int monitor; // 0..2
        QString name;
        int fileType;
        std::deque<Row> rows;
    };

    void dropOldest(int monitor);

    std::vector<FileQueue> m_queues; // in the order of their first row
    std::array<std::size_t, 3> m_waiting{};
    std::array<LostRows, 3> m_lost;
};

} // namespace record
