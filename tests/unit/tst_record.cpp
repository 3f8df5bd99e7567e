// Data record files as they land on disk: names from the pinned locale's date and designators,
// header and row bytes, appending, and recording through a folder that is in the way.
#include "record/DataRecorder.h"
#include "record/RecordFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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

    explicit Recorder(int saveUnit = 0, int fileType = 0)
    {
        recorder.setLocale(QLocale(QStringLiteral("zh_TW")));
        recorder.setClock([this] { return now; });
        recorder.setFolderSource([this] { return folder; });
        recorder.settings().RecordSaveUnit = saveUnit;
        recorder.settings().RecordFileType = fileType;
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

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileNames_data();
    void fileNames();
    void dayFileBytes();
    void hourFilesAcrossMidnight();
    void existingFileIsAppendedWithoutHeader();
    void folderInTheWayFailsAndLosesNothing_data();
    void folderInTheWayFailsAndLosesNothing();
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

void TestRecord::existingFileIsAppendedWithoutHeader()
{
    Recorder r(1, 0);
    QVERIFY(QDir().mkpath(r.folder + "/Monitor1"));
    const QByteArray earlier = TxtHeader + "earlier run\t\r\n";
    {
        QFile file(r.file(1, "2024_5_3.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(earlier);
    }
    r.tick("2024-05-03T09:15:07");
    QCOMPARE(readFile(r.file(1, "2024_5_3.txt")), earlier + row("上午9:15:07", 1));
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

QTEST_GUILESS_MAIN(TestRecord)
#include "tst_record.moc"
