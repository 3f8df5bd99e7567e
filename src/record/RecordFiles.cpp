#include "record/RecordFiles.h"

#include "record/RecordFormat.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

namespace record {
namespace {

// Rows go to the kernel in pieces of about this size, so that a day's catch-up can stop
// between two pieces when its time is up.
constexpr qsizetype SliceBytes = 256 * 1024;

constexpr quint32 KeepMagic = 0x514d5251; // "QMRQ"
constexpr quint32 KeepVersion = 1;

std::optional<RecordFailure> ensureFolder(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return std::nullopt;
    if (info.exists())
        return RecordFailure{QStringLiteral("a file is in the place of the folder"), path};
    // One level only: a missing parent is the operator's to fix, not ours to invent.
    if (!QDir().mkdir(path) && !QFileInfo(path).isDir())
        return RecordFailure{QStringLiteral("the folder cannot be created"), path};
    return std::nullopt;
}

QString monitorFolder(const QString& folder, int monitor)
{
    return folder + QStringLiteral("/Monitor%1").arg(monitor + 1);
}

// What goes before the first new row: the header in an empty file, a line end after a last
// line that has none (a power cut, an older program), nothing otherwise.
std::optional<QByteArray> lead(QFile& file, qint64 size, int fileType)
{
    if (size == 0)
        return headerLine(fileType);
    char last = 0;
    if (!file.seek(size - 1) || !file.getChar(&last))
        return std::nullopt;
    if (last == '\n')
        return QByteArray();
    return last == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}

// Appends whole rows from `rows`, piece by piece until they are all in or `budgetMs` have
// gone since `clock` started, and returns how many went in. On any failure, of a write or of
// the close (where network folders report theirs), the file is cut back to its length before
// this call and 0 is returned with `error` set: the rows go again later, whole.
template <class Rows>
std::size_t appendRows(const QString& path, int fileType, const Rows& rows,
                       const QElapsedTimer& clock, int budgetMs, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return 0;
    }
    const qint64 before = file.size();
    std::optional<QByteArray> bytes = lead(file, before, fileType);
    if (!bytes) {
        *error = file.errorString();
        return 0;
    }
    std::size_t done = 0;
    while (done < rows.size() && error->isEmpty()) {
        std::size_t next = done;
        while (next < rows.size() && bytes->size() < SliceBytes)
            *bytes += rows[next++].bytes;
        errno = 0;
        const qint64 written = file.write(*bytes);
        if (written != bytes->size()) {
            // A short write sets no error on the file; the call that stopped it left errno.
            const int code = errno;
            *error = written < 0 || code == 0 ? file.errorString()
                                              : QString::fromLocal8Bit(std::strerror(code));
            break;
        }
        done = next;
        bytes->clear();
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
    }
    file.close();
    if (error->isEmpty() && file.error() != QFileDevice::NoError)
        *error = file.errorString();
    if (error->isEmpty())
        return done;
    if (!file.resize(before))
        *error += QStringLiteral(", and the file could not be cut back: ") + file.errorString();
    return 0;
}

} // namespace

void RecordFiles::queue(const QString& name, int fileType, const QDateTime& at,
                        const std::array<QByteArray, 3>& rows)
{
    for (int m = 0; m < 3; ++m) {
        auto it = std::find_if(m_queues.rbegin(), m_queues.rend(), [&](const FileQueue& q) {
            return q.monitor == m && q.name == name;
        });
        if (it == m_queues.rend()) {
            m_queues.push_back(FileQueue{m, name, fileType, {}});
            it = m_queues.rbegin();
        }
        it->rows.push_back(Row{rows[size_t(m)], at});
        if (++m_waiting[size_t(m)] > MaxWaitingRows)
            dropOldest(m);
    }
}

void RecordFiles::dropOldest(int monitor)
{
    auto it = std::find_if(m_queues.begin(), m_queues.end(), [&](const FileQueue& q) {
        return q.monitor == monitor && !q.rows.empty();
    });
    if (it == m_queues.end())
        return;
    LostRows& lost = m_lost[size_t(monitor)];
    const QDateTime at = it->rows.front().at;
    if (lost.count == 0 || at < lost.first)
        lost.first = at;
    if (lost.count == 0 || at > lost.last)
        lost.last = at;
    ++lost.count;
    it->rows.pop_front();
    --m_waiting[size_t(monitor)];
    if (it->rows.empty())
        m_queues.erase(it);
}

