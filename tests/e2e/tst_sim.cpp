// The simulator seen from the wire: raw bytes through its pseudo-terminals, its control
// commands, its options. Expected frames are known answers computed with an independent
// Modbus implementation, not with our own CRC code.

#include "RawPort.h"
#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cerrno>
#include <csignal>

namespace {

using Exchange = RawPort::Exchange;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

// Station 5 on COM1 with known register contents and no thermal model.
const QString Station5 =
    QStringLiteral("com=1,id=5,pv=2400,sv=2500,out=300,status=9,input=53,reg137=2400,model=off");

QStringList lineArgs(const QString& psl, const QString& converter, const QString& extra = {})
{
    return {QStringLiteral("--line"),
            QStringLiteral("com=1,psl=%1,converter=%2%3").arg(psl, converter, extra),
            QStringLiteral("--station"), Station5};
}

// Polls a condition that reads live values: evaluated once per round, so a value that
// flickers with the model's noise cannot pass and then fail the same check.
template <typename Condition> bool eventually(Condition condition, int timeoutMs)
{
    for (QDeadlineTimer due(timeoutMs); !condition(); QThread::msleep(20))
        if (due.hasExpired())
            return false;
    return true;
}

// The Modbus acceptance rule of the program: the two CRC bytes add up to those computed.
// Checked here by comparing against the known good reply.
bool crcBytesAddUp(const QByteArray& reply, const QByteArray& good)
{
    return quint8(reply.at(5)) + quint8(reply.at(6)) == quint8(good.at(5)) + quint8(good.at(6));
}

} // namespace

#define START(sim) QVERIFY2((sim).start(), qPrintable((sim).errorString()))

class TstSim : public QObject
{
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void writeStoresRegister_data();
    void writeStoresRegister();
    void faults_data();
    void faults();
    void faultCountRunsOut();
    void replyToAClosedPortIsLost();
    void controlCommands_data();
    void controlCommands();
    void goneAndBack();
    void badOptionsExitWithCode2_data();
    void badOptionsExitWithCode2();
    void wireTimingOrdersEchoAndReply_data();
    void wireTimingOrdersEchoAndReply();
    void fixedBaudAnswersOnlyItsSpeed_data();
    void fixedBaudAnswersOnlyItsSpeed();
    void frameLogRecordsEveryFrame();
    void garbageDoesNotDerailTheLine();
    void thermalModelFollowsSv();
    void configFileDefinesLines();
    void linksLiveAsLongAsTheSimulator();
};

void TstSim::replies_data()
{
    QTest::addColumn<QString>("psl");
    QTest::addColumn<QString>("converter");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("expected"); // everything the client reads back

    const QByteArray rtuReadPv = hex("0503008a0001a464");
    const QByteArray velnReadInput = hex("5205004800009f");
    QTest::newRow("rtu rs485 read PV") << "rtu"
                                       << "rs485" << rtuReadPv << hex("05030209604ffc");
    QTest::newRow("rtu rs422 read PV: echo, then reply")
        << "rtu"
        << "rs422" << rtuReadPv << rtuReadPv + hex("05030209604ffc");
    QTest::newRow("rtu read input selection")
        << "rtu"
        << "rs485" << hex("0503004800010598") << hex("05030200358993");
    QTest::newRow("rtu read three registers")
        << "rtu"
        << "rs485" << hex("050300870003b466") << hex("050306012c0009096055d8");
    QTest::newRow("rtu write answers with the request")
        << "rtu"
        << "rs485" << hex("05060000012c8803") << hex("05060000012c8803");
    QTest::newRow("veln rs485 read PV")
        << "veln"
        << "rs485" << hex("5205008a0000e1") << hex("5205008a000960f8");
    QTest::newRow("veln rs422 read input: echo, then reply")
        << "veln"
        << "rs422" << velnReadInput << velnReadInput + hex("5205004800003582");
    QTest::newRow("veln write answers with the new value")
        << "veln"
        << "rs485" << hex("57050000012c89") << hex("5705000000012c32");
    QTest::newRow("rtu unknown station stays silent")
        << "rtu"
        << "rs485" << hex("0603008a0001a457") << QByteArray();
    QTest::newRow("rtu unknown station on rs422: the echo alone")
        << "rtu"
        << "rs422" << hex("0603008a0001a457") << hex("0603008a0001a457");
    QTest::newRow("rtu bad CRC ignored") << "rtu"
                                         << "rs485" << hex("0503008a0001a465") << QByteArray();
    QTest::newRow("rtu unknown function ignored")
        << "rtu"
        << "rs485" << hex("0504008a000111a4") << QByteArray();
    QTest::newRow("veln bad checksum ignored") << "veln"
                                               << "rs485" << hex("5205008a0000e2") << QByteArray();
    QTest::newRow("rtu request on a veln line ignored") << "veln"
                                                        << "rs485" << rtuReadPv << QByteArray();
}

