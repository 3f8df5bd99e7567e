// The poll cycle, the decimal-point scan and the write path, step by step over a scripted
// line of controllers (the thread itself is exercised against the simulator in e2e).
#include "FakeLine.h"
#include "engine/TCommController.h"
#include "link/Crc.h"
#include "link/NativeSerialIo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <ctime>

namespace {

struct Rig
{
    FakeLine::Log log;
    Bank bank;
    TCommController engine;
    QList<EngineUpdate> updates;
    QStringList results; // "id outcome reason" as the engine reported them
    std::function<void(const QByteArray&)> onFrame;

    Rig() : engine(makeLink())
    {
        for (int m = 1; m <= 3; ++m)
            engine.model().line(m) = {m, 38400, TConverter::RS485, TPsl::rtu};
        QObject::connect(
            &engine, &TCommController::updateRequested, &engine,
            [this](const EngineUpdate& u) { updates << u; }, Qt::DirectConnection);
        QObject::connect(
            &engine, &TCommController::writeResult, &engine,
            [this](const WriteResult& r) {
                const char* names[] = {"sent", "refused", "confirmed", "not confirmed"};
                results << QStringLiteral("%1 %2 %3")
                               .arg(r.write.id)
                               .arg(QLatin1String(names[r.outcome]), r.reason)
                               .trimmed();
            },
            Qt::DirectConnection);
    }

    std::unique_ptr<TRs485Comm> makeLink()
    {
        auto* line = new FakeLine(&log);
        line->answer = [this](const QByteArray& req, int) {
            if (onFrame)
                onFrame(req);
            return bank.answer(req);
        };
        return std::make_unique<TRs485Comm>(std::unique_ptr<comm::SerialIo>(line));
    }

    void controller(int station, int pv, int sv, int out = 0, int status = 0)
    {
        bank.regs[station] = {{138, pv}, {0, sv}, {135, out}, {136, status}, {134, 104}, {72, 0}};
    }

    QList<QByteArray> writesSince(int from) const { return log.writes.mid(from); }
};

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsTheFourValuesOfASlot();
    void lampsFollowStatusBits_data();
    void lampsFollowStatusBits();
    void silentControllerKeepsValuesThreePasses();
    void onlyScanSkipsLostUntilRescan();
    void scanAllBringsLostBack();
    void svFailuresShareTheCounter();
    void unaddressableStationStaysOffTheWire_data();
    void unaddressableStationStaysOffTheWire();
    void writeGoesOutAtTheNextStep();
    void writesQueueInOrder();
    void svWriteIsSettledByTheNextReading_data();
    void svWriteIsSettledByTheNextReading();
    void decimalPointWriteRescansBeforeTheNextWrite();
    void writeConversionOnTheWire_data();
    void writeConversionOnTheWire();
    void badWriteTextSendsNothing();
    void writePostedDuringSendStaysPending();
    void decimalScan_data();
    void decimalScan();
    void scanProgressAndRescanFlag();
    void rescanPressedBeforeStartScansTwice();
    void statisticsCountEveryAttempt();
    void movedLineLetsGoOfItsPortAndStopClosesAll();
    void deadLinesPaceThemselves();
};

void TestEngine::readsTheFourValuesOfASlot()
{
    Rig rig;
    rig.controller(1, 253, 300, 523, 0);
    rig.engine.model().station(1, 1).DecimalPlaces = 1;
    rig.engine.PollSlot(1, 1);
    const StationRecord r = rig.engine.stationCopy(1, 1);
    QCOMPARE(r.PvText, QStringLiteral("25.3"));
    QCOMPARE(r.SvText, QStringLiteral("30.0"));
    QCOMPARE(r.OutText, QStringLiteral("523")); // never scaled
    QVERIFY(!r.LinkLost);
    // PV, status, SV, output, in that order, on the first line's port.
    const QList<QByteArray> expected = {hex("0103008a0001a5e0"), hex("010300880001"),
                                        hex("010300000001"), hex("010300870001")};
    QCOMPARE(rig.log.writes.size(), 4);
    for (int i = 0; i < 4; ++i)
        QVERIFY(rig.log.writes[i].startsWith(expected[i]));
    QCOMPARE(rig.log.openPort, 1);
    QCOMPARE(rig.updates.size(), 2);
    QCOMPARE(rig.updates[0].kind, EngineUpdate::Indicator);
    QCOMPARE(rig.updates[0].monitor, 1);
    QCOMPARE(rig.updates[1].kind, EngineUpdate::Lamps);
}

