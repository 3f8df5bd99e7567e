// The alarm tables at their seam, the rows in the database, on the default SQLite files and on
// a PostgreSQL server of the test's own; and the engine's path from a poll to a counted alarm.
#include "FakeLine.h"
#include "PostgresServer.h"
#include "alarms/AlarmCountTable.h"
#include "alarms/AlarmDatabases.h"
#include "alarms/AlarmSchema.h"
#include "alarms/AlarmSettingsTable.h"
#include "alarms/DuplicateAlarmSetting.h"
#include "core/Conversions.h"
#include "engine/TCommController.h"
#include "link/Crc.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace alarms;

namespace {

QString keyOf(const AlarmSetting& row)
{
    return row.Panel + QLatin1Char('/') + row.ControllerNO;
}

QStringList countRows(const QList<AlarmCountRow>& rows)
{
    QStringList texts;
    for (const AlarmCountRow& row : rows)
        texts << row.AlarmCount + QLatin1Char(' ') + row.Panel + QLatin1Char('/') +
                     row.ControllerNO;
    return texts;
}

// A Modbus RTU controller answering reads of PV (138) and SV (0), everything else 0.
QByteArray answer(const QByteArray& request, int pv, int sv)
{
    const int code = quint8(request[3]);
    const int value = code == 138 ? pv : code == 0 ? sv : 0;
    QByteArray reply;
    reply.append(request[0]).append(char(3)).append(char(2));
    reply.append(char((value >> 8) & 0xFF)).append(char(value & 0xFF));
    const quint16 crc = comm::crc16Modbus(reply);
    return reply.append(char(crc & 0xFF)).append(char(crc >> 8));
}

} // namespace

class TestAlarms : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void firstStartMakesTheDefaultFiles();
    void typedLimitReadsBackInShortestForm_data();
    void typedLimitReadsBackInShortestForm();
    void startUpLoadsEveryRowIntoItsSlot_data();
    void startUpLoadsEveryRowIntoItsSlot();
    void editingKeepsTableAndEngineAlike_data() { backends(); }
    void editingKeepsTableAndEngineAlike();
    void countsAndTheFrequencyGrid_data() { backends(); }
    void countsAndTheFrequencyGrid();
    void pollRaisesOneAlarmPerExcursion_data() { backends(); }
    void pollRaisesOneAlarmPerExcursion();
    void restartedServerFailsOneOperationOnly();
    void changeElsewhereReachesTheEngine();

private:
    void backends();
    // Fresh tables for the backend of the current row, both names opened.
    bool open(const QString& backend);
    void sql(const QString& statement);

    PostgresServer m_server;
    bool m_serverUp = false;
    std::unique_ptr<QTemporaryDir> m_home;
};

void TestAlarms::initTestCase()
{
    if (m_server.missingReason().isEmpty())
        m_serverUp = m_server.start();
    qInfo("PostgreSQL: %s",
          qPrintable(m_serverUp ? QStringLiteral("running")
                                : m_server.missingReason() + m_server.errorString()));
}

void TestAlarms::cleanup()
{
    QSqlDatabase::removeDatabase(QStringLiteral("WorkstationB"));
    QSqlDatabase::removeDatabase(DbAlarmInfo);
    QSqlDatabase::removeDatabase(DbAlarmCount);
}

void TestAlarms::backends()
{
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgres") << "postgres";
}