void TstSim::replies()
{
    QFETCH(QString, psl);
    QFETCH(QString, converter);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, expected);
    SimProcess sim(lineArgs(psl, converter));
    START(sim);
    RawPort port(sim.portLink(1));
    QVERIFY(port.isOpen());
    QCOMPARE(port.transact(request).bytes.toHex(), expected.toHex());
}

void TstSim::writeStoresRegister_data()
{
    QTest::addColumn<QString>("psl");
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<QByteArray>("readBack");
    QTest::addColumn<QByteArray>("expectedRead");

    QTest::newRow("rtu SV -5") << "rtu" << hex("05060000fffb883d") << hex("050300000001858e")
                               << hex("050302fffb49f7");
    QTest::newRow("veln SV -5") << "veln" << hex("57050000fffb56") << hex("52050000000057")
                                << hex("5205000000fffbff");
}

void TstSim::writeStoresRegister()
{
    QFETCH(QString, psl);
    QFETCH(QByteArray, write);
    QFETCH(QByteArray, readBack);
    QFETCH(QByteArray, expectedRead);
    SimProcess sim(lineArgs(psl, "rs485"));
    START(sim);
    RawPort port(sim.portLink(1));
    QVERIFY(!port.transact(write).bytes.isEmpty());
    QString value;
    QVERIFY(sim.command("get 1 5 0", &value));
    QCOMPARE(value, QStringLiteral("value -5"));
    QCOMPARE(port.transact(readBack).bytes.toHex(), expectedRead.toHex());
}

void TstSim::faults_data()
{
    QTest::addColumn<QString>("psl");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("checkValid");   // reply passes the program's check
    QTest::addColumn<QByteArray>("prefix"); // bytes the spoilt reply still starts with
    QTest::addColumn<int>("minDelayMs");

    const QByteArray rtu = hex("05030209604ffc");
    const QByteArray veln = hex("5205008a000960f8");
    QTest::newRow("rtu silent") << "rtu"
                                << "silent" << 0 << false << QByteArray() << 0;
    QTest::newRow("rtu badcrc") << "rtu"
                                << "badcrc" << 7 << false << rtu.left(5) << 0;
    QTest::newRow("rtu short") << "rtu"
                               << "short" << 6 << false << rtu.left(6) << 0;
    QTest::newRow("rtu long") << "rtu"
                              << "long" << 9 << false << rtu << 0;
    QTest::newRow("rtu swapcrc") << "rtu"
                                 << "swapcrc" << 7 << true << hex("0503020960fc4f") << 0;
    QTest::newRow("rtu late 150") << "rtu"
                                  << "late 150" << 7 << true << rtu << 150;
    QTest::newRow("veln badcrc") << "veln"
                                 << "badcrc" << 8 << false << veln.left(7) << 0;
    QTest::newRow("veln short") << "veln"
                                << "short" << 7 << false << veln.left(7) << 0;
    QTest::newRow("veln long") << "veln"
                               << "long" << 10 << false << veln << 0;
    QTest::newRow("veln late 120") << "veln"
                                   << "late 120" << 8 << true << veln << 120;
}

