// The polling engine on its own thread against thirty simulated controllers on three lines.
#include "SimProcess.h"
#include "engine/TCommController.h"
#include "link/NativeSerialIo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QThread>

#include <atomic>
#include <ctime>
#include <pthread.h>

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

// Pulls COM<com>'s adapter out; the operator's port link stays behind and dangles, as links to
// USB adapters do (with no link at all the port would fall back to /dev/ttyS<com-1>).
bool unplug(SimProcess& sim, int com)
{
    return sim.command(QStringLiteral("gone %1").arg(com)) &&
           QFile::link(sim.home() + QStringLiteral("/unplugged"), sim.portLink(com));
}

// Descriptors of this process open on `device`.
int descriptorsOn(const QString& device)
{
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System))
        n += QFileInfo(fds.filePath(fd)).symLinkTarget() == device;
    return n;
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

    std::atomic<clockid_t> engineClock{0};

    explicit Rig(const QString& psl = QStringLiteral("rtu"), int baud = 38400)
        : Rig(simArgs(psl), psl, baud)
    {
    }

    Rig(const QStringList& args, const QString& psl, int baud) : sim(args)
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
        // The engine thread's own CPU clock, taken on its first update.
        QObject::connect(
            engine.get(), &TCommController::updateRequested, engine.get(),
            [this] {
                clockid_t id = 0;
                if (!engineClock && pthread_getcpuclockid(pthread_self(), &id) == 0)
                    engineClock = id;
            },
            Qt::DirectConnection);
    }

    double engineCpuMs() const
    {
        timespec ts{};
        clock_gettime(engineClock, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    }

    LineStatistics line(int m) const { return engine->statisticsCopy().line(m); }

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
    void eachPortOpensOnceAndTheFaultsAreCounted();
    void pulledLineEmptiesItsSlotsAndComesBackWhenPluggedIn();
    void deadLinesDoNotSpin();
    void movingALineToAnotherPortMovesThePolling();
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
    // Frames counted from before the fault, so no failed attempt slips past the count.
    rig.sim.clearFrames();
    QVERIFY(rig.sim.command(QStringLiteral("fault 1 4 silent")));
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
    rig.engine->RequestWrite(2, 7, 0, QStringLiteral("12.34")); // queued behind it, not lost
    QTRY_VERIFY_WITH_TIMEOUT(rig.framesTo(2, 18, 138) > 0, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(rig.framesTo(2, 19, 138) > 0, 5000);

    QStringList order;
    for (const QString& f : rig.sim.frames(2)) {
        const QByteArray b = QByteArray::fromHex(f.toLatin1());
        order << QStringLiteral("%1/%2/%3").arg(quint8(b[0])).arg(quint8(b[1])).arg(quint8(b[3]));
    }
    const qsizetype write = order.indexOf(QStringLiteral("17/6/0"));
    QVERIFY2(write > 0, qPrintable(order.join(' ')));
    QCOMPARE(order.count(QStringLiteral("17/6/0")), 2);        // one per slot step
    QCOMPARE(order.at(write - 1), QStringLiteral("17/3/135")); // after (2, 7)'s last read
    QCOMPARE(order.at(write + 1), QStringLiteral("18/3/138")); // before (2, 8)'s first
    QCOMPARE(order.at(order.lastIndexOf(QStringLiteral("17/6/0")) + 1),
             QStringLiteral("19/3/138")); // the second before (2, 9)'s
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

void TestEngineSim::eachPortOpensOnceAndTheFaultsAreCounted()
{
    Rig rig;
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.allRead(), 10000);
    rig.engine->ResetStatistics();
    // Five replies of station 15 spoiled: five attempts fail, the sixth reads it.
    QVERIFY(rig.sim.command(QStringLiteral("fault 2 15 badcrc 5")));
    QTRY_VERIFY_WITH_TIMEOUT(
        rig.line(2).slot(5).failures == 5 && rig.line(2).slot(5).lastGoodReply.isValid(), 10000);
    // Some hundred transactions on every line, counted exactly.
    QTRY_VERIFY_WITH_TIMEOUT(rig.line(1).transactions >= 300 && rig.line(2).cycles >= 2 &&
                                 rig.line(3).transactions >= 300,
                             20000);
    const EngineStatistics stats = rig.engine->statisticsCopy();
    QCOMPARE(stats.line(2).malformed, quint64(5));
    for (int m = 1; m <= 3; ++m) {
        const LineStatistics& line = stats.line(m);
        QCOMPARE(line.timeouts + line.portErrors, quint64(0));
        QCOMPARE(line.goodReplies + line.malformed, line.transactions);
        QCOMPARE(line.answeringSlots(), 10);
        QVERIFY(line.averageCycleMs > 0 && line.portError.isEmpty());
    }
    rig.engine->Stop();
    // Each line's device was opened once for all of that, and closed at Stop.
    for (int m = 1; m <= 3; ++m)
        QTRY_COMPARE(rig.sim.portEvents(m).mid(1), (QStringList{"open", "close"}));
}

void TestEngineSim::pulledLineEmptiesItsSlotsAndComesBackWhenPluggedIn()
{
    // Monitor 2 has one controller, in slot 1; its other slots were lost before and are
    // skipped ("Only scan controllers"), so that its passes are short.
    QStringList args;
    for (int m = 1; m <= 3; ++m)
        args << "--line" << QStringLiteral("com=%1,psl=rtu,converter=rs485").arg(m);
    args << "--frozen"
         << "--stations"
         << "com=1,ids=1-10,pv=1001"
         << "--station"
         << "com=2,id=11,pv=1011"
         << "--stations"
         << "com=3,ids=21-30,pv=1021";
    Rig rig(args, QStringLiteral("rtu"), 38400);
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    for (int s = 2; s <= 10; ++s)
        rig.engine->model().station(2, s).LinkLost = true;
    rig.engine->Start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(2, 1).PvText, QStringLiteral("101.1"), 10000);
    const QString device = rig.sim.device(2);
    const quint64 before = rig.line(2).slot(1).failures;
    QVERIFY(unplug(rig.sim, 2));
    QTRY_COMPARE_WITH_TIMEOUT(descriptorsOn(device), 0, 5000); // closed on the hang-up
    // Lost at the fourth failed pass, six attempts each, as for a silent controller.
    QTRY_VERIFY_WITH_TIMEOUT(rig.engine->stationCopy(2, 1).LinkLost, 20000);
    const StationRecord lost = rig.engine->stationCopy(2, 1);
    QVERIFY(lost.PvText.isEmpty() && lost.SvText.isEmpty() && lost.OutText.isEmpty());
    QVERIFY(rig.line(2).slot(1).failures - before >= 4 * 6);
    QVERIFY2(rig.line(2).portError.startsWith(QStringLiteral("COM2 ")),
             qPrintable(rig.line(2).portError));
    QCOMPARE(rig.line(2).answeringSlots(), 0);
    QCOMPARE(rig.engine->stationCopy(1, 4).PvText, QStringLiteral("100.1"));

    // Plugged back in: with "Scan all controllers" it is polled again without a restart, on
    // its new device.
    {
        QMutexLocker lock(&rig.engine->model().mutex);
        rig.engine->model().ScanAll = true;
    }
    QVERIFY(rig.sim.command(QStringLiteral("back 2")));
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(2, 1).PvText, QStringLiteral("101.1"), 10000);
    QVERIFY(!rig.engine->stationCopy(2, 1).LinkLost);
    QTRY_VERIFY(rig.line(2).portError.isEmpty());
    QCOMPARE(rig.sim.opens(2), 2);
}