bool TestAlarms::open(const QString& backend)
{
    m_home = std::make_unique<QTemporaryDir>();
    const QString home = m_home->path();
    if (backend == QLatin1String("postgres")) {
        if (!m_server.missingReason().isEmpty())
            QTest::qSkip(qPrintable(m_server.missingReason()), __FILE__, __LINE__);
        if (!m_serverUp) {
            QTest::qFail(qPrintable(m_server.errorString()), __FILE__, __LINE__);
            return false;
        }
        QFile ini(home + QStringLiteral("/databases.ini"));
        if (!ini.open(QIODevice::WriteOnly))
            return false;
        ini.write((m_server.iniSection(DbAlarmInfo) + m_server.iniSection(DbAlarmCount) +
                   m_server.iniSection(QStringLiteral("WorkstationB")))
                      .toUtf8());
        ini.close();
        // Made the way a plant makes them, from the same definitions as the SQLite files.
        QSqlDatabase db = openDatabase(DbAlarmInfo, home);
        QSqlQuery(db).exec(QStringLiteral("DROP TABLE IF EXISTS DbAlarm, DbAlmCount"));
        createTables(db, settingsTableStatements() + settingsNotifyStatements() +
                             countTableStatements());
    } else {
        seedDefaultDatabases(home);
    }
    openDatabase(DbAlarmInfo, home);
    openDatabase(DbAlarmCount, home);
    return true;
}

void TestAlarms::sql(const QString& statement)
{
    QSqlQuery query(QSqlDatabase::database(DbAlarmInfo));
    QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
}

void TestAlarms::firstStartMakesTheDefaultFiles()
{
    QTemporaryDir home;
    QVERIFY(seedDefaultDatabases(home.path()));
    QVERIFY(!seedDefaultDatabases(home.path()));
    // It will hold the server's password: private from the first byte on.
    QCOMPARE(QFile::permissions(home.filePath(QStringLiteral("databases.ini"))) & 0x0FFF,
             QFile::ReadUser | QFile::WriteUser);
    QVERIFY(QFile::exists(home.filePath(QStringLiteral("DbAlarmInfo.sqlite"))));
    QVERIFY(QFile::remove(home.filePath(QStringLiteral("DbAlarmCount.sqlite"))));
    QVERIFY(seedDefaultDatabases(home.path())); // a lost default file comes back with its rows
    QSqlQuery count(openDatabase(DbAlarmCount, home.path()));
    QVERIFY(count.exec(QStringLiteral("SELECT COUNT(*) FROM DbAlmCount WHERE AlarmCount = '00'")));
    QVERIFY(count.next());
    QCOMPARE(count.value(0).toInt(), 30);
    count = QSqlQuery();

    // A name pointing at a file that is not there is start-up's error, not a new empty table.
    QFile ini(home.filePath(QStringLiteral("databases.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[DbAlarmInfo]\nDriver=QSQLITE\nDatabase=moved.sqlite\n");
    ini.close();
    QVERIFY(!seedDefaultDatabases(home.path()));
    QVERIFY_THROWS_EXCEPTION(QuillmereError, openDatabase(DbAlarmInfo, home.path()));
    QVERIFY(!QFile::exists(home.filePath(QStringLiteral("moved.sqlite"))));
}

void TestAlarms::typedLimitReadsBackInShortestForm_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // empty: the conversion error, nothing stored
    QTest::newRow("5") << "C"
                       << "5"
                       << "5";
    QTest::newRow("5.0") << "C"
                         << "5.0"
                         << "5";
    QTest::newRow("3.5") << "C"
                         << "3.5"
                         << "3.5";
    QTest::newRow("-2, blanks") << "C"
                                << " -2 "
                                << "-2";
    QTest::newRow("exponent") << "C"
                              << "1e6"
                              << "1000000";
    QTest::newRow("letters") << "C"
                             << "5a"
                             << "";
    QTest::newRow("other decimal mark") << "C"
                                        << "3,5"
                                        << "";
    QTest::newRow("de_DE 3,5") << "de_DE"
                               << "3,5"
                               << "3,5";
    QTest::newRow("de_DE group mark") << "de_DE"
                                      << "1.000"
                                      << "";
}

void TestAlarms::typedLimitReadsBackInShortestForm()
{
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    if (stored.isEmpty()) {
        QVERIFY_THROWS_EXCEPTION(QuillmereError, core::toFloat(typed, QLocale(locale)));
        return;
    }
    QCOMPARE(limitText(core::toFloat(typed, QLocale(locale)), QLocale(locale)), stored);
}

void TestAlarms::startUpLoadsEveryRowIntoItsSlot_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("row"); // as a plant might have typed it into the table
    QTest::addColumn<int>("monitor"); // 0: no slot gets it
    QTest::addColumn<int>("slot");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("low");
    QTest::addColumn<bool>("alarmAtFirst");
    for (const QString backend : {"sqlite", "postgres"}) {
        const auto row = [&](const char* name) {
            return &(QTest::newRow(qPrintable(backend + QStringLiteral(": ") + name)) << backend);
        };
        *row("YES") << "'2', '07', 5, 3, 'YES'" << 2 << 7 << "5"
                    << "3" << true;
        *row("yes is not YES") << "'2', '07', 5, 3, 'yes'" << 2 << 7 << "5"
                               << "3" << false;
        *row("shortest texts") << "'1', '10', 3.5, -2, 'NO'" << 1 << 10 << "3.5"
                               << "-2" << false;
        *row("Monitor 4 skipped") << "'4', '01', 5, 3, 'YES'" << 0 << 0 << ""
                                  << "" << false;
        *row("Controller 11 skipped") << "'1', '11', 5, 3, 'YES'" << 0 << 0 << ""
                                      << "" << false;
        *row("Monitor 0 skipped") << "'0', '05', 5, 3, 'YES'" << 0 << 0 << ""
                                  << "" << false;
    }
}