void TstSim::faults()
{
    QFETCH(QString, psl);
    QFETCH(QString, fault);
    QFETCH(int, length);
    QFETCH(bool, checkValid);
    QFETCH(QByteArray, prefix);
    QFETCH(int, minDelayMs);
    SimProcess sim(lineArgs(psl, "rs485"));
    START(sim);
    QVERIFY2(sim.command("fault 1 5 " + fault), qPrintable(sim.errorString()));
    RawPort port(sim.portLink(1));
    const QByteArray request = psl == "rtu" ? hex("0503008a0001a464") : hex("5205008a0000e1");
    const QByteArray good = psl == "rtu" ? hex("05030209604ffc") : hex("5205008a000960f8");
    const Exchange ex = port.transact(request, 0, 400);
    QCOMPARE(int(ex.bytes.size()), length);
    QVERIFY(ex.bytes.startsWith(prefix));
    if (length == good.size()) {
        const bool valid = psl == "rtu" ? crcBytesAddUp(ex.bytes, good)
                                        : quint8(ex.bytes.at(7)) == quint8(good.at(7));
        QCOMPARE(valid, checkValid);
    }
    QVERIFY2(ex.doneMs < 0 || ex.doneMs >= minDelayMs, qPrintable(QString::number(ex.doneMs)));
}

void TstSim::faultCountRunsOut()
{
    SimProcess sim(lineArgs("rtu", "rs485"));
    START(sim);
    RawPort port(sim.portLink(1));
    const QByteArray request = hex("0503008a0001a464");
    auto replyLength = [&] { return int(port.transact(request).bytes.size()); };

    QVERIFY(sim.command("fault 1 5 silent 2"));
    QCOMPARE(replyLength(), 0);
    QCOMPARE(replyLength(), 0);
    QCOMPARE(replyLength(), 7);
    QVERIFY(sim.command("fault 1 5 short"));
    QCOMPARE(replyLength(), 6);
    QCOMPARE(replyLength(), 6);
    QVERIFY(sim.command("fault 1 5 none"));
    QCOMPARE(replyLength(), 7);
}

void TstSim::replyToAClosedPortIsLost()
{
    SimProcess sim(lineArgs("rtu", "rs485"));
    START(sim);
    const QByteArray request = hex("0503008a0001a464");
    QVERIFY(sim.command("fault 1 5 late 100 1"));
    {
        RawPort early(sim.portLink(1));
        QVERIFY(early.send(request));
    } // closed before the late reply leaves
    QVERIFY(sim.waitForFrames(1, 1, 1000));
    QThread::msleep(200);
    // A real port that nobody has open drops what arrives; the next transaction starts clean.
    RawPort port(sim.portLink(1));
    QCOMPARE(port.transact(request).bytes.toHex(), QByteArray("05030209604ffc"));
}

void TstSim::controlCommands_data()
{
    QTest::addColumn<QString>("psl");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer"); // prefix of the expected answer

    QTest::newRow("get PV") << "rtu"
                            << "get 1 5 138"
                            << "value 2400";
    QTest::newRow("set any register") << "rtu"
                                      << "set 1 5 200 -7"
                                      << "ok";
    QTest::newRow("unknown station") << "rtu"
                                     << "get 1 6 138"
                                     << "error no station 6 on COM1";
    QTest::newRow("unknown line") << "rtu"
                                  << "gone 2"
                                  << "error no line COM2";
    QTest::newRow("code out of range") << "rtu"
                                       << "get 1 5 256"
                                       << "error code";
    QTest::newRow("value out of range") << "rtu"
                                        << "set 1 5 0 70000"
                                        << "error value";
    QTest::newRow("unknown fault") << "rtu"
                                   << "fault 1 5 loud"
                                   << "error unknown fault kind";
    QTest::newRow("late needs its delay") << "rtu"
                                          << "fault 1 5 late"
                                          << "error usage";
    QTest::newRow("none takes no count") << "rtu"
                                         << "fault 1 5 none 3"
                                         << "error usage";
    QTest::newRow("swapcrc on Modbus") << "rtu"
                                       << "fault 1 5 swapcrc"
                                       << "ok";
    QTest::newRow("swapcrc is Modbus only") << "veln"
                                            << "fault 1 5 swapcrc"
                                            << "error swapcrc applies to rtu lines only";
    QTest::newRow("unknown command") << "rtu"
                                     << "reboot"
                                     << "error unknown command";
    QTest::newRow("back of a line that is there") << "rtu"
                                                  << "back 1"
                                                  << "error COM1 is not gone";
}

void TstSim::controlCommands()
{
    QFETCH(QString, psl);
    QFETCH(QString, command);
    QFETCH(QString, answer);
    SimProcess sim(lineArgs(psl, "rs485"));
    START(sim);
    QString got;
    sim.command(command, &got);
    QVERIFY2(got.startsWith(answer), qPrintable(got));
    // The simulator is still at its post after any command.
    QVERIFY(sim.command("get 1 5 0", &got));
    QCOMPARE(got, QStringLiteral("value 2500"));
}

