// Deviation alarms in the real program against simulated controllers, with the alarm tables
// on SQLite and on a PostgreSQL server: one alarm per excursion, counted in the table and
// listed on the Frequency tab.
#include "../ui/RecordingDialogs.h"
#include "MosquittoBroker.h"
#include "MqttSubscriber.h"
#include "PostgresServer.h"
#include "SimProcess.h"
#include "alarms/AlarmCountTable.h"
#include "alarms/AlarmDatabases.h"
#include "alarms/AlarmSchema.h"
#include "alarms/AlarmSettingsTable.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/dialogs/TFmAlmDlg.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TAlarmHistoryPanel.h"
#include "ui/pages/TAlarmPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMutexLocker>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {
RecordingDialogs* g_dialogs = nullptr;

QStringList gridRows(QTableView* grid)
{
    QStringList rows;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        rows << QStringLiteral("%1|%2|%3")
                    .arg(grid->model()->index(r, 0).data().toString(),
                         grid->model()->index(r, 1).data().toString(),
                         grid->model()->index(r, 2).data().toString());
    return rows;
}
const QStringList SimArgs{"--stations", "com=1,ids=1-10,family=104,input=0,pv=300,sv=300",
                          "--stations", "com=2,ids=11-20",
                          "--stations", "com=3,ids=21-30",
                          "--frozen",   "--no-wire-timing"};

// Monitor 1, slot 3: 5 above and 3 below its SV of 30.0, alarm at the first excursion.
void addSetting(const Windows& w, const QString& slot = QStringLiteral("03"))
{
    w.FmHome->alarmPage()->BtnAddSettingClick();
    w.FmAddAlarm->findChild<QComboBox*>("CboControllerNO")->setCurrentText(slot);
    w.FmAddAlarm->findChild<QLineEdit*>("TxtHAlm")->setText("5");
    w.FmAddAlarm->findChild<QLineEdit*>("TxtLAlm")->setText("3");
    w.FmAddAlarm->findChild<QCheckBox*>("ChkFirstAlarm")->setChecked(true);
    QTest::mouseClick(w.FmAddAlarm->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
}

void startPolling(TFmHome* home)
{
    QTest::mouseClick(home->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(home->DpScanDone(), 60000);
}

QString statusOf(TFmHome* home, const char* segment)
{
    return home->statusLine()->segment(QLatin1String(segment));
}

// A connection of the test's own to `file` or to the server, as another program has one.
QSqlDatabase otherSession(const QString& name, const QString& file = {})
{
    QSqlDatabase db = QSqlDatabase::addDatabase(file.isEmpty() ? "QPSQL" : "QSQLITE", name);
    db.setDatabaseName(file);
    return db;
}
} // namespace

class TestAlarmsSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void excursionRaisesOneCountedAlarm_data();
    void excursionRaisesOneCountedAlarm();

    void countTableRefusingWritesLosesNoAlarm();
    void sharedServerChangedLockedAndDown();

private:
    // The settings table on the test's server as a plant makes it; the counts stay in the home.
    bool makeServerTables(const QString& home);

    std::unique_ptr<PostgresServer> m_server;
};

bool TestAlarmsSim::makeServerTables(const QString& home)
{
    QFile ini(home + QStringLiteral("/databases.ini"));
    if (!ini.open(QIODevice::WriteOnly))
        return false;
    ini.write((m_server->iniSection(alarms::DbAlarmInfo) +
               "[DbAlarmCount]\nDriver=QSQLITE\nDatabase=DbAlarmCount.sqlite\n" +
               m_server->iniSection("WorkstationB"))
                  .toUtf8());
    ini.close();
    ini.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    // The plant makes its tables on its server; the program never does.
    QSqlDatabase db = alarms::openDatabase(alarms::DbAlarmInfo, home);
    QSqlQuery(db).exec(QStringLiteral("DROP TABLE IF EXISTS DbAlarm, DbAlmCount"));
    alarms::createTables(db,
                         alarms::settingsTableStatements() + alarms::settingsNotifyStatements());
    db = {};
    QSqlDatabase::removeDatabase(alarms::DbAlarmInfo);
    return true;
}

void TestAlarmsSim::initTestCase()
{
    m_server = std::make_unique<PostgresServer>();
}

void TestAlarmsSim::excursionRaisesOneCountedAlarm_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgres") << true;
}

