#include "history/HistoryReader.h"
#include "history/LocalClock.h"

#include "record/RecordFormat.h"

#include <QDir>
#include <QSet>

namespace history {

QList<QLocale> candidateLocales()
{
    // Locales of the places such controllers are commonly run, the ones with other date
    // orders among them; the system's own goes first, so it wins a tie.
    static const char* const likely[] = {"en_US", "zh_TW", "zh_CN", "ja_JP", "ko_KR", "en_GB",
                                         "de_DE", "fr_FR", "it_IT", "es_ES", "nl_NL", "pl_PL",
                                         "ru_RU", "pt_BR", "cs_CZ", "th_TH", "vi_VN", "C"};
    QList<QLocale> locales{QLocale::system()};
    QSet<QString> names{QLocale::system().name()};
    for (const char* name : likely) {
        const QLocale locale{QString::fromLatin1(name)};
        if (!names.contains(locale.name())) {
            names.insert(locale.name());
            locales << locale;
        }
    }
    return locales;
}

QTimeZone recordZone(const QDateTime& from)
{
    return from.timeSpec() == Qt::TimeZone ? from.timeZone() : QTimeZone::systemTimeZone();
}

RecordFileSet findRecordFiles(const QString& monitorFolder, const QDateTime& from,
                              const QDateTime& to)
{
    RecordFileSet set;
    set.locale = QLocale::system();
    const QStringList entries = QDir(monitorFolder).entryList(QDir::Files);
    if (entries.isEmpty() || !from.isValid() || !to.isValid() || to <= from)
        return set;
    const QSet<QString> present(entries.begin(), entries.end());

    // The period in local seconds, as the names count the hours.
    const QTimeZone zone = recordZone(from);
    const QDateTime localFrom = from.toTimeZone(zone);
    const QDateTime localTo = to.toTimeZone(zone);
    const auto localSec = [](const QDateTime& at) {
        return daysFromCivil(at.date().year(), at.date().month(), at.date().day()) * 86400 +
               at.time().msecsSinceStartOfDay() / 1000;
    };
    const qint64 fromSec = localSec(localFrom);
    const qint64 toSec = std::max(localSec(localTo), fromSec + 1);
    const QDate firstDay = localFrom.date();
    const QDate lastDay = localTo.addMSecs(-1).date();

    // The names each locale would give the period; the locale with the most of them present
    // is the one that wrote them.
    int best = 0;
    for (const QLocale& locale : candidateLocales()) {
        std::vector<RecordFileSet::File> files;
        for (QDate day = firstDay; day <= lastDay; day = day.addDays(1)) {
            // UTC, so that an hour the clocks jump over still has its name made.
            const auto name = [&](int hour, int saveUnit, int fileType) {
                return record::fileName(QDateTime(day, QTime(hour, 0), QTimeZone::utc()), saveUnit,
                                        fileType, locale);
            };
            for (int type = 0; type < 2; ++type) {
                const QString day1 = name(0, 1, type);
                if (present.contains(day1))
                    files.push_back({monitorFolder + QLatin1Char('/') + day1, type, day});
            }
            const qint64 dayStart = daysFromCivil(day.year(), day.month(), day.day()) * 86400;
            for (int hour = 0; hour < 24; ++hour) {
                const qint64 start = dayStart + hour * 3600;
                if (start + 3600 <= fromSec || start >= toSec)
                    continue;
                for (int type = 0; type < 2; ++type) {
                    const QString hourName = name(hour, 0, type);
                    if (present.contains(hourName))
                        files.push_back({monitorFolder + QLatin1Char('/') + hourName, type, day});
                }
            }
        }
        if (best > 0 && int(files.size()) == best)
            set.alike << locale;
        if (int(files.size()) > best) {
            best = int(files.size());
            set.locale = locale;
            set.alike = {locale};
            set.files = std::move(files);
        }
    }
    return set;
}

} // namespace history
