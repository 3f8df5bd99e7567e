// Data record files as they land on disk: names from the pinned locale's date and designators,
// header and row bytes, appending, and recording through faults: a folder or an older file in
// the way, a disk that takes part of a write, a torn last line, a close with rows waiting, and
// rows dropped at the cap.
#include "core/LocaleText.h"
#include "record/DataRecorder.h"
#include "record/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <sys/resource.h>

namespace {

const QByteArray TxtHeader = "Time\t\tPV1\tSV1\tPV2\tSV2\tPV3\tSV3\tPV4\tSV4\tPV5\tSV5\tPV6\tSV6\t"
                             "PV7\tSV7\tPV8\tSV8\tPV9\tSV9\tPV10\tSV10\t\r\n";

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QDateTime at(const char* text)
{
    return QDateTime::fromString(QLatin1String(text), Qt::ISODate);
}

// Monitor m, slot s holds PV "m.s" and SV "1m.s"; Monitor 2, slot 4 has lost its link.
record::RecordValues values()
{
    record::RecordValues v;
    for (int m = 0; m < 3; ++m)
        for (int s = 0; s < 10; ++s)
            v[size_t(m)][size_t(s)] = {QStringLiteral("%1.%2").arg(m + 1).arg(s + 1),
                                       QStringLiteral("1%1.%2").arg(m + 1).arg(s + 1)};
    v[1][3] = {};
    return v;
}

QByteArray row(const char* time, int monitor)
{
    QByteArray line = QByteArray(time) + '\t';
    for (int s = 1; s <= 10; ++s)
        line += monitor == 2 && s == 4
                    ? QByteArray("Empty\tEmpty\t")
                    : QStringLiteral("%1.%2\t1%1.%2\t").arg(monitor).arg(s).toUtf8();
    return line + "\r\n";
}

struct Recorder
{
    QTemporaryDir dir;
    QString folder = dir.path() + QStringLiteral("/data");
    QDateTime now;
    record::DataRecorder recorder{values};

    explicit Recorder(int saveUnit = 0, int fileType = 0) { setUp(recorder, saveUnit, fileType); }
    // Also for a second recorder standing for the next start of the program.
    void setUp(record::DataRecorder& rec, int saveUnit = 1, int fileType = 0)
    {
        rec.setLocale(QLocale(QStringLiteral("zh_TW")));
        rec.setClock([this] { return now; });
        rec.setFolderSource([this] { return folder; });
        rec.setKeepFile(dir.path() + QStringLiteral("/record-waiting.dat"));
        rec.settings().RecordSaveUnit = saveUnit;
        rec.settings().RecordFileType = fileType;
    }
    void tick(const char* time)
    {
        now = at(time);
        recorder.TmrRecordTimer();
    }
    QString file(int monitor, const QString& name) const
    {
        return folder + QStringLiteral("/Monitor%1/").arg(monitor) + name;
    }
};

// Files of this process may grow to `bytes` and no further, as on a disk or quota that fills;
// a write past it is cut short or refused (EFBIG) instead of ending the process.
struct FileSizeLimit
{
    rlimit saved{};
    explicit FileSizeLimit(qint64 bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limit = saved;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved); }
};

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileNames_data();
    void fileNames();
    void dayFileBytes();
    void hourFilesAcrossMidnight();
    void existingFileIsAppendedWithoutHeader_data();
    void existingFileIsAppendedWithoutHeader();
    void folderInTheWayFailsAndLosesNothing_data();
    void folderInTheWayFailsAndLosesNothing();
    void shortWriteIsUndoneAndWrittenWholeLater_data();
    void shortWriteIsUndoneAndWrittenWholeLater();
    void olderFileInTheWayHoldsBackOnlyItself();
    void closeWritesOrKeepsWaitingRows_data();
    void closeWritesOrKeepsWaitingRows();
    void rowsLostAtTheCapStayReportedUntilSeen();
};

