#pragma once

#include "history/MonitorHistory.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QTimeZone>

namespace history {

// Which files of a Monitor's folder hold a period, and in which locale they were named.
struct RecordFileSet
{
    struct File
    {
        QString path;
        int fileType = 0; // 0 .txt, 1 .xls
        QDate date;       // the day its name is of: the date of rows that hold only a time
    };
    QLocale locale;
    // Locales that give the same names (zh_TW and zh_CN do), `locale` first: their rows tell
    // them apart.
    QList<QLocale> alike;
    std::vector<File> files; // in time order, day files before the hour files of their day
};

// The zone the files' local times are read in: `from`'s when it names one, the system's
// otherwise (a time given in UTC is still a moment of the recorder's local day).
QTimeZone recordZone(const QDateTime& from);

// The files of `monitorFolder` whose names fall in the local period [from, to) of `zone`,
// named by record::fileName in the locale that matches most of them: the system's first,
// then a list of likely ones.
RecordFileSet findRecordFiles(const QString& monitorFolder, const QDateTime& from,
                              const QDateTime& to);

// The locales tried for the names, the system's first.
QList<QLocale> candidateLocales();

// Reads the rows of a period into a MonitorHistory; readMonitor's body.
class HistoryReader
{
public:
    HistoryReader(const QString& folder, int monitor, const QDateTime& from, const QDateTime& to,
                  const std::atomic<bool>* cancel);
    MonitorHistory read(ReadReport& report);

private:
    QString m_folder;
    int m_monitor;
    QDateTime m_from;
    QDateTime m_to;
    QTimeZone m_zone;
    const std::atomic<bool>* m_cancel;
};

} // namespace history