void TestEngine::lampsFollowStatusBits_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("lamps");
    QTest::newRow("9: OUT1 and AL1") << 9 << 0x09;
    QTest::newRow("4: nothing shown") << 4 << 0;
    QTest::newRow("-1: all four") << -1 << 0x1B;
    QTest::newRow("16: AL2") << 16 << 0x10;
}

void TestEngine::lampsFollowStatusBits()
{
    QFETCH(int, status);
    QFETCH(int, lamps);
    Rig rig;
    rig.controller(21, 100, 100, 0, status);
    rig.engine.PollSlot(3, 1);
    QCOMPARE(rig.updates.size(), 2);
    QCOMPARE(rig.updates[0].kind, EngineUpdate::Indicator);
    QCOMPARE(rig.updates[0].monitor, 3);
    QCOMPARE(rig.updates[0].slot, 1);
    QCOMPARE(rig.updates[1].kind, EngineUpdate::Lamps);
    QCOMPARE(rig.updates[1].value, lamps);
}

void TestEngine::silentControllerKeepsValuesThreePasses()
{
    Rig rig;
    rig.controller(5, 200, 210, 10);
    rig.engine.PollSlot(1, 5);
    rig.bank.silent << 5;
    for (int pass = 1; pass <= 3; ++pass) {
        const int before = int(rig.log.writes.size());
        rig.engine.PollSlot(1, 5);
        QCOMPARE(rig.log.writes.size() - before, 6); // ReadRetry 5: six attempts of the PV
        QCOMPARE(rig.engine.stationCopy(1, 5).PvText, QStringLiteral("200"));
        QCOMPARE(rig.engine.stationCopy(1, 5).FailCount, pass);
    }
    rig.updates.clear();
    rig.engine.PollSlot(1, 5);
    const StationRecord r = rig.engine.stationCopy(1, 5);
    QVERIFY(r.LinkLost);
    QVERIFY(r.PvText.isEmpty() && r.SvText.isEmpty() && r.OutText.isEmpty());
    QCOMPARE(r.FailCount, 0);
    QCOMPARE(rig.updates.size(), 2);
    QCOMPARE(rig.updates[0].kind, EngineUpdate::Lamps);
    QCOMPARE(rig.updates[0].value, 0);
    QCOMPARE(rig.updates[1].kind, EngineUpdate::Indicator);
    QCOMPARE(rig.updates[1].monitor, 0); // all white
}

void TestEngine::onlyScanSkipsLostUntilRescan()
{
    Rig rig;
    rig.controller(5, 200, 210);
    rig.engine.model().station(1, 5).LinkLost = true;
    rig.engine.PollSlot(1, 5);
    QCOMPARE(rig.log.writes.size(), 0);
    QVERIFY(rig.engine.stationCopy(1, 5).PvText.isEmpty());
    // The scan asks every slot whatever its state and finds it again.
    rig.engine.RequestRescan();
    rig.engine.PollSlot(1, 5);
    QVERIFY(!rig.engine.stationCopy(1, 5).LinkLost);
    QCOMPARE(rig.engine.stationCopy(1, 5).PvText, QStringLiteral("20.0"));
}

void TestEngine::scanAllBringsLostBack()
{
    Rig rig;
    rig.controller(5, 200, 210);
    rig.engine.model().station(1, 5).LinkLost = true;
    rig.engine.model().ScanAll = true;
    rig.bank.silent << 5;
    rig.engine.PollSlot(1, 5);
    QCOMPARE(rig.log.writes.size(), 2); // a lost slot gets two attempts
    rig.bank.silent.clear();
    rig.engine.PollSlot(1, 5);
    QVERIFY(!rig.engine.stationCopy(1, 5).LinkLost);
    QCOMPARE(rig.engine.stationCopy(1, 5).PvText, QStringLiteral("200"));
}

