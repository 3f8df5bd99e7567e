// A record file as an older program, a power cut or a hand edit may have left it, read back:
// the first byte picks the locale and the name (hour or day, .txt or .xls) of the file, the
// rest is its content. The rows read must be in time order, each time once, within the
// period, and drawing, statistics and the CSV must take whatever was read.
#include "FuzzInput.h"
#include "history/MonitorHistory.h"
#include "record/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    static const bool made = QDir().mkpath(dir.filePath(QStringLiteral("Monitor1")));
    if (size == 0 || !made)
        return 0;
    static const QLocale locales[] = {QLocale(QStringLiteral("en_US")),
                                      QLocale(QStringLiteral("zh_TW")), QLocale::system(),
                                      QLocale(QStringLiteral("de_DE"))};
    const QLocale& locale = locales[data[0] & 3];
    const int saveUnit = data[0] & 4 ? 1 : 0;
    const int fileType = data[0] & 8 ? 1 : 0;
    // The hour the clocks go back in Berlin: it comes twice.
    const QTimeZone berlin("Europe/Berlin");
    const QDateTime hour(QDate(2026, 10, 25), QTime(2, 0), berlin);
    const QString path = dir.filePath(QStringLiteral("Monitor1/") +
                                      record::fileName(hour, saveUnit, fileType, locale));
    writeInput(path, reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const QDateTime from(QDate(2026, 10, 25), QTime(0, 0), berlin);
    const QDateTime to = from.addDays(1);
    history::ReadReport report;
    const history::MonitorHistory h = history::readMonitor(dir.path(), 1, from, to, &report);
    QFile::remove(path);
    if (report.files != 1 || h.rowCount() > qsizetype(size))
        abort();
    for (qsizetype r = 0; r < h.rowCount(); ++r) {
        if (h.timeAt(r) < from.toMSecsSinceEpoch() || h.timeAt(r) >= to.toMSecsSinceEpoch())
            abort();
        if (r > 0 && h.timeAt(r) <= h.timeAt(r - 1))
            abort();
    }
    if (h.rowCount() == 0)
        return 0;
    std::vector<history::DrawPoint> points;
    const qint64 t0 = h.timeAt(0), t1 = h.timeAt(h.rowCount() - 1);
    for (int columns : {1, 3, 1024}) {
        h.drawPoints(int(data[size - 1] % history::SeriesCount), t0, t1, columns, points);
        for (const history::DrawPoint& p : points)
            if (p.min > p.max)
                abort();
    }
    const history::SlotStatistics s = history::statistics(h, 1, t0, t1, 0.5);
    if (s.samples > h.rowCount() || s.msAbove + s.msBelow > t1 - t0)
        abort();
    const QByteArray csv = history::csvText(h, {0, 1, 19}, t0, t1);
    if (csv.count('\n') != h.rowCount() + 1)
        abort();
    return 0;
}
