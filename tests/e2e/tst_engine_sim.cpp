// The polling engine on its own thread against thirty simulated controllers on three lines.
#include "SimProcess.h"
#include "engine/TCommController.h"
#include "link/NativeSerialIo.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

namespace {

// Station k answers PV 1000 + k and SV 2000 + k. Line 1: 1 decimal (family 104, input 0);
// line 2: 2 decimals from its DP setting (input 53); line 3: another family, input 4, none.
QStringList simArgs(const QString& psl)
{
    QStringList args;
    for (int m = 1; m <= 3; ++m)
        args << "--line" << QStringLiteral("com=%1,psl=%2,converter=rs485").arg(m).arg(psl);
    args << "--frozen";
    const QString decimals[] = {QStringLiteral("family=104,input=0"),
                                QStringLiteral("family=104,input=53,dp=2"),
                                QStringLiteral("family=7,input=4")};
    for (int k = 1; k <= 30; ++k)
        args << "--station"
             << QStringLiteral("com=%1,id=%2,%3,pv=%4,sv=%5,out=%6,status=9")
                    .arg((k - 1) / 10 + 1)
                    .arg(k)
                    .arg(decimals[(k - 1) / 10])
                    .arg(1000 + k)
                    .arg(2000 + k)
                    .arg(10 * k);
    return args;
}

QString expectedPv(int m, int s)
{
    const int k = (m - 1) * 10 + s;
    const int raw = 1000 + k;
    if (m == 1)
        return QStringLiteral("%1.%2").arg(raw / 10).arg(raw % 10);
    if (m == 2)
        return QStringLiteral("%1.%2").arg(raw / 100).arg(raw % 100, 2, 10, QLatin1Char('0'));
    return QString::number(raw);
}

struct Rig
{
    SimProcess sim;
    std::unique_ptr<TCommController> engine;
    QList<EngineUpdate> updates;
    QObject receiver;

    explicit Rig(const QString& psl = QStringLiteral("rtu"), int baud = 38400) : sim(simArgs(psl))
    {
        if (!sim.start())
            return;
        engine = std::make_unique<TCommController>(
            std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(sim.home())));
        for (int m = 1; m <= 3; ++m)
            engine->model().line(m) = {m, baud, TConverter::RS485,
                                       psl == QLatin1String("rtu") ? TPsl::rtu : TPsl::veln};
        // Queued into this thread, as the main window receives them.
        QObject::connect(
            engine.get(), &TCommController::updateRequested, &receiver,
            [this](const EngineUpdate& u) { updates << u; }, Qt::QueuedConnection);
    }

    bool allRead()
    {
        for (int m = 1; m <= 3; ++m)
            for (int s = 1; s <= 10; ++s)
                // The output is the slot's last read: with it the slot step is complete.
                if (const StationRecord r = engine->stationCopy(m, s);
                    r.PvText != expectedPv(m, s) || r.OutText.isEmpty())
                    return false;
        return true;
    }

    int framesTo(int com, int station, int code)
    {
        int n = 0;
        for (const QString& f : sim.frames(com)) {
            const QByteArray b = QByteArray::fromHex(f.toLatin1());
            n += b.size() >= 4 && quint8(b[0]) == station && quint8(b[3]) == code;
        }
        return n;
    }
};

} // namespace

class TestEngineSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void thirtyControllersReachTheModel_data();
    void thirtyControllersReachTheModel();
    void silentControllerIsLostThenSkippedUntilRescan();
    void scanAllBringsALostControllerBack();
    void writeGoesOutAtTheNextSlotStep();
    void stopReturnsWithinOneSlotStep();
};

void TestEngineSim::thirtyControllersReachTheModel_data()
{
    QTest::addColumn<QString>("psl");
    QTest::newRow("rtu") << "rtu";
    QTest::newRow("veln") << "veln";
}

void TestEngineSim::thirtyControllersReachTheModel()
{
    QFETCH(QString, psl);
    Rig rig(psl);
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.engine->stationCopy(1, 1).PvText.isEmpty()); // nothing before Start
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.allRead(), 10000);
    const StationRecord r = rig.engine->stationCopy(2, 7);
    QCOMPARE(r.DecimalPlaces, 2);
    QCOMPARE(r.SvText, QStringLiteral("20.17"));
    QCOMPARE(r.OutText, QStringLiteral("170"));
    QCOMPARE(rig.engine->stationCopy(3, 10).SvText, QStringLiteral("2030"));
    rig.engine->Stop();
    QCoreApplication::processEvents();

    // The scan's progress comes first, Monitor by Monitor, bar by bar; then each slot read
    // paints its indicator before its lamps.
    QVERIFY(rig.updates.size() > 30);
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(rig.updates[i].kind, EngineUpdate::ScanProgress);
        QCOMPARE(rig.updates[i].monitor, i / 10 + 1);
        QCOMPARE(rig.updates[i].value, i % 10 + 1);
    }
    for (qsizetype i = 30; i + 1 < rig.updates.size(); i += 2) {
        QCOMPARE(rig.updates[i].kind, EngineUpdate::Indicator);
        QCOMPARE(rig.updates[i + 1].kind, EngineUpdate::Lamps);
        QCOMPARE(rig.updates[i + 1].monitor, rig.updates[i].monitor);
        QCOMPARE(rig.updates[i + 1].slot, rig.updates[i].slot);
        QCOMPARE(rig.updates[i + 1].value, 9);
    }
}