void TestRecord::fileNames_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("when");
    QTest::addColumn<int>("saveUnit");
    QTest::addColumn<int>("fileType");
    QTest::addColumn<QString>("name");

    QTest::newRow("day .txt") << "zh_TW"
                              << "2024-05-03T10:00:00" << 1 << 0 << "2024_5_3.txt";
    QTest::newRow("day .xls") << "zh_TW"
                              << "2024-05-03T10:00:00" << 1 << 1 << "2024_5_3.xls";
    QTest::newRow("00:xx") << "zh_TW"
                           << "2024-05-03T00:05:00" << 0 << 0 << "2024_5_3_上午12時.txt";
    QTest::newRow("12:xx") << "zh_TW"
                           << "2024-05-03T12:59:59" << 0 << 0 << "2024_5_3_下午12時.txt";
    QTest::newRow("11:xx") << "zh_TW"
                           << "2024-05-03T11:00:00" << 0 << 1 << "2024_5_3_上午11時.xls";
    QTest::newRow("AM designator") << "en_US"
                                   << "2024-05-03T00:05:00" << 0 << 0 << "5_3_24_AM12時.txt";
    QTest::newRow("PM designator") << "en_US"
                                   << "2024-05-03T13:00:00" << 0 << 0 << "5_3_24_PM1時.txt";
    QTest::newRow("other separators stay") << "de_DE"
                                           << "2024-05-03T13:00:00" << 1 << 0 << "03.05.24.txt";
}

void TestRecord::fileNames()
{
    QFETCH(QString, locale);
    QFETCH(QString, when);
    QFETCH(int, saveUnit);
    QFETCH(int, fileType);
    QFETCH(QString, name);
    QCOMPARE(record::fileName(QDateTime::fromString(when, Qt::ISODate), saveUnit, fileType,
                              QLocale(locale)),
             name);
}

void TestRecord::dayFileBytes()
{
    Recorder r(1, 0);
    r.tick("2024-05-03T09:15:07");
    r.tick("2024-05-03T09:15:17");
    QCOMPARE(readFile(r.file(2, "2024_5_3.txt")),
             TxtHeader + row("上午9:15:07", 2) + row("上午9:15:17", 2));
    QCOMPARE(readFile(r.file(3, "2024_5_3.txt")),
             TxtHeader + row("上午9:15:07", 3) + row("上午9:15:17", 3));
    QCOMPARE(r.recorder.stateText(), QStringLiteral("Recording"));

    Recorder xls(1, 1);
    xls.tick("2024-05-03T09:15:07");
    QCOMPARE(readFile(xls.file(1, "2024_5_3.xls")),
             TxtHeader.left(5) + TxtHeader.mid(6) + row("上午9:15:07", 1));
}

void TestRecord::hourFilesAcrossMidnight()
{
    Recorder r;
    r.tick("2024-05-03T23:59:58");
    r.tick("2024-05-04T00:00:08");
    QCOMPARE(readFile(r.file(1, "2024_5_3_下午11時.txt")), TxtHeader + row("下午11:59:58", 1));
    QCOMPARE(readFile(r.file(1, "2024_5_4_上午12時.txt")), TxtHeader + row("上午12:00:08", 1));
    QCOMPARE(QDir(r.folder + "/Monitor3").entryList(QDir::Files).size(), 2);
}

void TestRecord::existingFileIsAppendedWithoutHeader_data()
{
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addColumn<QByteArray>("ended"); // what comes before the new row
    QTest::newRow("whole last line") << QByteArray("earlier run\t\r\n") << QByteArray();
    QTest::newRow("torn by a power cut") << QByteArray("earlier ru") << QByteArray("\r\n");
    QTest::newRow("torn between CR and LF") << QByteArray("earlier run\t\r") << QByteArray("\n");
    QTest::newRow("LF of another program") << QByteArray("earlier run\n") << QByteArray();
}