void TestAlarmsSim::excursionRaisesOneCountedAlarm()
{
    QFETCH(bool, postgres);
    SimProcess sim({"--stations", "com=1,ids=1-10,family=104,input=0,pv=300,sv=300", "--stations",
                    "com=2,ids=11-20", "--stations", "com=3,ids=21-30", "--frozen",
                    "--no-wire-timing"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QString home = sim.home();
    qputenv("QUILLMERE_HOME", home.toLocal8Bit());
    if (postgres) {
        if (!m_server->missingReason().isEmpty())
            QSKIP(qPrintable(m_server->missingReason()));
        QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
        QVERIFY(makeServerTables(home));
    }

    Program program(*g_dialogs);
    QVERIFY(program.start());
    const Windows& w = program.windows();
    TFmHome* home_ = w.FmHome;
    addSetting(w);
    QCOMPARE(g_dialogs->messages, QStringList());
    startPolling(home_);
    TAlarmHistoryPanel* history = home_->alarmPage()->history();
    auto* grid = home_->findChild<QTableView*>("DBGrid2");

    QVERIFY(sim.command(QStringLiteral("set 1 3 138 200"))); // PV 20.0, below the band
    QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 1, 20000);
    QVERIFY2(
        history->lines()[0].startsWith("Monitor:1,Controller:3-->Deviation Low Alarm!   Time:"),
        qPrintable(history->lines()[0]));
    // Polls go on below the band: still the one alarm.
    sim.clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter(QStringLiteral("0303008a")).size() >= 3, 20000);
    QCOMPARE(history->lines().size(), 1);
    QCOMPARE(gridRows(grid), QStringList{"01|01|03"});

    // Back into the band and out again: a second excursion, a second count.
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 300")));
    sim.clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter(QStringLiteral("0303008a")).size() >= 2, 20000);
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 360"))); // PV 36.0, above the band
    QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 2, 20000);
    QVERIFY(history->lines()[1].contains("Deviation High Alarm!"));
    QCOMPARE(gridRows(grid), QStringList{"02|01|03"});
    QList<QStringList> counted;
    for (const alarms::AlarmCountRow& row : alarms::AlarmCountTable().frequencyRows())
        counted << QStringList{row.AlarmCount, row.Panel, row.ControllerNO};
    QCOMPARE(counted, QList<QStringList>{QStringList({"02", "01", "03"})});
    QCOMPARE(g_dialogs->messages, QStringList());
    home_->close();
}

void TestAlarmsSim::countTableRefusingWritesLosesNoAlarm()
{
    MosquittoBroker broker;
    if (!broker.missingReason().isEmpty())
        QSKIP(qPrintable(broker.missingReason()));
    QVERIFY2(broker.start(), qPrintable(broker.errorString()));
    const QString prefix = QStringLiteral("quillmere/alarm-test");
    MqttSubscriber subscriber(broker.port(), prefix + QStringLiteral("/alarms"));
    QTRY_VERIFY_WITH_TIMEOUT(subscriber.subscribed(), 10000);
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    QFile publish(sim.home() + QStringLiteral("/publish.ini"));
    QVERIFY(publish.open(QIODevice::WriteOnly));
    publish.write("[mqtt]\nhost=127.0.0.1\nport=" + QByteArray::number(broker.port()) +
                  "\nprefix=" + prefix.toUtf8() + "\nqos=1\n");
    publish.close();
    QVERIFY(publish.setPermissions(QFile::ReadOwner | QFile::WriteOwner));

    g_dialogs->messages.clear();
    Program program(*g_dialogs);
    QVERIFY(program.start());
    TFmHome* home = program.windows().FmHome;
    addSetting(program.windows());
    startPolling(home);
    // Another program makes the count table refuse every update.
    QSqlDatabase other = otherSession("other", sim.home() + "/DbAlarmCount.sqlite");
    QVERIFY(other.open());
    QVERIFY(QSqlQuery(other).exec("CREATE TRIGGER readonly BEFORE UPDATE ON DbAlmCount BEGIN "
                                  "SELECT RAISE(FAIL, 'DbAlmCount is read-only'); END"));

    QVERIFY(sim.command(QStringLiteral("set 1 3 138 200"))); // below the band
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(prefix + "/alarms").size(), 1, 20000);
    TAlarmHistoryPanel* history = home->alarmPage()->history();
    QCOMPARE(history->lines().size(), 1);
    QCOMPARE(program.windows().FmAlmDlg->LstAlarm()->count(), 1);
    QCOMPARE(g_dialogs->messages.size(), 1); // the count that failed, said once
    QVERIFY2(g_dialogs->messages[0].contains("DbAlmCount is read-only"),
             qPrintable(g_dialogs->messages[0]));
    // A second excursion while it still refuses: shown, published, its count waits too.
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 300")));
    sim.clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter(QStringLiteral("0303008a")).size() >= 2, 20000);
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 360")));
    QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(prefix + "/alarms").size(), 2, 20000);
    QCOMPARE(history->lines().size(), 2);
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY(statusOf(home, "alarmdb").startsWith("Alarm counts: 1 waiting"));

    // The table takes writes again: the latest count is written and the grid catches up.
    QVERIFY(QSqlQuery(other).exec("DROP TRIGGER readonly"));
    auto* grid = home->findChild<QTableView*>("DBGrid2");
    QTRY_COMPARE_WITH_TIMEOUT(gridRows(grid), QStringList{"02|01|03"}, 15000);
    QCOMPARE(statusOf(home, "alarmdb"), QString());
    other.close();
    other = {};
    QSqlDatabase::removeDatabase("other");
    home->close();
}

