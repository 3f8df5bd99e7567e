// Reading the record folder back: files the recorder itself wrote in two locales, both save
// units and both types, across midnight, noon and both clock changes (Europe/Berlin); torn and
// duplicated lines; statistics on known rows; drawn columns against a brute-force min/max;
// the CSV export read back.
#include "core/LocaleText.h"
#include "history/MonitorHistory.h"
#include "record/DataRecorder.h"
#include "record/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <ctime>

using history::MonitorHistory;

namespace {

QDateTime utc(const char* text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate).toUTC();
}

// Slot k's PV at tick i: a saw of tenths, "Empty" now and then on slot 3.
QString pvText(int i, int slot)
{
    if (slot == 3 && i % 37 == 5)
        return {};
    return QString::number(100 + slot + (i * 7 + slot) % 50 / 10.0, 'f', 1);
}

double expected(int i, int series)
{
    const int slot = series / 2 + 1;
    if (series % 2)
        return 250;
    const QString text = pvText(i, slot);
    return text.isEmpty() ? qQNaN() : text.toDouble();
}

// A day file of Monitor1 written with the recorder's format: rows a second apart with
// PV texts `pv` for slot 1 (an empty text: no row), SV 5 for slot 1, and 1.5/2.5 elsewhere.
QString writeRows(const QString& folder, const QDateTime& start, const QStringList& pv,
                  const QLocale& locale = QLocale(QStringLiteral("en_US")))
{
    QDir().mkpath(folder + QStringLiteral("/Monitor1"));
    const QString path =
        folder + QStringLiteral("/Monitor1/") + record::fileName(start, 1, 0, locale);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(record::headerLine(0));
    record::MonitorTexts values;
    values.fill({QStringLiteral("1.5"), QStringLiteral("2.5")});
    for (qsizetype i = 0; i < pv.size(); ++i) {
        if (pv[i] == QLatin1String("-"))
            continue;
        const QDateTime at = start.addSecs(i);
        values[0] = {pv[i] == QLatin1String("Empty") ? QString() : pv[i], QStringLiteral("5")};
        file.write(record::rowLine(core::longTimeText(at.time(), locale), values));
    }
    return path;
}

} // namespace

class TestHistory : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsWhatTheRecorderWrote_data();
    void readsWhatTheRecorderWrote();
    void skipsTornAndDuplicatedLines_data();
    void skipsTornAndDuplicatedLines();
    void statisticsOfKnownRows_data();
    void statisticsOfKnownRows();
    void drawnColumnsAreTheExtentOfTheirRows_data();
    void drawnColumnsAreTheExtentOfTheirRows();
};

void TestHistory::readsWhatTheRecorderWrote_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("saveUnit");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("stepS");
    // 23:00 to 13:00: a new date, 12 AM and 12 PM.
    const QDateTime night = utc("2026-03-14T22:00:00Z");
    QTest::newRow("en_US hour .txt, midnight and noon") << "en_US" << 0 << 0 << night << 840 << 60;
    QTest::newRow("zh_TW day .xls, midnight and noon") << "zh_TW" << 1 << 1 << night << 840 << 60;
    QTest::newRow("zh_TW hour .xls, clocks back")
        << "zh_TW" << 0 << 1 << utc("2026-10-24T22:30:00Z") << 600 << 30;
    QTest::newRow("en_US day .txt, clocks back")
        << "en_US" << 1 << 0 << utc("2026-10-24T22:30:00Z") << 300 << 60;
    QTest::newRow("en_US hour .txt, clocks forward")
        << "en_US" << 0 << 0 << utc("2026-03-28T23:30:00Z") << 300 << 60;
    QTest::newRow("zh_CN hour .txt: zh_TW's names, 24-hour rows")
        << "zh_CN" << 0 << 0 << night << 200 << 60;
    QTest::newRow("the system's own locale, hour .xls")
        << QLocale::system().name() << 0 << 1 << night << 200 << 60;
}