void TestEngineSim::deadLinesDoNotSpin()
{
    Rig rig;
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    {
        QMutexLocker lock(&rig.engine->model().mutex);
        rig.engine->model().ScanAll = true;
    }
    rig.engine->Start();
    QTRY_VERIFY_WITH_TIMEOUT(rig.allRead(), 10000);
    for (int m = 1; m <= 3; ++m)
        QVERIFY(unplug(rig.sim, m));
    // All three lines dead: every attempt waits out its 84 ms, so in a few seconds the engine
    // makes a few dozen attempts and asks the screen for next to nothing.
    QTest::qWait(200);
    QCoreApplication::processEvents();
    rig.updates.clear();
    const auto sum = [](const EngineStatistics& stats, quint64 LineStatistics::*count) {
        quint64 n = 0;
        for (int m = 1; m <= 3; ++m)
            n += stats.line(m).*count;
        return n;
    };
    const EngineStatistics start = rig.engine->statisticsCopy();
    const double cpu0 = rig.engineCpuMs();
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(3000);
    const double cpuMs = rig.engineCpuMs() - cpu0;
    const qint64 elapsed = clock.elapsed();
    const EngineStatistics end = rig.engine->statisticsCopy();
    const quint64 attempts =
        sum(end, &LineStatistics::transactions) - sum(start, &LineStatistics::transactions);
    // Every attempt failed on its port; a line whose link was being taken away just then may
    // have spent one slot step on an answerless device instead (counted as timeouts).
    const quint64 portErrors =
        sum(end, &LineStatistics::portErrors) - sum(start, &LineStatistics::portErrors);
    const quint64 timeouts =
        sum(end, &LineStatistics::timeouts) - sum(start, &LineStatistics::timeouts);
    QCOMPARE(portErrors + timeouts, attempts);
    QVERIFY2(portErrors + 3 * 6 >= attempts, qPrintable(QString::number(portErrors)));
    QVERIFY2(cpuMs < 0.05 * double(elapsed), qPrintable(QString::number(cpuMs)));
    QVERIFY2(attempts >= 1 && attempts <= quint64(elapsed / 84 + 2),
             qPrintable(QString::number(attempts)));
    // At most a lamp and an indicator update per slot step (six attempts each).
    QVERIFY2(rig.updates.size() <= 2 * int(attempts / 6 + 2),
             qPrintable(QString::number(rig.updates.size())));
}