void TstSim::goneAndBack()
{
    SimProcess sim(lineArgs("rtu", "rs485"));
    START(sim);
    const QByteArray request = hex("0503008a0001a464");
    QVERIFY(sim.command("set 1 5 138 1234"));
    const QString firstDevice = sim.device(1);
    RawPort held(sim.portLink(1));
    QVERIFY(held.isOpen());

    // The adapter pulled out: the client's open port hangs up and the name goes away.
    QVERIFY(sim.command("gone 1"));
    QVERIFY(held.hungUp());
    QVERIFY(!QFileInfo::exists(sim.portLink(1)) && !QFileInfo(sim.portLink(1)).isSymLink());
    RawPort missing(sim.portLink(1));
    QVERIFY(!missing.isOpen());
    QCOMPARE(missing.openErrno(), ENOENT);
    QString answer;
    QVERIFY(!sim.command("gone 1", &answer));
    QCOMPARE(answer, QStringLiteral("error COM1 is already gone"));

    QVERIFY(sim.command("back 1"));
    QCOMPARE(QFileInfo(sim.portLink(1)).symLinkTarget(), sim.device(1));
    // The port log tells the whole story, opens and closes of clients included.
    const QStringList story = {"online " + firstDevice, "open", "offline",
                               "online " + sim.device(1), "open"};
    {
        RawPort port(sim.portLink(1));
        QVERIFY(port.isOpen());
        // The controllers outlive the outage.
        QCOMPARE(port.transact(request).bytes.mid(3, 2).toHex(), QByteArray("04d2"));
        QTRY_COMPARE(sim.portEvents(1), story);
    }
    QTRY_COMPARE(sim.portEvents(1), story + QStringList{"close"});
}

void TstSim::badOptionsExitWithCode2_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("unknown option") << QStringList{"--bogus"} << "unknown option --bogus";
    QTest::newRow("COM 0") << QStringList{"--line", "com=0"} << "com=0";
    QTest::newRow("unknown protocol") << QStringList{"--line", "com=1,psl=ascii"} << "psl=ascii";
    QTest::newRow("odd baud") << QStringList{"--line", "com=1,baud=12345"} << "baud=12345";
    QTest::newRow("station without id") << QStringList{"--station", "com=1"} << "id=";
    QTest::newRow("register beyond 255")
        << QStringList{"--station", "com=1,id=2,reg256=1"} << "reg256";
    QTest::newRow("duplicate station")
        << QStringList{"--station", "com=1,id=5", "--station", "com=1,id=5"}
        << "station 5 is given twice on COM1";
    QTest::newRow("same wire address")
        << QStringList{"--station", "com=1,id=5", "--station", "com=1,id=261"} << "same address 5";
    QTest::newRow("thirty-three stations")
        << QStringList{"--stations", "com=1,ids=1-32", "--station", "com=1,id=33"} << "at most 32";
    QTest::newRow("four lines") << QStringList{"--line", "com=1", "--line",    "com=2",
                                               "--line", "com=3", "--station", "com=4,id=1"}
                                << "at most 3";
    QTest::newRow("duplicate line")
        << QStringList{"--line", "com=2", "--line", "com=2,psl=veln"} << "COM2 is given twice";
    QTest::newRow("negative turnaround") << QStringList{"--turnaround-ms", "-1"} << "turnaround";
    QTest::newRow("missing config")
        << QStringList{"--config", "/nonexistent/sim.conf"} << "cannot read config file";
}