void TestEngine::svFailuresShareTheCounter()
{
    Rig rig;
    rig.controller(2, 100, 150);
    rig.engine.PollSlot(1, 2);
    rig.bank.silentCodes.insert({2, 0});
    // The PV keeps answering and resets the counter each time: the SV is never cleared.
    for (int pass = 0; pass < 6; ++pass)
        rig.engine.PollSlot(1, 2);
    QCOMPARE(rig.engine.stationCopy(1, 2).SvText, QStringLiteral("150"));
    QCOMPARE(rig.engine.stationCopy(1, 2).FailCount, 1);
}

void TestEngine::unaddressableStationStaysOffTheWire_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<int>("station");
    QTest::addColumn<bool>("addressable");
    for (int id : {0, 248, 256, 257})
        QTest::addRow("rtu %d", id) << TPsl::rtu << id << false;
    QTest::newRow("rtu 247") << TPsl::rtu << 247 << true;
    for (int id : {256, 257})
        QTest::addRow("veln %d", id) << TPsl::veln << id << false;
    QTest::newRow("veln 0") << TPsl::veln << 0 << true;
    QTest::newRow("veln 255") << TPsl::veln << 255 << true;
}

void TestEngine::unaddressableStationStaysOffTheWire()
{
    QFETCH(TPsl, psl);
    QFETCH(int, station);
    QFETCH(bool, addressable);
    Rig rig;
    rig.engine.model().line(2).Psl = psl;
    rig.engine.model().station(2, 3).StationId = station;
    rig.engine.model().station(2, 3).PvText = QStringLiteral("1"); // from the ID it had before
    rig.engine.model().station(2, 3).SvText = QStringLiteral("2");
    const QString refusal = rig.engine.checkWrite(2, 3, 0, QStringLiteral("5"));
    const quint64 id = rig.engine.RequestWrite(2, 3, 0, QStringLiteral("5"));
    rig.engine.PollSlot(2, 3);
    if (addressable) {
        QVERIFY(refusal.isEmpty());
        QVERIFY(!rig.log.writes.isEmpty());
        for (const QByteArray& frame : rig.log.writes)
            QCOMPARE(int(quint8(frame[psl == TPsl::rtu ? 0 : 1])), station);
        return;
    }
    QCOMPARE(rig.log.writes.size(), 0);
    QVERIFY(refusal.contains(QStringLiteral("station ID %1 cannot be addressed").arg(station)));
    QCOMPARE(rig.results, QStringList(QStringLiteral("%1 refused %2").arg(id).arg(refusal)));
    const StationRecord r = rig.engine.stationCopy(2, 3);
    QVERIFY(r.PvText.isEmpty() && r.SvText.isEmpty() && r.OutText.isEmpty());
}

void TestEngine::writeGoesOutAtTheNextStep()
{
    Rig rig;
    for (int id = 11; id <= 20; ++id)
        rig.controller(id, 100, 100);
    rig.engine.model().station(2, 7).DecimalPlaces = 1;
    rig.engine.PollSlot(2, 7);
    rig.engine.RequestWrite(2, 7, 0, QStringLiteral("123.5"));
    const int from = int(rig.log.writes.size());
    rig.engine.PollSlot(2, 8);
    const auto writes = rig.writesSince(from);
    QCOMPARE(writes.first(), hex("1106000004d3") + writes.first().right(2));
    QCOMPARE(rig.bank.regs[17][0], 1235);
    QVERIFY(!rig.engine.model().WritePending);
    // The write comes first, then slot (2, 8) is read.
    QCOMPARE(quint8(writes.at(1)[0]), quint8(18));
}