void TestHistory::readsWhatTheRecorderWrote()
{
    QFETCH(QString, locale);
    QFETCH(int, saveUnit);
    QFETCH(int, fileType);
    QFETCH(QDateTime, start);
    QFETCH(int, ticks);
    QFETCH(int, stepS);
    QTemporaryDir dir;
    int tick = 0;
    record::DataRecorder recorder([&tick] {
        record::RecordValues v;
        for (int s = 1; s <= 10; ++s)
            v[0][std::size_t(s - 1)] = {pvText(tick, s), QStringLiteral("250.0")};
        return v;
    });
    QDateTime now;
    recorder.setClock([&now] { return now; });
    recorder.setFolderSource([&dir] { return dir.path(); });
    recorder.setLocale(QLocale(locale));
    recorder.settings().RecordSaveUnit = saveUnit;
    recorder.settings().RecordFileType = fileType;
    for (tick = 0; tick < ticks; ++tick) {
        now = start.addSecs(qint64(tick) * stepS).toLocalTime();
        recorder.TmrRecordTimer();
    }
    QCOMPARE(recorder.stateText(), QStringLiteral("Recording"));

    history::ReadReport report;
    const QDateTime from = start.addSecs(-3600); // in UTC: still read in local time
    const MonitorHistory h = history::readMonitor(dir.path(), 1, from, from.addDays(2), &report);
    QCOMPARE(report.locale.name(), QLocale(locale).name());
    QCOMPARE(report.files, int(QDir(dir.path() + QStringLiteral("/Monitor1")).count()) - 2);
    QCOMPARE(report.tornLines, 0);
    QCOMPARE(report.duplicateRows, 0);
    QVERIFY(report.problems.isEmpty());
    QCOMPARE(h.rowCount(), qsizetype(ticks));
    for (int i = 0; i < ticks; ++i) {
        QCOMPARE(h.timeAt(i), start.addSecs(qint64(i) * stepS).toMSecsSinceEpoch());
        for (int s = 0; s < history::SeriesCount; ++s) {
            const double v = h.valueAt(i, s);
            if (!(std::isnan(v) && std::isnan(expected(i, s))))
                QCOMPARE(v, expected(i, s));
        }
    }
    QCOMPARE(h.sampleStepMs(), stepS * 1000);
    QCOMPARE(h.nearestRow(h.timeAt(5) + stepS * 400), 5);

    // The CSV: ISO times with the offset of their moment, "." decimals, empty for "Empty".
    const QList<QByteArray> lines =
        history::csvText(h, {0, 5, 4}, h.timeAt(0), h.timeAt(ticks - 1)).split('\n');
    QCOMPARE(lines.size(), ticks + 2);
    QCOMPARE(lines[0], QByteArray("time,PV1,SV3,PV3\r"));
    for (int i = 0; i < ticks; ++i) {
        const QList<QByteArray> cells = lines[i + 1].chopped(1).split(',');
        const QDateTime at = QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODate);
        QCOMPARE(at.toMSecsSinceEpoch(), h.timeAt(i));
        QCOMPARE(at.offsetFromUtc(), QDateTime::fromMSecsSinceEpoch(h.timeAt(i)).offsetFromUtc());
        QCOMPARE(cells[1], pvText(i, 1).toLatin1());
        QCOMPARE(cells[2], QByteArray("250.0"));
        QCOMPARE(cells[3], pvText(i, 3).toLatin1());
    }
}

void TestHistory::skipsTornAndDuplicatedLines_data()
{
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<bool>("atEnd");
    QTest::addColumn<int>("torn");
    QTest::addColumn<int>("duplicates");
    QTest::addColumn<int>("rows");
    const QByteArray second = "10:00:01 AM\t";
    QByteArray again = second;
    for (int k = 0; k < 20; ++k)
        again += "9.9\t";
    QTest::newRow("cut short") << second + "1.5\t2.5\t1.\r\n" << false << 1 << 0 << 3;
    QTest::newRow("last value without its TAB") << again.chopped(1) + "\r\n"
                                                << false << 1 << 0 << 3;
    QTest::newRow("header again") << record::headerLine(0) << false << 1 << 0 << 3;
    QTest::newRow("not a row") << QByteArray("\x01\xff garbage\r\n\r\n") << false << 2 << 0 << 3;
    QTest::newRow("a time twice, the first kept") << again + "\r\n" << false << 0 << 1 << 3;
    QTest::newRow("cut at the end") << QByteArray("10:00:03 AM\t1.5\t2") << true << 1 << 0 << 3;
    QTest::newRow("unreadable value") << QByteArray("10:00:03 AM\tx\t") + again.mid(16) + "\r\n"
                                      << true << 0 << 0 << 4;
    QTest::newRow("a row with its date")
        << QByteArray("3/14/26 10:00:03 AM\t") + again.mid(12) << true << 0 << 0 << 4;
}