void TestAlarmsSim::sharedServerChangedLockedAndDown()
{
    m_server = std::make_unique<PostgresServer>(); // a server of its own
    if (!m_server->missingReason().isEmpty())
        QSKIP(qPrintable(m_server->missingReason()));
    SimProcess sim(SimArgs);
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    qputenv("QUILLMERE_HOME", sim.home().toLocal8Bit());
    QVERIFY2(m_server->start(), qPrintable(m_server->errorString()));
    QVERIFY(makeServerTables(sim.home()));
    g_dialogs->messages.clear();
    Program program(*g_dialogs);
    QVERIFY(program.start());
    const Windows& w = program.windows();
    TFmHome* home = w.FmHome;
    startPolling(home);
    QList<qint64> ticks;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(home->findChild<QTimer*>("TmrHome"), &QTimer::timeout, home,
                     [&] { ticks << clock.elapsed(); });
    const auto longestGap = [&ticks](qsizetype from) {
        qint64 gap = 0;
        for (qsizetype i = std::max<qsizetype>(from, 1); i < ticks.size(); ++i)
            gap = std::max(gap, ticks[i] - ticks[i - 1]);
        return gap;
    };

    // Workstation B stores a setting: this program's engine takes it and raises its alarm.
    alarms::openDatabase("WorkstationB", sim.home());
    StationModel modelB;
    QElapsedTimer heard;
    heard.start();
    alarms::AlarmSettingsTable("WorkstationB").insert({"1", "03", 5, 3, true}, modelB);
    StationModel& model = home->engine().model();
    QTRY_VERIFY_WITH_TIMEOUT((QMutexLocker(&model.mutex), model.station(1, 3).HighLimitText == "5"),
                             10000);
    qInfo("a setting stored on workstation B reached the engine after %lld ms", heard.elapsed());
    QCOMPARE(home->findChild<QTableView*>("DBGrid1")->model()->rowCount(), 1);
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 200")));
    TAlarmHistoryPanel* history = home->alarmPage()->history();
    QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 1, 20000);

    // Another session locks the table: an Add gives up with the lock timeout, the tiles go on.
    QSqlDatabase locker = otherSession("locker");
    locker.setHostName(m_server->host());
    locker.setDatabaseName(m_server->database());
    locker.setUserName(m_server->user());
    QVERIFY(locker.open());
    QVERIFY(locker.transaction());
    QVERIFY(QSqlQuery(locker).exec("LOCK TABLE DbAlarm"));
    QTRY_VERIFY(ticks.size() >= 2);
    qsizetype from = ticks.size();
    QElapsedTimer held;
    held.start();
    addSetting(w, "04");
    qInfo("an Add against the locked table held the window %lld ms", held.elapsed());
    QTest::qWait(1200);
    QCOMPARE(g_dialogs->messages.size(), 1);
    QVERIFY2(g_dialogs->messages[0].contains("lock timeout"), qPrintable(g_dialogs->messages[0]));
    QCOMPARE(home->findChild<QTableView*>("DBGrid1")->model()->rowCount(), 1);
    qInfo("longest refresh gap while locked: %lld ms", longestGap(from));
    QVERIFY(locker.rollback());
    locker.close();
    locker = {};
    QSqlDatabase::removeDatabase("locker");

    // The server goes: the status line says so, alarms go on being shown and counted.
    m_server->stop();
    QTRY_VERIFY(ticks.size() >= from + 2);
    from = ticks.size();
    QTRY_VERIFY_WITH_TIMEOUT(statusOf(home, "alarmdb").contains("unreachable"), 15000);
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 300")));
    sim.clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(sim.frames(1).filter(QStringLiteral("0303008a")).size() >= 2, 20000);
    QVERIFY(sim.command(QStringLiteral("set 1 3 138 360")));
    QTRY_COMPARE_WITH_TIMEOUT(history->lines().size(), 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(gridRows(home->findChild<QTableView*>("DBGrid2")),
                              QStringList{"02|01|03"}, 10000);
    qInfo("longest refresh gap while the server was down: %lld ms", longestGap(from));

    // Back: the program reconnects by itself and listens again.
    QVERIFY2(m_server->resume(), qPrintable(m_server->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(home, "alarmdb"), QString(), 30000);
    QSqlDatabase::database("WorkstationB").close();
    alarms::AlarmSettingsTable("WorkstationB").update({"1", "03", 7, 3, true}, modelB);
    QTRY_VERIFY_WITH_TIMEOUT((QMutexLocker(&model.mutex), model.station(1, 3).HighLimitText == "7"),
                             10000);
    QCOMPARE(g_dialogs->messages.size(), 1);
    QSqlDatabase::removeDatabase("WorkstationB");
    home->close();
}

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestAlarmsSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alarms_sim.moc"