void TestEngine::writesQueueInOrder()
{
    Rig rig;
    rig.controller(1, 100, 100);
    rig.controller(2, 100, 100);
    rig.engine.RequestWrite(1, 1, 0, QStringLiteral("50"));
    rig.engine.RequestWrite(1, 2, 0, QStringLiteral("70"));
    rig.engine.RequestWrite(1, 1, 0, QStringLiteral("60"));
    QStringList sent;
    rig.onFrame = [&](const QByteArray& f) {
        if (quint8(f[1]) == 6)
            sent << QStringLiteral("%1=%2").arg(quint8(f[0])).arg(quint8(f[5]));
    };
    // One write per slot step, in the order posted; pending until the last has gone out.
    for (int step = 0; step < 3; ++step) {
        QVERIFY(rig.engine.model().WritePending);
        rig.engine.PollSlot(1, 3);
    }
    QVERIFY(!rig.engine.model().WritePending);
    QCOMPARE(sent, QStringList({"1=50", "2=70", "1=60"}));
    QCOMPARE(rig.bank.regs[1][0], 60);
    // The first write to slot 1 was written over before any reading could confirm it.
    QCOMPARE(rig.results.mid(0, 4), QStringList({"1 sent", "2 sent",
                                                 "1 not confirmed another set value was written "
                                                 "before it was read back",
                                                 "3 sent"}));
}

void TestEngine::svWriteIsSettledByTheNextReading_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("result");
    QTest::newRow("read back") << ""
                               << "confirmed";
    QTest::newRow("silent") << "silent"
                            << "not confirmed no reply";
    QTest::newRow("other value") << "clamp"
                                 << "not confirmed read back 999";
    QTest::newRow("lost slot") << "lost"
                               << "not confirmed lost slot: not polled until a rescan";
}

void TestEngine::svWriteIsSettledByTheNextReading()
{
    QFETCH(QString, fault);
    QFETCH(QString, result);
    Rig rig;
    rig.controller(4, 100, 100);
    rig.engine.RequestWrite(1, 4, 0, QStringLiteral("123"));
    rig.engine.ExecuteWrite();
    if (fault == QLatin1String("silent"))
        rig.bank.silent << 4;
    if (fault == QLatin1String("clamp"))
        rig.bank.regs[4][0] = 999;
    if (fault == QLatin1String("lost"))
        rig.engine.model().station(1, 4).LinkLost = true;
    const qsizetype frames = rig.log.writes.size();
    rig.engine.PollSlot(1, 4);
    QCOMPARE(rig.results, QStringList({"1 sent", "1 " + result}));
    // Nothing was read for the confirmation beyond the slot's own poll.
    QVERIFY(rig.log.writes.size() - frames <= (fault == QLatin1String("silent") ? 6 : 4));
}

void TestEngine::decimalPointWriteRescansBeforeTheNextWrite()
{
    Rig rig;
    rig.controller(1, 100, 100);
    rig.bank.regs[1][72] = 53; // input 53 takes its places from the DP setting
    rig.bank.regs[1][75] = 0;
    rig.engine.ScanDecimalPoints();
    QCOMPARE(rig.engine.stationCopy(1, 1).DecimalPlaces, 0);
    rig.engine.RequestWrite(1, 1, 75, QStringLiteral("1"));
    rig.engine.RequestWrite(1, 1, 0, QStringLiteral("12.5"));
    rig.engine.ExecuteWrite();
    rig.engine.ExecuteWrite();
    QCOMPARE(rig.bank.regs[1][75], 1);
    QCOMPARE(rig.bank.regs[1][0], 125); // at the new single decimal, not 12
    QCOMPARE(rig.engine.stationCopy(1, 1).DecimalPlaces, 1);
}

void TestEngine::writeConversionOnTheWire_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("SV 123.5 at 1") << 0 << "123.5" << 1 << hex("0106000004d3ca97");
    QTest::newRow("SV 123.5 at 2") << 0 << "123.5" << 2 << hex("01060000303e");
    QTest::newRow("SV 123.5 at 0") << 0 << "123.5" << 0 << hex("01060000007b");
    QTest::newRow("SV -5.5 at 1") << 0 << "-5.5" << 1 << hex("01060000ffc9");
    QTest::newRow("code 101 1.5") << 101 << "1.5" << 0 << hex("0106006505dc");
    QTest::newRow("code 98 5 goes to 100") << 98 << "5" << 0 << hex("010600640005");
    QTest::newRow("code 2 1") << 2 << "1" << 3 << hex("010600020001");
    QTest::newRow("code 1 87.5") << 1 << "87.5" << 3 << hex("01060001036b");
    QTest::newRow("code 57 3.25") << 57 << "3.25" << 3 << hex("010600390020");
}