void TestAlarms::startUpLoadsEveryRowIntoItsSlot()
{
    QFETCH(QString, backend);
    QFETCH(QString, row);
    QFETCH(int, monitor);
    QFETCH(int, slot);
    QFETCH(QString, high);
    QFETCH(QString, low);
    QFETCH(bool, alarmAtFirst);
    QVERIFY(open(backend));
    sql(QStringLiteral("INSERT INTO DbAlarm VALUES (%1)").arg(row));
    AlarmSettingsTable table;
    StationModel model;
    table.loadInto(model);
    for (int m = 1; m <= MonitorCount; ++m) {
        for (int s = 1; s <= SlotCount; ++s) {
            const StationRecord& r = model.station(m, s);
            const bool ours = m == monitor && s == slot;
            QCOMPARE(r.HighLimitText, ours ? high : QString());
            QCOMPARE(r.LowLimitText, ours ? low : QString());
            QCOMPARE(r.AlarmAtFirst, ours && alarmAtFirst);
        }
    }
    QCOMPARE(table.rows().size(), 1); // listed even when no slot uses it
}

void TestAlarms::editingKeepsTableAndEngineAlike()
{
    QFETCH(QString, backend);
    QVERIFY(open(backend));
    AlarmSettingsTable table;
    StationModel model;

    // Add 1 Controller.
    table.insert({"2", "05", 5, 3, false}, model);
    QCOMPARE(keyOf(table.rows().value(0)) + table.rows().value(0).HAlarm, "2/055");
    QCOMPARE(model.station(2, 5).HighLimitText, "5");
    QCOMPARE(model.station(2, 5).LowLimitText, "3");
    QVERIFY(!model.station(2, 5).AlarmAtFirst);

    // Modify resets the count and the latches; the key is the row the dialog was opened for.
    model.station(2, 5).DeviationCount = 4;
    model.station(2, 5).HighLatched = model.station(2, 5).LowLatched = true;
    table.update({"2", "05", 3.5, -2, true}, model);
    const AlarmSetting modified = table.rows().value(0);
    QCOMPARE(modified.HAlarm + " " + modified.LAlarm + " " + modified.FirstAlarm, "3.5 -2 YES");
    const StationRecord& r = model.station(2, 5);
    QVERIFY(r.DeviationCount == 0 && !r.HighLatched && !r.LowLatched && r.AlarmAtFirst);
    QVERIFY_THROWS_EXCEPTION(QuillmereError, table.update({"3", "09", 1, 1, true}, model));
    QVERIFY_THROWS_EXCEPTION(QuillmereError, table.insert({"x", "01", 1, 1, true}, model));
    QCOMPARE(table.rows().size(), 1);

    // Add All stops at the first slot set already, the database refusing it.
    try {
        for (const QString panel : {"1", "2", "3"})
            for (int c = 1; c <= 10; ++c)
                table.insert(
                    {panel, QStringLiteral("%1").arg(c, 2, 10, QLatin1Char('0')), 10, 10, true},
                    model);
        QFAIL("the duplicate was stored");
    } catch (const DuplicateAlarmSetting& duplicate) {
        QCOMPARE(duplicate.Panel + "/" + duplicate.ControllerNO, "2/05");
        QVERIFY(!duplicate.message().isEmpty());
    }
    QStringList keys;
    for (const AlarmSetting& row : table.rows())
        keys << keyOf(row);
    QCOMPARE(keys, QString("1/01 1/02 1/03 1/04 1/05 1/06 1/07 1/08 1/09 1/10 "
                           "2/01 2/02 2/03 2/04 2/05")
                       .split(' '));
    QCOMPARE(model.station(2, 5).HighLimitText, "3.5"); // the stored setting kept
    QVERIFY(model.station(2, 6).HighLimitText.isEmpty());

    table.remove("2", "05", model);
    QVERIFY(model.station(2, 5).HighLimitText.isEmpty() && !model.station(2, 5).AlarmAtFirst);
    QCOMPARE(table.rows().size(), 14);
    table.removeAll(model);
    QVERIFY(table.rows().isEmpty());
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            QVERIFY(model.station(m, s).HighLimitText.isEmpty());
}

