#include "record/RecordFiles.h"

#include "record/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace record {
namespace {

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

QString appendToFile(const QString& path, int fileType, const QByteArray& rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file.errorString();
    // An empty file gets its header too: a file left empty by an earlier failure would
    // otherwise hold rows no spreadsheet can name.
    const QByteArray bytes = file.size() == 0 ? headerLine(fileType) + rows : rows;
    if (file.write(bytes) != bytes.size())
        return file.errorString();
    return {};
}

} // namespace

std::optional<RecordFailure> RecordFiles::writeTick(const QString& folder, const QString& name,
                                                    int fileType,
                                                    const std::array<QByteArray, 3>& rows)
{
    for (std::size_t m = 0; m < 3; ++m) {
        std::deque<Row>& waiting = m_waiting[m];
        waiting.push_back(Row{name, fileType, rows[m]});
        if (waiting.size() > MaxWaitingRows) {
            waiting.pop_front();
            ++m_dropped;
        }
    }

    std::optional<RecordFailure> first = ensureFolder(folder);
    if (first)
        return first;
    for (std::size_t m = 0; m < 3; ++m) {
        const QString monitorFolder = folder + QStringLiteral("/Monitor%1").arg(m + 1);
        std::optional<RecordFailure> failure = ensureFolder(monitorFolder);
        if (!failure)
            failure = flush(monitorFolder, m_waiting[m]);
        if (failure && !first)
            first = failure;
    }
    return first;
}

std::optional<RecordFailure> RecordFiles::flush(const QString& monitorFolder, std::deque<Row>& rows)
{
    while (!rows.empty()) {
        // All waiting rows of one file in one write.
        const QString name = rows.front().name;
        QByteArray bytes;
        std::size_t count = 0;
        while (count < rows.size() && rows[count].name == name)
            bytes += rows[count++].bytes;
        const QString path = monitorFolder + QLatin1Char('/') + name;
        const QString error = appendToFile(path, rows.front().fileType, bytes);
        if (!error.isEmpty())
            return RecordFailure{error, path};
        rows.erase(rows.begin(), rows.begin() + std::ptrdiff_t(count));
    }
    return std::nullopt;
}

std::size_t RecordFiles::waitingRows() const
{
    std::size_t count = 0;
    for (const std::deque<Row>& rows : m_waiting)
        count += rows.size();
    return count;
}

} // namespace record