void TestEngine::writeConversionOnTheWire()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QFETCH(int, decimals);
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.engine.model().station(1, 1).DecimalPlaces = decimals;
    rig.engine.RequestWrite(1, 1, TAddress(code), text);
    rig.engine.ExecuteWrite();
    QCOMPARE(rig.log.writes.size(), 1);
    QVERIFY2(rig.log.writes.first().startsWith(frame), rig.log.writes.first().toHex().constData());
}

void TestEngine::badWriteTextSendsNothing()
{
    Rig rig;
    rig.engine.model().station(1, 1).DecimalPlaces = 3;
    // Not a number, or more than a 16-bit register holds once scaled (2499.9 x 1000).
    for (const QString& text : {QString(), QStringLiteral("abc"), QStringLiteral("1.2.3"),
                                QStringLiteral("2499.9"), QStringLiteral("-32.769")}) {
        QVERIFY(!rig.engine.checkWrite(1, 1, 0, text).isEmpty());
        rig.engine.RequestWrite(1, 1, 0, text);
        rig.engine.ExecuteWrite();
        QVERIFY(!rig.engine.model().WritePending);
        QVERIFY(rig.results.takeFirst().contains(QLatin1String(" refused '")));
    }
    QCOMPARE(rig.log.writes.size(), 0);
}

void TestEngine::writePostedDuringSendStaysPending()
{
    Rig rig;
    rig.controller(1, 100, 100);
    rig.onFrame = [&](const QByteArray& frame) {
        if (quint8(frame[1]) == 6 && rig.bank.regs[1][0] == 100)
            rig.engine.RequestWrite(1, 1, 0, QStringLiteral("8"));
    };
    rig.engine.RequestWrite(1, 1, 0, QStringLiteral("7"));
    rig.engine.ExecuteWrite();
    QCOMPARE(rig.bank.regs[1][0], 7);
    QVERIFY(rig.engine.model().WritePending);
    rig.engine.ExecuteWrite();
    QCOMPARE(rig.bank.regs[1][0], 8);
    QVERIFY(!rig.engine.model().WritePending);
}

void TestEngine::decimalScan_data()
{
    QTest::addColumn<int>("family");
    QTest::addColumn<int>("input"); // -1: code 72 does not answer
    QTest::addColumn<int>("dp");    // -1: code 75 does not answer
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<bool>("lost");
    QTest::newRow("A input 0") << 104 << 0 << 2 << 3 << 1 << false;
    QTest::newRow("A input 2") << 104 << 2 << 2 << 3 << 0 << false;
    QTest::newRow("A input 53 takes DP") << 104 << 53 << 2 << 0 << 2 << false;
    QTest::newRow("B input 9") << 7 << 9 << 2 << 0 << 1 << false;
    QTest::newRow("B input 18 takes DP") << 7 << 18 << 3 << 0 << 3 << false;
    QTest::newRow("B input 30 keeps") << 7 << 30 << 3 << 2 << 2 << false;
    QTest::newRow("no input code: lost, 0 places") << 104 << -1 << 2 << 3 << 0 << true;
    QTest::newRow("DP read fails: keeps") << 104 << 53 << -1 << 1 << 1 << false;
    QTest::newRow("DP out of range: keeps") << 104 << 53 << 9 << 1 << 1 << false;
}