std::optional<RecordFailure> RecordFiles::write(const QString& folder, int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    std::optional<RecordFailure> first = ensureFolder(folder);
    if (first)
        return first;
    std::array<std::optional<RecordFailure>, 3> folderFailure;
    for (int m = 0; m < 3; ++m) {
        if (m_waiting[size_t(m)] == 0)
            continue;
        folderFailure[size_t(m)] = ensureFolder(monitorFolder(folder, m));
        if (!first)
            first = folderFailure[size_t(m)];
    }
    // The newest file first: the rows of the hour or day under way reach their file at the
    // tick that took them, whatever an older file does.
    for (auto it = m_queues.rbegin(); it != m_queues.rend(); ++it) {
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
        FileQueue& q = *it;
        if (folderFailure[size_t(q.monitor)])
            continue;
        const QString path = monitorFolder(folder, q.monitor) + QLatin1Char('/') + q.name;
        QString error;
        const std::size_t done = appendRows(path, q.fileType, q.rows, clock, budgetMs, &error);
        q.rows.erase(q.rows.begin(), q.rows.begin() + std::ptrdiff_t(done));
        m_waiting[size_t(q.monitor)] -= done;
        if (!error.isEmpty() && !first)
            first = RecordFailure{error, path};
    }
    std::erase_if(m_queues, [](const FileQueue& q) { return q.rows.empty(); });
    return first;
}

std::size_t RecordFiles::waitingRows() const
{
    return m_waiting[0] + m_waiting[1] + m_waiting[2];
}

bool RecordFiles::keep(const QString& path, QString* error) const
{
    const bool lost = m_lost[0].count + m_lost[1].count + m_lost[2].count > 0;
    if (waitingRows() == 0 && !lost) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        if (error)
            *error = QStringLiteral("%1 cannot be removed").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_6_4);
    out << KeepMagic << KeepVersion << quint64(m_queues.size());
    for (const FileQueue& q : m_queues) {
        out << qint32(q.monitor) << q.name << qint32(q.fileType) << quint64(q.rows.size());
        for (const Row& row : q.rows)
            out << row.bytes << row.at;
    }
    for (const LostRows& l : m_lost)
        out << quint64(l.count) << l.first << l.last;
    if (out.status() != QDataStream::Ok || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool RecordFiles::takeBack(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.exists())
        return true;
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, reason);
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_6_4);
    quint32 magic = 0, version = 0;
    quint64 queues = 0;
    in >> magic >> version >> queues;
    if (magic != KeepMagic || version != KeepVersion)
        return fail(QStringLiteral("not a file of waiting rows"));
    std::vector<FileQueue> taken;
    for (quint64 i = 0; i < queues && in.status() == QDataStream::Ok; ++i) {
        qint32 monitor = 0, fileType = 0;
        quint64 count = 0;
        FileQueue q{0, {}, 0, {}};
        in >> monitor >> q.name >> fileType >> count;
        if (monitor < 0 || monitor > 2)
            return fail(QStringLiteral("not a file of waiting rows"));
        q.monitor = monitor;
        q.fileType = fileType;
        for (quint64 r = 0; r < count && in.status() == QDataStream::Ok; ++r) {
            Row row;
            in >> row.bytes >> row.at;
            q.rows.push_back(std::move(row));
        }
        taken.push_back(std::move(q));
    }
    std::array<LostRows, 3> lost;
    for (LostRows& l : lost) {
        quint64 count = 0;
        in >> count >> l.first >> l.last;
        l.count = count;
    }
    if (in.status() != QDataStream::Ok)
        return fail(QStringLiteral("the file is cut short"));
    file.close();
    if (!file.remove())
        return fail(file.errorString());

    // The kept rows are older than anything queued since: they go first, into their file.
    for (FileQueue& q : m_queues) {
        auto same = std::find_if(taken.begin(), taken.end(), [&](const FileQueue& t) {
            return t.monitor == q.monitor && t.name == q.name;
        });
        if (same == taken.end())
            taken.push_back(std::move(q));
        else
            same->rows.insert(same->rows.end(), q.rows.begin(), q.rows.end());
    }
    m_queues = std::move(taken);
    m_waiting = {};
    for (const FileQueue& q : m_queues)
        m_waiting[size_t(q.monitor)] += q.rows.size();
    for (std::size_t m = 0; m < 3; ++m) {
        if (lost[m].count > 0) {
            LostRows& mine = m_lost[m];
            mine.first = mine.count == 0 ? lost[m].first : qMin(mine.first, lost[m].first);
            mine.last = mine.count == 0 ? lost[m].last : qMax(mine.last, lost[m].last);
            mine.count += lost[m].count;
        }
        while (m_waiting[m] > MaxWaitingRows)
            dropOldest(int(m));
    }
    return true;
}

} // namespace record