void TestRecord::existingFileIsAppendedWithoutHeader()
{
    QFETCH(QByteArray, lastLine);
    QFETCH(QByteArray, ended);
    Recorder r(1, 0);
    QVERIFY(QDir().mkpath(r.folder + "/Monitor1"));
    const QByteArray earlier = TxtHeader + lastLine;
    {
        QFile file(r.file(1, "2024_5_3.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    r.tick("2024-05-03T09:15:07");
    QCOMPARE(readFile(r.file(1, "2024_5_3.txt")), earlier + ended + row("上午9:15:07", 1));
}

void TestRecord::folderInTheWayFailsAndLosesNothing_data()
{
    QTest::addColumn<QString>("blocked");    // a file where this folder belongs
    QTest::addColumn<int>("blockedMonitor"); // 0: all three
    QTest::newRow("record folder") << "" << 0;
    QTest::newRow("Monitor1 folder") << "/Monitor1" << 1;
}

void TestRecord::folderInTheWayFailsAndLosesNothing()
{
    QFETCH(QString, blocked);
    QFETCH(int, blockedMonitor);
    Recorder r(1, 0);
    if (!blocked.isEmpty())
        QVERIFY(QDir().mkpath(r.folder));
    const QString path = r.folder + blocked;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    r.tick("2024-05-03T09:15:07");
    r.tick("2024-05-03T09:15:17");
    QCOMPARE(r.recorder.stateText(),
             QStringLiteral("Recording failed: a file is in the place of the folder: %1 "
                            "(%2 rows waiting)")
                 .arg(path)
                 .arg(blockedMonitor == 0 ? 6 : 2));
    if (blockedMonitor == 1) // the other Monitors go on
        QCOMPARE(readFile(r.file(2, "2024_5_3.txt")),
                 TxtHeader + row("上午9:15:07", 2) + row("上午9:15:17", 2));

    QVERIFY(QFile::remove(path));
    r.tick("2024-05-03T09:15:27");
    QCOMPARE(r.recorder.stateText(), QStringLiteral("Recording"));
    for (int m = 1; m <= 3; ++m)
        QCOMPARE(readFile(r.file(m, "2024_5_3.txt")),
                 TxtHeader + row("上午9:15:07", m) + row("上午9:15:17", m) + row("上午9:15:27", m));
}

void TestRecord::shortWriteIsUndoneAndWrittenWholeLater_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("room"); // bytes the disk still takes beyond Monitor1's file
    QTest::newRow("full part way through a row") << true << 40;
    QTest::newRow("full before the row") << true << 0;
    QTest::newRow("full part way through the header") << false << 30;
}

void TestRecord::shortWriteIsUndoneAndWrittenWholeLater()
{
    QFETCH(bool, existing);
    QFETCH(int, room);
    Recorder r(1, 0);
    QByteArray first;
    if (existing) {
        r.tick("2024-05-03T09:15:07");
        first = row("上午9:15:07", 0);
    }
    std::array<QByteArray, 3> before;
    for (int m = 1; m <= 3; ++m)
        before[size_t(m - 1)] = existing ? readFile(r.file(m, "2024_5_3.txt")) : QByteArray();
    {
        const FileSizeLimit full(before[0].size() + room);
        r.tick("2024-05-03T09:15:17");
    }
    QVERIFY2(r.recorder.stateText().startsWith("Recording failed: File too large: "),
             qPrintable(r.recorder.stateText()));
    for (int m = 1; m <= 3; ++m)
        QCOMPARE(readFile(r.file(m, "2024_5_3.txt")), before[size_t(m - 1)]);

    r.tick("2024-05-03T09:15:27");
    QCOMPARE(r.recorder.stateText(), QStringLiteral("Recording"));
    for (int m = 1; m <= 3; ++m)
        QCOMPARE(readFile(r.file(m, "2024_5_3.txt")),
                 TxtHeader + (existing ? row("上午9:15:07", m) : QByteArray()) +
                     row("上午9:15:17", m) + row("上午9:15:27", m));
}

void TestRecord::olderFileInTheWayHoldsBackOnlyItself()
{
    Recorder r;
    const QString older = r.file(1, "2024_5_3_上午9時.txt");
    const QString newer = r.file(1, "2024_5_3_上午10時.txt");
    QVERIFY(QDir().mkpath(older)); // even root cannot append to a folder
    r.tick("2024-05-03T09:59:58");
    r.tick("2024-05-03T10:00:08");
    QCOMPARE(readFile(newer), TxtHeader + row("上午10:00:08", 1));
    QVERIFY2(r.recorder.stateText().startsWith("Recording failed: "),
             qPrintable(r.recorder.stateText()));
    QVERIFY2(r.recorder.stateText().endsWith(older + " (1 rows waiting)"),
             qPrintable(r.recorder.stateText()));

    QVERIFY(QDir(older).removeRecursively());
    r.tick("2024-05-03T10:00:18");
    QCOMPARE(r.recorder.stateText(), QStringLiteral("Recording"));
    QCOMPARE(readFile(older), TxtHeader + row("上午9:59:58", 1));
    QCOMPARE(readFile(newer), TxtHeader + row("上午10:00:08", 1) + row("上午10:00:18", 1));
}

void TestRecord::closeWritesOrKeepsWaitingRows_data()
{
    QTest::addColumn<bool>("backBeforeClose");
    QTest::newRow("folder back before the close: written at the close") << true;
    QTest::newRow("folder still in the way: written at the next start") << false;
}

void TestRecord::closeWritesOrKeepsWaitingRows()
{
    QFETCH(bool, backBeforeClose);
    Recorder r(1, 0);
    const QString kept = r.dir.path() + "/record-waiting.dat";
    QVERIFY(QDir().mkpath(r.folder));
    QFile inTheWay(r.folder + "/Monitor2");
    QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    r.tick("2024-05-03T09:15:07");
    r.tick("2024-05-03T09:15:17");
    const QByteArray whole = TxtHeader + row("上午9:15:07", 2) + row("上午9:15:17", 2);
    if (backBeforeClose)
        QVERIFY(inTheWay.remove());
    r.recorder.finish();
    QCOMPARE(QFile::exists(kept), !backBeforeClose);
    if (backBeforeClose) {
        QCOMPARE(readFile(r.file(2, "2024_5_3.txt")), whole);
        return;
    }
    QVERIFY(inTheWay.remove());
    record::DataRecorder next(values);
    r.setUp(next);
    next.takeBack();
    QVERIFY(!QFile::exists(kept));
    QTRY_COMPARE(readFile(r.file(2, "2024_5_3.txt")), whole);
    QCOMPARE(next.stateText(), QString()); // all written, and no tick taken yet
    QCOMPARE(readFile(r.file(1, "2024_5_3.txt")),
             TxtHeader + row("上午9:15:07", 1) + row("上午9:15:17", 1));
}

void TestRecord::rowsLostAtTheCapStayReportedUntilSeen()
{
    Recorder r(1, 0);
    QFile inTheWay(r.folder);
    QVERIFY(inTheWay.open(QIODevice::WriteOnly));
    const QDateTime start = at("2024-05-03T00:00:00");
    // One tick more than the queue holds, and one more once the folder is back: two lost.
    const int ticks = int(record::RecordFiles::MaxWaitingRows) + 2;
    for (int i = 0; i < ticks; ++i) {
        if (i == ticks - 1)
            QVERIFY(inTheWay.remove());
        r.now = start.addSecs(i);
        r.recorder.TmrRecordTimer();
    }
    while (r.recorder.catchingUp())
        r.recorder.writeWaiting();
    const QString report = "Monitor1, 2, 3: 2 rows lost each, 2024/5/3 上午12:00:00 to "
                           "上午12:00:01 (click to clear)";
    QCOMPARE(r.recorder.stateText(), report + "; Recording");
    // Whole rows from the third on, each once, across the two day files.
    const QByteArray day1 = readFile(r.file(2, "2024_5_3.txt"));
    const QByteArray day2 = readFile(r.file(2, "2024_5_4.txt"));
    QVERIFY(day1.startsWith(TxtHeader + row("上午12:00:02", 2)));
    QCOMPARE(day1.count("\r\n") + day2.count("\r\n"), 2 + ticks - 2);
    QVERIFY(day2.endsWith(row(qPrintable(core::longTimeText(r.now.time(), QLocale("zh_TW"))), 2)));

    r.recorder.switchTimer(false); // still in sight when recording stops
    QCOMPARE(r.recorder.stateText(), report);
    r.recorder.acknowledgeLoss();
    QCOMPARE(r.recorder.stateText(), QString());
}

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