void TestEngineSim::silentControllerIsLostThenSkippedUntilRescan()
{
    Rig rig;
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.allRead(), 10000);
    QVERIFY(rig.sim.command(QStringLiteral("fault 1 4 silent")));
    rig.sim.clearFrames();
    rig.updates.clear();
    QTRY_VERIFY_WITH_TIMEOUT(rig.engine->stationCopy(1, 4).PvText.isEmpty(), 20000);
    // Lost at the fourth failed pass: four passes of six PV attempts, not fewer.
    QVERIFY(rig.framesTo(1, 4, 138) >= 24);
    const StationRecord lost = rig.engine->stationCopy(1, 4);
    QVERIFY(lost.LinkLost && lost.SvText.isEmpty() && lost.OutText.isEmpty());
    // Its lamps go off, then every indicator turns white, in that order.
    const auto lampsOffThenWhite = [&rig] {
        bool lampsOff = false;
        for (const EngineUpdate& u : rig.updates) {
            lampsOff |=
                u.kind == EngineUpdate::Lamps && u.monitor == 1 && u.slot == 4 && u.value == 0;
            if (lampsOff && u.kind == EngineUpdate::Indicator && u.monitor == 0)
                return true;
        }
        return false;
    };
    QTRY_VERIFY(lampsOffThenWhite());

    // Only scan controllers: the lost slot is skipped, even once it answers again.
    QVERIFY(rig.sim.command(QStringLiteral("fault 1 4 none")));
    rig.sim.clearFrames();
    const int before = rig.framesTo(1, 5, 138);
    QTRY_VERIFY_WITH_TIMEOUT(rig.framesTo(1, 5, 138) >= before + 3, 5000); // 3 more cycles
    QCOMPARE(rig.framesTo(1, 4, 138), 0);
    QVERIFY(rig.engine->stationCopy(1, 4).PvText.isEmpty());

    rig.engine->RequestRescan();
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(1, 4).PvText, expectedPv(1, 4), 10000);
    QVERIFY(!rig.engine->stationCopy(1, 4).LinkLost);
}

void TestEngineSim::scanAllBringsALostControllerBack()
{
    Rig rig;
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.sim.command(QStringLiteral("fault 3 27 silent")));
    {
        QMutexLocker lock(&rig.engine->model().mutex);
        rig.engine->model().ScanAll = true;
    }
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.engine->stationCopy(3, 7).LinkLost, 20000);
    QVERIFY(rig.sim.command(QStringLiteral("fault 3 27 none")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(3, 7).PvText, expectedPv(3, 7), 10000);
    QVERIFY(!rig.engine->stationCopy(3, 7).LinkLost);
}

void TestEngineSim::writeGoesOutAtTheNextSlotStep()
{
    // 9600 baud and every reply of station 17 held back 40 ms (well inside the 84 ms deadline):
    // slot (2, 7) takes about a quarter of a second, time enough to post while it is read.
    Rig rig(QStringLiteral("rtu"), 9600);
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    QVERIFY(rig.sim.command(QStringLiteral("fault 2 17 late 40")));
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.allRead(), 30000);
    rig.sim.clearFrames();
    QVERIFY(rig.sim.waitForFrames(2, 1, 5000)); // Monitor 2 is being polled
    rig.sim.clearFrames();
    QElapsedTimer waiting;
    waiting.start();
    while (rig.framesTo(2, 17, 138) == 0 && waiting.elapsed() < 10000)
        QThread::msleep(1);
    rig.engine->RequestWrite(2, 7, 0, QStringLiteral("11.11"));
    rig.engine->RequestWrite(2, 7, 0, QStringLiteral("12.34")); // the last one wins
    QTRY_VERIFY_WITH_TIMEOUT(rig.framesTo(2, 18, 138) > 0, 5000);

    QStringList order;
    for (const QString& f : rig.sim.frames(2)) {
        const QByteArray b = QByteArray::fromHex(f.toLatin1());
        order << QStringLiteral("%1/%2/%3").arg(quint8(b[0])).arg(quint8(b[1])).arg(quint8(b[3]));
    }
    const qsizetype write = order.indexOf(QStringLiteral("17/6/0"));
    QVERIFY2(write > 0, qPrintable(order.join(' ')));
    QCOMPARE(order.count(QStringLiteral("17/6/0")), 1);
    QCOMPARE(order.at(write - 1), QStringLiteral("17/3/135")); // after (2, 7)'s last read
    QCOMPARE(order.at(write + 1), QStringLiteral("18/3/138")); // before (2, 8)'s first
    QString value;
    QVERIFY(rig.sim.command(QStringLiteral("get 2 17 0"), &value));
    QCOMPARE(value, QStringLiteral("value 1234"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(2, 7).SvText, QStringLiteral("12.34"), 10000);
}

void TestEngineSim::stopReturnsWithinOneSlotStep()
{
    Rig rig;
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    // Every controller silent: a slot step costs six timed-out attempts (about half a second),
    // a whole cycle fifteen seconds. Stop must not wait for the cycle.
    for (int k = 1; k <= 30; ++k)
        QVERIFY(rig.sim.command(QStringLiteral("fault %1 %2 silent").arg((k - 1) / 10 + 1).arg(k)));
    rig.engine->Start();
    QVERIFY(rig.sim.waitForFrames(0, 40, 20000)); // past the scan, into the cycle
    QElapsedTimer clock;
    clock.start();
    rig.engine->Stop();
    QVERIFY(rig.engine->isFinished());
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestEngineSim)
#include "tst_engine_sim.moc"