void TestHistory::skipsTornAndDuplicatedLines()
{
    QFETCH(QByteArray, inserted);
    QFETCH(bool, atEnd);
    QFETCH(int, torn);
    QFETCH(int, duplicates);
    QFETCH(int, rows);
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 3, 14), QTime(10, 0));
    const QString path = writeRows(dir.path(), start, {"1.0", "2.0", "3.0"});
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    file.close();
    const qsizetype cut = atEnd ? bytes.size() : bytes.indexOf("10:00:02 AM");
    bytes.insert(cut, inserted);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(bytes);
    file.close();

    history::ReadReport report;
    const MonitorHistory h =
        history::readMonitor(dir.path(), 1, start, start.addSecs(3600), &report);
    QCOMPARE(report.tornLines, torn);
    QCOMPARE(report.duplicateRows, duplicates);
    QCOMPARE(h.rowCount(), qsizetype(rows));
    QCOMPARE(h.valueAt(1, 0), 2.0);
    QCOMPARE(h.valueAt(2, 0), 3.0);
    if (rows == 4) {
        QCOMPARE(h.timeAt(3), start.addSecs(3).toMSecsSinceEpoch());
        QCOMPARE(std::isnan(h.valueAt(3, 0)), inserted.contains("\tx\t"));
    }
}

void TestHistory::statisticsOfKnownRows_data()
{
    QTest::addColumn<QStringList>("pv"); // one a second from 10:00:00; "-": no row
    QTest::addColumn<double>("band");
    QTest::addColumn<qsizetype>("samples");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("mean");
    QTest::addColumn<qint64>("msAbove");
    QTest::addColumn<qint64>("msBelow");
    QTest::addColumn<int>("gaps");
    // SV is 5: above means PV > 5 + band, below PV < 5 - band; a row holds until the next.
    QTest::newRow("above and below the band")
        << QStringList{"4.0", "5.0", "6.5", "7.0", "3.0", "5.9"} << 1.0 << qsizetype(6) << 3.0
        << 7.0 << 31.4 / 6 << qint64(2000) << qint64(1000) << 0;
    QTest::newRow("Empty and missing rows are gaps")
        << QStringList{"6", "Empty", "Empty", "7", "-", "-", "-", "2", "8"} << 0.0 << qsizetype(4)
        << 2.0 << 8.0 << 5.75 << qint64(2000) << qint64(1000) << 2;
    QTest::newRow("Empty running into missing rows: one gap")
        << QStringList{"1", "Empty", "-", "-", "-", "2"} << 0.0 << qsizetype(2) << 1.0 << 2.0 << 1.5
        << qint64(0) << qint64(1000) << 1;
    QTest::newRow("negative values, no band")
        << QStringList{"-1.25", "-3.5", "12.75"} << 0.0 << qsizetype(3) << -3.5 << 12.75 << 8.0 / 3
        << qint64(0) << qint64(2000) << 0;
}

void TestHistory::statisticsOfKnownRows()
{
    QFETCH(QStringList, pv);
    QFETCH(double, band);
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 6, 1), QTime(10, 0));
    writeRows(dir.path(), start, pv);
    const MonitorHistory h = history::readMonitor(dir.path(), 1, start, start.addDays(1));
    const history::SlotStatistics s = history::statistics(
        h, 1, start.toMSecsSinceEpoch(), start.addSecs(pv.size() - 1).toMSecsSinceEpoch(), band);
    QTEST(s.samples, "samples");
    QTEST(s.min, "min");
    QTEST(s.max, "max");
    QFETCH(double, mean);
    QVERIFY(std::abs(s.mean - mean) < 1e-12);
    QTEST(s.msAbove, "msAbove");
    QTEST(s.msBelow, "msBelow");
    QTEST(s.gaps, "gaps");
}

void TestHistory::drawnColumnsAreTheExtentOfTheirRows_data()
{
    QTest::addColumn<int>("from"); // seconds after the first row
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("columns");
    QTest::newRow("all rows, few columns: the pyramid's upper levels") << 0 << 20000 << 7;
    QTest::newRow("across the missing stretch") << 4000 << 3000 << 100;
    QTest::newRow("odd edges, first level and raw rows") << 1234 << 5555 << 1024;
    QTest::newRow("few rows: the samples themselves") << 4990 << 300 << 200;
    QTest::newRow("before the first row") << -500 << 1000 << 50;
}

