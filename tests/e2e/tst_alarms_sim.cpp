// Deviation alarms in the real program against simulated controllers, with the alarm tables
// on SQLite and on a PostgreSQL server: one alarm per excursion, counted in the table and
// listed on the Frequency tab.
#include "../ui/RecordingDialogs.h"
#include "PostgresServer.h"
#include "SimProcess.h"
#include "alarms/AlarmCountTable.h"
#include "alarms/AlarmDatabases.h"
#include "alarms/AlarmSchema.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/main/TFmHome.h"
#include "ui/pages/TAlarmHistoryPanel.h"
#include "ui/pages/TAlarmPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>

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
} // namespace

class TestAlarmsSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void excursionRaisesOneCountedAlarm_data();
    void excursionRaisesOneCountedAlarm();

private:
    std::unique_ptr<PostgresServer> m_server;
};

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
        QFile ini(home + QStringLiteral("/databases.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(
            (m_server->iniSection(alarms::DbAlarmInfo) + m_server->iniSection(alarms::DbAlarmCount))
                .toUtf8());
        ini.close();
        // The plant makes its tables on its server; the program never does.
        QSqlDatabase db = alarms::openDatabase(alarms::DbAlarmInfo, home);
        QSqlQuery(db).exec(QStringLiteral("DROP TABLE IF EXISTS DbAlarm, DbAlmCount"));
        alarms::createTables(db,
                             alarms::settingsTableStatements() + alarms::countTableStatements());
    }

    Program program(*g_dialogs);
    QVERIFY(program.start());
    const Windows& w = program.windows();
    TFmHome* home_ = w.FmHome;
    // Monitor 1, slot 3: 5 above and 3 below its SV of 30.0, alarm at the first excursion.
    home_->alarmPage()->BtnAddSettingClick();
    w.FmAddAlarm->findChild<QComboBox*>("CboControllerNO")->setCurrentText("03");
    w.FmAddAlarm->findChild<QLineEdit*>("TxtHAlm")->setText("5");
    w.FmAddAlarm->findChild<QLineEdit*>("TxtLAlm")->setText("3");
    w.FmAddAlarm->findChild<QCheckBox*>("ChkFirstAlarm")->setChecked(true);
    QTest::mouseClick(w.FmAddAlarm->findChild<QPushButton*>("BtnOK"), Qt::LeftButton);
    QCOMPARE(g_dialogs->messages, QStringList());

    QTest::mouseClick(home_->findChild<QPushButton*>("BtnStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(home_->DpScanDone(), 60000);
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

int main(int argc, char* argv[])
{
    RecordingDialogs dialogs;
    g_dialogs = &dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    TestAlarmsSim test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alarms_sim.moc"