void TestAlarms::countsAndTheFrequencyGrid()
{
    QFETCH(QString, backend);
    QVERIFY(open(backend));
    AlarmCountTable counts;
    QVERIFY(counts.frequencyRows().isEmpty());
    // Updated out of key order, one slot twice: PostgreSQL would list it last.
    counts.write(2, 7, "01");
    counts.write(1, 10, "12");
    counts.write(3, 1, "03");
    counts.write(1, 2, "05");
    counts.write(2, 7, "02");
    QCOMPARE(countRows(counts.frequencyRows()),
             QStringList({"05 01/02", "12 01/10", "02 02/07", "03 03/01"}));
    counts.resetAll();
    QVERIFY(counts.frequencyRows().isEmpty());
    QSqlQuery all(QSqlDatabase::database(DbAlarmCount));
    QVERIFY(all.exec("SELECT COUNT(*) FROM DbAlmCount WHERE AlarmCount = '00'") && all.next());
    QCOMPARE(all.value(0).toInt(), 30);
}

void TestAlarms::pollRaisesOneAlarmPerExcursion()
{
    QFETCH(QString, backend);
    QVERIFY(open(backend));
    sql("INSERT INTO DbAlarm VALUES ('2', '07', 5, 3, 'YES')");
    int pv = 100;
    FakeLine::Log log;
    auto* line = new FakeLine(&log);
    line->answer = [&pv](const QByteArray& request, int) { return answer(request, pv, 100); };
    TCommController engine(std::make_unique<TRs485Comm>(std::unique_ptr<comm::SerialIo>(line)));
    engine.model().line(2) = {2, 38400, TConverter::RS485, TPsl::rtu};
    AlarmSettingsTable(DbAlarmInfo).loadInto(engine.model());
    AlarmCountTable counts;
    QList<EngineUpdate> alarms;
    QObject::connect(
        &engine, &TCommController::updateRequested, &engine,
        [&](const EngineUpdate& u) {
            if (u.kind == EngineUpdate::Alarm)
                alarms << u;
        },
        Qt::DirectConnection);
    // In, out (high) for two polls, in, out again, then below the band.
    for (const int reading : {100, 106, 106, 105, 107, 96, 96})
        pv = reading, engine.PollSlot(2, 7);
    QCOMPARE(alarms.size(), 3);
    QVERIFY(alarms[0].text.startsWith("Monitor:2,Controller:7-->Deviation High Alarm!   Time:"));
    QVERIFY(alarms[2].text.startsWith("Monitor:2,Controller:7-->Deviation Low Alarm!   Time:"));
    for (const EngineUpdate& alarm : alarms)
        counts.write(alarm.monitor, alarm.slot, alarm.countText);
    QCOMPARE(countRows(counts.frequencyRows()), QStringList{"03 02/07"});
}