void TestEngine::decimalScan()
{
    QFETCH(int, family);
    QFETCH(int, input);
    QFETCH(int, dp);
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(bool, lost);
    Rig rig;
    rig.controller(4, 0, 0);
    rig.bank.regs[4][134] = family;
    rig.bank.regs[4][72] = input;
    rig.bank.regs[4][75] = dp;
    if (input < 0)
        rig.bank.silentCodes.insert({4, 72});
    if (dp < 0)
        rig.bank.silentCodes.insert({4, 75});
    rig.engine.model().station(1, 4).DecimalPlaces = before;
    rig.engine.model().station(1, 4).LinkLost = !lost;
    rig.engine.ScanDecimalPoints();
    QCOMPARE(rig.engine.stationCopy(1, 4).DecimalPlaces, after);
    QCOMPARE(rig.engine.stationCopy(1, 4).LinkLost, lost);
}

void TestEngine::scanProgressAndRescanFlag()
{
    Rig rig;
    rig.controller(3, 0, 0);
    rig.engine.model().station(1, 9).LinkLost = true; // silent slot: left as it was
    rig.engine.model().station(1, 9).DecimalPlaces = 2;
    rig.engine.RequestRescan();
    rig.engine.ScanDecimalPoints();
    QVERIFY(!rig.engine.model().RescanRequested);
    QCOMPARE(rig.updates.size(), 30);
    for (int i = 0; i < 30; ++i) {
        QCOMPARE(rig.updates[i].kind, EngineUpdate::ScanProgress);
        QCOMPARE(rig.updates[i].monitor, i / 10 + 1);
        QCOMPARE(rig.updates[i].value, i % 10 + 1);
    }
    QVERIFY(rig.engine.stationCopy(1, 9).LinkLost);
    QCOMPARE(rig.engine.stationCopy(1, 9).DecimalPlaces, 2);
    // Every read of the scan makes four attempts; a silent slot costs four family reads.
    int familyReads = 0;
    for (const QByteArray& w : rig.log.writes)
        familyReads += quint8(w[0]) == 9 && quint8(w[3]) == 134;
    QCOMPARE(familyReads, 4);
}

void TestEngine::rescanPressedBeforeStartScansTwice()
{
    Rig rig;
    rig.controller(3, 0, 0);
    std::atomic<int> familyReads{0};
    std::atomic<int> pvReads{0};
    rig.onFrame = [&](const QByteArray& req) {
        if (quint8(req[0]) == 3 && quint8(req[3]) == 134)
            ++familyReads;
        if (quint8(req[0]) == 3 && quint8(req[3]) == 138)
            ++pvReads;
    };
    rig.engine.RequestRescan();
    rig.engine.Start();
    // The start-up scan, then the requested one at the first slot step, then polling.
    QTRY_VERIFY_WITH_TIMEOUT(pvReads >= 3, 10000);
    rig.engine.Stop();
    QCOMPARE(familyReads.load(), 2);
    QVERIFY(!rig.engine.model().RescanRequested);
}

void TestEngine::statisticsCountEveryAttempt()
{
    Rig rig;
    rig.controller(1, 253, 300);
    rig.controller(2, 100, 100);
    rig.bank.silent << 2;
    const QDateTime before = QDateTime::currentDateTime();
    rig.engine.PollSlot(1, 1); // four good reads
    rig.engine.PollSlot(1, 2); // six silent PV attempts
    rig.engine.RequestWrite(1, 1, 0, QStringLiteral("5"));
    rig.engine.PollSlot(1, 1); // the write, then four good reads
    EngineStatistics stats = rig.engine.statisticsCopy();
    const LineStatistics& line = stats.line(1);
    QCOMPARE(line.transactions, quint64(4 + 6 + 1 + 4));
    QCOMPARE(line.goodReplies, quint64(8));
    QCOMPARE(line.timeouts, quint64(6));
    QCOMPARE(line.malformed + line.portErrors, quint64(0));
    QCOMPARE(line.writes, quint64(1));
    QVERIFY(line.portError.isEmpty());
    QCOMPARE(line.slot(1).failures, quint64(0));
    QVERIFY(line.slot(1).lastGoodReply >= before.addSecs(-1));
    QCOMPARE(line.slot(2).failures, quint64(6));
    QVERIFY(!line.slot(2).lastGoodReply.isValid());
    // Filled in from the model: slot 1 shows a value, slot 2 has none (yet).
    QVERIFY(line.slot(1).answering && !line.slot(2).answering);
    QCOMPARE(line.answeringSlots(), 1);
    QCOMPARE(line.slot(2).stationId, 2);
    QCOMPARE(line.comPort, 1);
    QCOMPARE(stats.line(2).transactions, quint64(0));

    // A whole cycle times each line's pass, unless the pass skipped every slot.
    for (int s = 1; s <= 10; ++s)
        rig.engine.model().station(3, s).LinkLost = true;
    rig.engine.PollCycle();
    stats = rig.engine.statisticsCopy();
    QCOMPARE(stats.line(1).cycles, quint64(1));
    QCOMPARE(stats.line(2).cycles, quint64(1));
    QCOMPARE(stats.line(3).cycles, quint64(0));
    QVERIFY(stats.line(1).lastCycleMs > 0);
    QCOMPARE(stats.line(1).averageCycleMs, stats.line(1).lastCycleMs);

    rig.engine.ResetStatistics();
    stats = rig.engine.statisticsCopy();
    QCOMPARE(stats.line(1).transactions + stats.line(1).cycles, quint64(0));
    QVERIFY(!stats.line(1).slot(1).lastGoodReply.isValid());
    QVERIFY(stats.line(1).slot(1).answering); // what the tile shows does not reset
    QVERIFY(stats.since >= before);
}