void TstSim::badOptionsExitWithCode2()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QTemporaryDir home;
    QProcess proc;
    proc.start(QStringLiteral(QUILLMERE_SIM_PATH), args << "--home" << home.path());
    QVERIFY(proc.waitForFinished(5000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(proc.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
    QVERIFY(proc.readAllStandardOutput().isEmpty());
    QVERIFY(!QFileInfo::exists(home.path() + "/ports"));
}

void TstSim::wireTimingOrdersEchoAndReply_data()
{
    QTest::addColumn<QString>("psl");
    QTest::addColumn<int>("baud");
    QTest::addColumn<double>("turnaroundMs");

    QTest::newRow("rtu 9600") << "rtu" << 9600 << 1.0;
    QTest::newRow("veln 2400") << "veln" << 2400 << 0.5;
    QTest::newRow("rtu 19200, 4 ms turnaround") << "rtu" << 19200 << 4.0;
}

void TstSim::wireTimingOrdersEchoAndReply()
{
    QFETCH(QString, psl);
    QFETCH(int, baud);
    QFETCH(double, turnaroundMs);
    QStringList args = lineArgs(psl, "rs422");
    args << "--turnaround-ms" << QString::number(turnaroundMs);
    SimProcess sim(args);
    START(sim);
    RawPort port(sim.portLink(1), baud);
    const bool rtu = psl == "rtu";
    const QByteArray request = rtu ? hex("0503008a0001a464") : hex("5205008a0000e1");
    const int replyLength = rtu ? 7 : 8;
    const double charMs = 11.0 * 1000 / baud;
    const Exchange ex = port.transact(request, int(request.size()), 400);
    QCOMPARE(ex.bytes.size(), request.size() + replyLength);
    const double echoDue = request.size() * charMs;
    const double replyDue = (request.size() + replyLength) * charMs + turnaroundMs;
    QVERIFY2(ex.echoMs >= echoDue,
             qPrintable(QStringLiteral("echo %1 < %2").arg(ex.echoMs).arg(echoDue)));
    QVERIFY2(ex.doneMs >= replyDue,
             qPrintable(QStringLiteral("reply %1 < %2").arg(ex.doneMs).arg(replyDue)));
    // The echo comes in ahead of the reply, in its own burst.
    QVERIFY(ex.echoMs + charMs < ex.doneMs);
}

void TstSim::fixedBaudAnswersOnlyItsSpeed_data()
{
    QTest::addColumn<int>("clientBaud");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("same speed") << 9600 << 7;
    QTest::newRow("faster client") << 19200 << 0;
    QTest::newRow("slower client") << 4800 << 0;
}

void TstSim::fixedBaudAnswersOnlyItsSpeed()
{
    QFETCH(int, clientBaud);
    QFETCH(int, expectedLength);
    SimProcess sim(lineArgs("rtu", "rs485", ",baud=9600"));
    START(sim);
    RawPort port(sim.portLink(1), clientBaud);
    QCOMPARE(int(port.transact(hex("0503008a0001a464")).bytes.size()), expectedLength);
    QVERIFY(sim.waitForFrames(1, 1, 1000)); // heard, whether answered or not
}

void TstSim::frameLogRecordsEveryFrame()
{
    SimProcess sim(lineArgs("rtu", "rs485"));
    START(sim);
    RawPort port(sim.portLink(1));
    const QStringList sent = {"0503008a0001a464", "0503008a0001a465", "0603008a0001a457"};
    for (const QString& h : sent)
        port.transact(QByteArray::fromHex(h.toLatin1()), 0, 30);
    QVERIFY(sim.waitForFrames(1, 3, 2000));
    QCOMPARE(sim.frames(1), sent);
    QCOMPARE(sim.frames(0), sent);
    QVERIFY(sim.frames(2).isEmpty());

    QFile log(sim.home() + "/frames.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    static const QRegularExpression format(QStringLiteral("^\\d+\\.\\d{3} COM1 [0-9a-f]+$"));
    for (const QByteArray& line : log.readAll().trimmed().split('\n'))
        QVERIFY2(format.match(QString::fromLatin1(line)).hasMatch(), line.constData());

    sim.clearFrames();
    QVERIFY(sim.frames().isEmpty());
    port.transact(hex("0503008a0001a464"));
    QVERIFY(sim.waitForFrames(1, 1, 2000));
    QCOMPARE(sim.frames(), QStringList{"0503008a0001a464"});
}

void TstSim::garbageDoesNotDerailTheLine()
{
    SimProcess sim(lineArgs("rtu", "rs485"));
    START(sim);
    RawPort port(sim.portLink(1));
    const QByteArray request = hex("0503008a0001a464");
    const QByteArray good = hex("05030209604ffc");

    // A fragment followed by silence is dropped; the next request stands on its own.
    QCOMPARE(port.transact(hex("0503008a"), 0, 30).bytes.size(), 0);
    QCOMPARE(port.transact(request).bytes.toHex(), good.toHex());

    QRandomGenerator rng(42);
    for (int burst = 0; burst < 200; ++burst) {
        QByteArray noise(int(rng.bounded(1, 64)), Qt::Uninitialized);
        for (char& c : noise)
            c = char(rng.bounded(256));
        QVERIFY(port.send(noise));
    }
    port.transact(QByteArray(), 0, 50); // let the noise settle and drain any stray answers
    QVERIFY(sim.isRunning());
    QCOMPARE(port.transact(request).bytes.toHex(), good.toHex());
}

void TstSim::thermalModelFollowsSv()
{
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--station",
                    "com=1,id=1,sv=1000,pv=250,tau=0.3,model=on", "--station",
                    "com=1,id=2,sv=1000,pv=250", "--frozen"});
    START(sim);
    auto get = [&](int id, int code) {
        QString answer;
        sim.command(QStringLiteral("get 1 %1 %2").arg(id).arg(code), &answer);
        return answer.section(' ', 1).toInt();
    };
    // Heating from cold: output on, low alarm lit, cooling off.
    QVERIFY(eventually([&] { return get(1, 138) > 260; }, 2000));
    QCOMPARE(get(1, 136) & 0x1b, 0x11);
    QVERIFY(get(1, 135) > 0);
    QVERIFY(eventually([&] { return qAbs(get(1, 138) - 1000) <= 2; }, 5000));

    // A written SV below PV: cooling output and the high alarm.
    QVERIFY(sim.command("set 1 1 0 500"));
    QVERIFY(eventually([&] { return (get(1, 136) & 0x1b) == 0x0a; }, 2000));
    QCOMPARE(get(1, 135), 0);
    QVERIFY(eventually([&] { return qAbs(get(1, 138) - 500) <= 2; }, 5000));

    // --frozen keeps the other controller where it was set.
    QCOMPARE(get(2, 138), 250);
    QCOMPARE(get(2, 136), 0);
}

void TstSim::configFileDefinesLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sim.conf");
    QFile conf(path);
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("# two lines\n"
               "line com=3 psl=veln converter=rs485\n"
               "stations com=3 ids=4-6 pv=2400 model=off   # three alike\n"
               "\n"
               "station com=2 id=5 reg138=2400\n"
               "frozen\n"
               "turnaround-ms 0.25\n");
    conf.close();
    SimProcess sim({"--config", path});
    START(sim);
    QVERIFY(!sim.device(3).isEmpty());
    QVERIFY(!sim.device(2).isEmpty());
    RawPort veln(sim.portLink(3));
    QCOMPARE(veln.transact(hex("5205008a0000e1")).bytes.toHex(), QByteArray("5205008a000960f8"));
    // COM2 comes from its station alone, with the default line: Modbus through the
    // 4-wire converter.
    RawPort rtu(sim.portLink(2));
    QCOMPARE(rtu.transact(hex("0503008a0001a464")).bytes.toHex(),
             QByteArray("0503008a0001a46405030209604ffc"));
}