void TestAlarms::restartedServerFailsOneOperationOnly()
{
    QVERIFY(open("postgres"));
    AlarmSettingsTable table;
    AlarmCountTable counts;
    StationModel model;
    table.insert({"1", "01", 5, 3, true}, model);
    QVERIFY2(m_server.restart(), qPrintable(m_server.errorString()));
    // The first use finds the connection gone: a clear error, nothing half done.
    try {
        table.removeAll(model);
        QFAIL("the lost connection went unnoticed");
    } catch (const QuillmereError& error) {
        qInfo("after the restart: %s", qPrintable(error.message()));
        QVERIFY(!error.message().isEmpty());
    }
    QVERIFY_THROWS_EXCEPTION(QuillmereError, counts.write(1, 1, "01"));
    QCOMPARE(model.station(1, 1).HighLimitText, "5");
    // The next ones reconnect, with every wait bounded again.
    QCOMPARE(table.rows().size(), 1);
    QSqlQuery show(QSqlDatabase::database(DbAlarmInfo));
    QVERIFY(show.exec("SELECT current_setting('statement_timeout'), "
                      "current_setting('lock_timeout')") &&
            show.next());
    QCOMPARE(show.value(0).toString() + " " + show.value(1).toString(), "3s 1s");
    show = QSqlQuery();
    table.insert({"1", "02", 5, 3, true}, model);
    QCOMPARE(table.rows().size(), 2);
    counts.write(1, 1, "01");
    QCOMPARE(countRows(counts.frequencyRows()), QStringList{"01 01/01"});

    // A server that hangs, its host answering for it: the wait ends at the client's bound.
    QVERIFY(m_server.freeze(true));
    QElapsedTimer held;
    held.start();
    try {
        table.rows();
        QFAIL("a hung server was waited for");
    } catch (const QuillmereError& error) {
        qInfo("a hung server held the caller %lld ms: %s", held.elapsed(),
              qPrintable(error.message()));
        QVERIFY(error.message().contains("did not answer"));
    }
    QVERIFY(m_server.freeze(false));
    QCOMPARE(table.rows().size(), 2); // a connection of its own again
}

void TestAlarms::changeElsewhereReachesTheEngine()
{
    QVERIFY(open("postgres"));
    openDatabase(QStringLiteral("WorkstationB"), m_home->path());
    AlarmSettingsTable here;
    AlarmSettingsTable there(QStringLiteral("WorkstationB"));
    StationModel model, modelThere;
    here.insert({"1", "01", 5, 3, true}, model);
    model.station(1, 1).DeviationCount = 4;
    int told = 0;
    QVERIFY(here.watchChanges([&told] { ++told; }));
    QList<AlarmSetting> listed = here.rows();

    // Another workstation adds one, changes one: this one hears of it and takes both.
    QElapsedTimer heard;
    heard.start();
    there.insert({"2", "07", 4, 2, false}, modelThere);
    QTRY_VERIFY_WITH_TIMEOUT(told >= 1, 10000);
    qInfo("a change made elsewhere was heard after %lld ms", heard.elapsed());
    listed = here.reloadInto(model, listed);
    QCOMPARE(model.station(2, 7).HighLimitText + " " + model.station(2, 7).LowLimitText, "4 2");
    QCOMPARE(model.station(1, 1).DeviationCount, 4); // unchanged: its count goes on
    here.insert({"3", "01", 1, 1, true}, model);     // our own change: not told again
    listed = here.rows();
    there.remove("1", "01", modelThere);
    QTRY_VERIFY_WITH_TIMEOUT(told >= 2, 10000);
    QCOMPARE(told, 2);
    listed = here.reloadInto(model, listed);
    QVERIFY(model.station(1, 1).HighLimitText.isEmpty() && model.station(1, 1).DeviationCount == 0);
    QCOMPARE(listed.size(), 2);
}

QTEST_GUILESS_MAIN(TestAlarms)
#include "tst_alarms.moc"