void TestEngine::movedLineLetsGoOfItsPortAndStopClosesAll()
{
    Rig rig;
    rig.controller(1, 1, 1);
    rig.engine.PollSlot(1, 1);
    QCOMPARE(rig.log.keptPorts, (QList<QList<int>>{{1, 2, 3}}));
    rig.engine.PollSlot(1, 1);
    QCOMPARE(rig.log.keptPorts.size(), 1); // only when a line's port changes
    {
        QMutexLocker lock(&rig.engine.model().mutex);
        rig.engine.model().line(2).ComPort = 5;
    }
    rig.engine.PollSlot(1, 1);
    QCOMPARE(rig.log.keptPorts.last(), (QList<int>{1, 5, 3}));
    QCOMPARE(rig.log.closes, 0);
    rig.engine.Stop();
    QCOMPARE(rig.log.closes, 1);
}

void TestEngine::deadLinesPaceThemselves()
{
    // Three lines on ports whose devices are missing, every slot lost and "Scan all
    // controllers": each slot step still costs its two read timeouts (7 bytes x 12 ms), the
    // engine's thread hardly works and the screen gets at most a lamp and an indicator update
    // per step. The real serial facility, not the scripted line.
    QTemporaryDir home;
    QDir(home.path()).mkdir(QStringLiteral("ports"));
    for (int m = 1; m <= 3; ++m)
        QFile::link(home.path() + "/unplugged",
                    home.path() + QStringLiteral("/ports/COM6%1").arg(m));
    TCommController engine(
        std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(home.path())));
    int updates = 0;
    QObject::connect(
        &engine, &TCommController::updateRequested, &engine, [&updates] { ++updates; },
        Qt::DirectConnection);
    engine.model().ScanAll = true;
    for (int m = 1; m <= 3; ++m) {
        engine.model().line(m) = {60 + m, 38400, TConverter::RS485, TPsl::rtu};
        for (int s = 1; s <= 10; ++s)
            engine.model().station(m, s).LinkLost = true;
    }
    constexpr int Steps = 6;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = threadCpuMs();
    for (int i = 0; i < Steps; ++i)
        engine.PollSlot(i % 3 + 1, i / 3 + 1);
    const double cpuMs = threadCpuMs() - cpu0;
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= Steps * 2 * 84 - 20, qPrintable(QString::number(elapsed)));
    QVERIFY2(cpuMs < 0.05 * double(elapsed), qPrintable(QString::number(cpuMs)));
    QVERIFY(updates <= 2 * Steps);
    const LineStatistics line = engine.statisticsCopy().line(1);
    QCOMPARE(line.portErrors, quint64(2 * 2));
    QVERIFY2(line.portError.startsWith(QStringLiteral("COM61 ")), qPrintable(line.portError));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