void TestHistory::drawnColumnsAreTheExtentOfTheirRows()
{
    QFETCH(int, from);
    QFETCH(int, span);
    QFETCH(int, columns);
    // 20000 s of rows, values jumping about, an "Empty" stretch and a missing one.
    QStringList pv;
    quint32 seed = 7;
    for (int i = 0; i < 20000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        pv << (i >= 5000 && i < 5600   ? "-"
               : i >= 9000 && i < 9100 ? "Empty"
                                       : QString::number(int(seed >> 20) - 2048) + ".5");
    }
    QTemporaryDir dir;
    const QDateTime start(QDate(2026, 6, 1), QTime(1, 0));
    writeRows(dir.path(), start, pv);
    const MonitorHistory h = history::readMonitor(dir.path(), 1, start, start.addDays(1));
    QCOMPARE(h.rowCount(), qsizetype(20000 - 600));

    const qint64 t0 = start.toMSecsSinceEpoch() + qint64(from) * 1000;
    const qint64 t1 = t0 + qint64(span) * 1000;
    std::vector<history::DrawPoint> points;
    h.drawPoints(0, t0, t1, columns, points);
    const qsizetype a = h.lowerBound(t0);
    const qsizetype b = h.upperBound(t1);
    const qsizetype first = std::max<qsizetype>(a - 1, 0), last = std::min(b + 1, h.rowCount());
    // Brute force: the rows drawn, with a gap point between two rows farther apart than gapMs.
    std::vector<history::DrawPoint> want;
    const auto gapBefore = [&](qsizetype r, qsizetype previous) {
        if (previous >= 0 && h.timeAt(r) - h.timeAt(previous) > h.gapMs())
            want.push_back({h.timeAt(previous) + h.sampleStepMs(), NAN, NAN});
    };
    if (b - a <= 2 * columns) {
        for (qsizetype r = first; r < last; ++r) {
            gapBefore(r, r > first ? r - 1 : -1);
            want.push_back({h.timeAt(r), float(h.valueAt(r, 0)), float(h.valueAt(r, 0))});
        }
    } else {
        qsizetype previous = -1;
        if (first < a)
            want.push_back(
                {h.timeAt(first), float(h.valueAt(first, 0)), float(h.valueAt(first, 0))});
        previous = first < a ? first : -1;
        for (int c = 0; c < columns; ++c) {
            const qint64 cs = t0 + (t1 - t0 + 1) * c / columns;
            const qint64 ce = t0 + (t1 - t0 + 1) * (c + 1) / columns;
            float lo = INFINITY, hi = -INFINITY;
            qsizetype rows = 0;
            for (qsizetype r = a; r < b; ++r) {
                if (h.timeAt(r) < cs || h.timeAt(r) >= ce)
                    continue;
                if (rows++ == 0)
                    gapBefore(r, previous);
                previous = r;
                lo = std::min(lo, float(h.valueAt(r, 0)));
                hi = std::max(hi, float(h.valueAt(r, 0)));
            }
            if (rows > 0 && (want.empty() || lo <= hi || !std::isnan(want.back().min)))
                want.push_back({cs + (ce - cs) / 2, lo <= hi ? lo : NAN, lo <= hi ? hi : NAN});
        }
        if (b < h.rowCount()) {
            gapBefore(b, previous);
            want.push_back({h.timeAt(b), float(h.valueAt(b, 0)), float(h.valueAt(b, 0))});
        }
    }
    QCOMPARE(points.size(), want.size());
    for (std::size_t k = 0; k < want.size(); ++k) {
        QCOMPARE(points[k].t, want[k].t);
        QCOMPARE(std::isnan(points[k].min), std::isnan(want[k].min));
        if (!std::isnan(want[k].min)) {
            QCOMPARE(points[k].min, want[k].min);
            QCOMPARE(points[k].max, want[k].max);
        }
    }
}

int main(int argc, char* argv[])
{
    // Local time is Berlin's, for the clock changes of the rows above.
    qputenv("TZ", "Europe/Berlin");
    tzset();
    QCoreApplication app(argc, argv);
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_history.moc"