void TstSim::linksLiveAsLongAsTheSimulator()
{
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkpath("ports"));
    const QString link = home.path() + "/ports/COM1";
    QVERIFY(QFile::link("/dev/pts/nonexistent", link)); // left by a killed run

    QProcess proc;
    proc.start(QStringLiteral(QUILLMERE_SIM_PATH),
               {"--home", home.path(), "--station", "com=1,id=1"});
    for (QDeadlineTimer due(5000); !proc.canReadLine() && !due.hasExpired();)
        proc.waitForReadyRead(100);
    const QString ready = QString::fromUtf8(proc.readLine()).trimmed();
    QVERIFY2(ready.startsWith("quillmere-sim ready COM1=/dev/pts/"), qPrintable(ready));
    QCOMPARE(QFileInfo(link).symLinkTarget(), ready.section('=', 1));

    // Demos run it with stdin from /dev/null: the end of stdin is no reason to leave.
    proc.closeWriteChannel();
    RawPort port(link);
    QCOMPARE(int(port.transact(hex("0103008a0001a5e0")).bytes.size()), 8 + 7);
    QCOMPARE(proc.state(), QProcess::Running);

    ::kill(pid_t(proc.processId()), SIGTERM);
    QVERIFY(proc.waitForFinished(3000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(TstSim)
#include "tst_sim.moc"