void TestEngineSim::movingALineToAnotherPortMovesThePolling()
{
    // COM1 and COM4 carry stations 1..10, told apart by their PV; Monitors 2 and 3 share COM2.
    QStringList args = {
        "--line", "com=1,psl=rtu,converter=rs485", "--line",  "com=2,psl=rtu,converter=rs485",
        "--line", "com=4,psl=rtu,converter=rs485", "--frozen"};
    args << "--stations"
         << "com=1,ids=1-10,pv=1001"
         << "--stations"
         << "com=4,ids=1-10,pv=4001"
         << "--stations"
         << "com=2,ids=11-30,pv=2001";
    Rig rig(args, QStringLiteral("rtu"), 38400);
    QVERIFY2(rig.engine, qPrintable(rig.sim.errorString()));
    {
        QMutexLocker lock(&rig.engine->model().mutex);
        rig.engine->model().line(3).ComPort = 2;
    }
    rig.engine->Start();
    const auto line1Shows = [&rig](const QString& pv) {
        for (int s = 1; s <= 10; ++s)
            if (rig.engine->stationCopy(1, s).PvText != pv)
                return false;
        return true;
    };
    QTRY_VERIFY_WITH_TIMEOUT(line1Shows(QStringLiteral("100.1")), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(rig.engine->stationCopy(3, 10).PvText, QStringLiteral("200.1"),
                              10000);
    QCOMPARE(rig.sim.opens(2), 1); // one descriptor for the two Monitors on it

    // What the communication dialog's OK does while polling runs.
    {
        QMutexLocker lock(&rig.engine->model().mutex);
        rig.engine->model().line(1).ComPort = 4;
    }
    QTRY_VERIFY_WITH_TIMEOUT(line1Shows(QStringLiteral("400.1")), 10000);
    QTRY_COMPARE(rig.sim.portEvents(1).mid(1), (QStringList{"open", "close"}));
    rig.sim.clearFrames();
    QTRY_VERIFY_WITH_TIMEOUT(rig.line(1).cycles >= 2 && rig.sim.frames(4).size() >= 40, 10000);
    QCOMPARE(rig.sim.frames(1).size(), 0);
    QCOMPARE(rig.sim.opens(4), 1);
    QCOMPARE(rig.sim.opens(2), 1);
    rig.engine->Stop();
}

QTEST_GUILESS_MAIN(TestEngineSim)
#include "tst_engine_sim.moc"
