// Frames, checksums and the receive machine of the serial link, against a scripted line.
#include "FakeLine.h"
#include "link/Crc.h"
#include "link/FrameCodec.h"
#include "link/NativeSerialIo.h"
#include "link/TRs485Comm.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using comm::FrameCodec;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

// A valid reply of the given protocol carrying `value`, as a controller would send it.
QByteArray reply(TPsl psl, int station, quint16 value)
{
    QByteArray r;
    if (psl == TPsl::rtu) {
        r = bytes({station, 0x03, 0x02, value >> 8, value & 0xFF});
        const quint16 crc = comm::crc16Modbus(r);
        r.append(char(crc & 0xFF));
        r.append(char(crc >> 8));
    } else {
        r = bytes({0x52, station, 0x00, 0x8A, 0x00, value >> 8, value & 0xFF});
        r.append(char(comm::velnChecksum(r.sliced(1))));
    }
    return r;
}

struct Rig
{
    FakeLine::Log log;
    FakeLine* line;
    TRs485Comm comm;

    Rig() : line(new FakeLine(&log)), comm(std::unique_ptr<comm::SerialIo>(line)) {}
};

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void crcKnownAnswers();
    void readRequests_data();
    void readRequests();
    void sendFrames_data();
    void sendFrames();
    void replyValues_data();
    void replyValues();
    void replyJudgement_data();
    void replyJudgement();
    void attemptsFollowReadRetry_data();
    void attemptsFollowReadRetry();
    void timeoutsScaleWithTheBlock_data();
    void timeoutsScaleWithTheBlock();
    void failedReceiveKeepsTextAndPortStaysOpen();
    void missingPortSpendsEveryAttempt();
    void unconfigurablePortIsNotReady();
    void longReplyDoesNotPoisonTheRetry();
    void initialProperties();
    void tallyNamesHowEachAttemptEnded_data();
    void tallyNamesHowEachAttemptEnded();
};

void TestLink::crcKnownAnswers()
{
    QCOMPARE(comm::crc16Modbus("123456789"), quint16(0x4B37));
    const int bytes[] = {0x01, 0x03, 0x00, 0x8A, 0x00, 0x01};
    // Exchanged bytes: written high byte first, the wire carries A5 E0.
    QCOMPARE(CRC_checksum(bytes, 6), 0xA5E0);
    QCOMPARE(CRC_checksum(bytes, 0), 0xFFFF);
    QCOMPARE(comm::velnChecksum(hex("5201008a0000")), quint8(0xDD));
    QCOMPARE(comm::velnChecksum(hex("ffff02")), quint8(0x00));
}

void TestLink::readRequests_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<int>("station");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("rtu PV station 1") << TPsl::rtu << 1 << 138 << hex("0103008a0001a5e0");
    QTest::newRow("veln PV station 1") << TPsl::veln << 1 << 138 << hex("5201008a0000dd");
    // Codes are never mapped on reads. A station the protocol cannot address never reaches
    // the wire (empty frame), neither read nor written: Modbus 0 is the broadcast, and a
    // station past 255 would wrap to another controller.
    QTest::newRow("rtu station 300") << TPsl::rtu << 300 << 0 << QByteArray();
    QTest::newRow("rtu station 247") << TPsl::rtu << 247 << 0 << hex("f70300000001");
    QTest::newRow("veln station 0") << TPsl::veln << 0 << 0 << hex("520000000000");
    QTest::newRow("veln station 255") << TPsl::veln << 255 << 0 << hex("52ff00000000");
    for (int station : {0, 248, 256, 257})
        QTest::addRow("rtu station %d", station) << TPsl::rtu << station << 0 << QByteArray();
    for (int station : {-1, 256, 257})
        QTest::addRow("veln station %d", station) << TPsl::veln << station << 0 << QByteArray();
    QTest::newRow("veln code 100 unmapped") << TPsl::veln << 2 << 100 << hex("520200640000b8");
}

void TestLink::readRequests()
{
    QFETCH(TPsl, psl);
    QFETCH(int, station);
    QFETCH(int, code);
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.comm.Psl = psl;
    rig.comm.ReadRetry = 0;
    QVERIFY(!rig.comm.Receive(station, TAddress(code)));
    rig.comm.Send(WriteCommand, TAddress(code), station, 1);
    QCOMPARE(rig.log.writes.size(), frame.isEmpty() ? 0 : 2);
    if (frame.isEmpty())
        return;
    // The rtu row without CRC checks the body; the CRC itself is covered by the full rows.
    QCOMPARE(rig.log.writes.first().left(frame.size()), frame);
}

void TestLink::sendFrames_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("rtu SV 500") << TPsl::rtu << 0 << 500 << hex("0106000001f489dd");
    QTest::newRow("veln SV 500") << TPsl::veln << 0 << 500 << hex("570100 0001f44d");
    QTest::newRow("veln -5 as two's complement")
        << TPsl::veln << 0 << 0xFFFB << hex("57010000fffb52");
    QTest::newRow("code 96 goes out as 98") << TPsl::veln << 96 << 1 << hex("570100620001bb");
    QTest::newRow("code 100 goes out as 102") << TPsl::veln << 100 << 1 << hex("570100660001bf");
    QTest::newRow("code 101 unchanged") << TPsl::veln << 101 << 1 << hex("570100650001be");
    QTest::newRow("code 102 goes out as 104") << TPsl::veln << 102 << 1 << hex("570100680001c1");
    QTest::newRow("code 117 goes out as 119") << TPsl::veln << 117 << 1 << hex("570100770001d0");
    QTest::newRow("code 118 unchanged") << TPsl::veln << 118 << 1 << hex("570100760001cf");
    QTest::newRow("code 95 unchanged") << TPsl::veln << 95 << 1 << hex("5701005f0001b8");
}

void TestLink::sendFrames()
{
    QFETCH(TPsl, psl);
    QFETCH(int, code);
    QFETCH(int, value);
    QFETCH(QByteArray, frame);
    Rig rig;
    rig.comm.Psl = psl;
    rig.line->answer = [](const QByteArray& request, int) { return request; };
    rig.comm.Send(WriteCommand, TAddress(code), 1, quint16(value));
    QCOMPARE(rig.log.writes, QList<QByteArray>{frame});
    // Sent once; the controller's answer is let pass (default converter: with the echo) and
    // discarded; the port stays open for the next transaction.
    QCOMPARE(rig.log.writes.size(), 1);
    QCOMPARE(rig.log.readTimeouts, QList<int>{(int(frame.size()) + 8) * 12});
    QCOMPARE(rig.log.closes, 0);
    QCOMPARE(rig.log.writeTimeouts.first(), int(frame.size()) * 7);
    QVERIFY(!rig.comm.SendBusy());
}

void TestLink::replyValues_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<int>("raw");
    QTest::addColumn<QString>("text");
    for (TPsl psl : {TPsl::rtu, TPsl::veln}) {
        const char* name = psl == TPsl::rtu ? "rtu" : "veln";
        QTest::addRow("%s 0xFFFB", name) << psl << 0xFFFB << QStringLiteral("-5");
        QTest::addRow("%s 0x7FFF", name) << psl << 0x7FFF << QStringLiteral("32767");
        QTest::addRow("%s 0x8000", name) << psl << 0x8000 << QStringLiteral("-32768");
        QTest::addRow("%s 1234", name) << psl << 1234 << QStringLiteral("1234");
        QTest::addRow("%s 0", name) << psl << 0 << QStringLiteral("0");
    }
}

void TestLink::replyValues()
{
    QFETCH(TPsl, psl);
    QFETCH(int, raw);
    QFETCH(QString, text);
    for (TConverter converter : {TConverter::RS485, TConverter::RS422_485}) {
        Rig rig;
        rig.comm.Psl = psl;
        rig.comm.Converter = converter;
        rig.line->answer = [&](const QByteArray& request, int) {
            const QByteArray echo = converter == TConverter::RS422_485 ? request : QByteArray();
            return echo + reply(psl, 1, quint16(raw));
        };
        QVERIFY(rig.comm.Receive(1, 138));
        QCOMPARE(rig.comm.ReceivedText(), text);
        QCOMPARE(rig.comm.lastAttempts(), 1);
    }
}

void TestLink::replyJudgement_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<TConverter>("converter");
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<bool>("valid");

    const QByteArray rtu = reply(TPsl::rtu, 1, 253); // 01 03 02 00 fd + crc
    const QByteArray veln = reply(TPsl::veln, 1, 253);
    QByteArray swapped = rtu;
    std::swap(swapped[5], swapped[6]);
    // Same byte sum as the right CRC, different bytes: a corruption that must not pass.
    QByteArray sumAlike = rtu;
    sumAlike[5] = char(quint8(rtu[5]) + 1);
    sumAlike[6] = char(quint8(rtu[6]) - 1);
    QByteArray badValue = rtu;
    badValue[4] = char(0xFE);
    QByteArray velnBad = veln;
    velnBad[5] = char(1);
    QByteArray velnByte0 = veln;
    velnByte0[0] = char(0x99); // not covered by the checksum

    QTest::newRow("rtu good") << TPsl::rtu << TConverter::RS485 << rtu << true;
    QTest::newRow("rtu CRC bytes swapped") << TPsl::rtu << TConverter::RS485 << swapped << true;
    QTest::newRow("rtu CRC sums alike") << TPsl::rtu << TConverter::RS485 << sumAlike << false;
    QTest::newRow("rtu value corrupted") << TPsl::rtu << TConverter::RS485 << badValue << false;
    QTest::newRow("rtu 6 bytes") << TPsl::rtu << TConverter::RS485 << rtu.left(6) << false;
    QTest::newRow("rtu nothing") << TPsl::rtu << TConverter::RS485 << QByteArray() << false;
    QTest::newRow("rtu echo of anything")
        << TPsl::rtu << TConverter::RS422_485 << (hex("ffffffffffffffff") + rtu) << true;
    QTest::newRow("rtu echo but short")
        << TPsl::rtu << TConverter::RS422_485 << (hex("ffffffffffffff") + rtu) << false;
    QTest::newRow("rtu without the echo expected")
        << TPsl::rtu << TConverter::RS422_485 << rtu << false;
    QTest::newRow("veln good") << TPsl::veln << TConverter::RS485 << veln << true;
    QTest::newRow("veln byte 0 free") << TPsl::veln << TConverter::RS485 << velnByte0 << true;
    QTest::newRow("veln bad sum") << TPsl::veln << TConverter::RS485 << velnBad << false;
    QTest::newRow("veln 7 bytes") << TPsl::veln << TConverter::RS485 << veln.left(7) << false;
    QTest::newRow("veln echo of anything")
        << TPsl::veln << TConverter::RS422_485 << (hex("00000000000000") + veln) << true;
}

void TestLink::replyJudgement()
{
    QFETCH(TPsl, psl);
    QFETCH(TConverter, converter);
    QFETCH(QByteArray, block);
    QFETCH(bool, valid);
    const auto value = FrameCodec::forProtocol(psl).judgeBlock(converter, block);
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(*value, qint16(253));
}

void TestLink::attemptsFollowReadRetry_data()
{
    QTest::addColumn<int>("readRetry");
    QTest::addColumn<int>("attempts");
    QTest::newRow("0 gives one attempt") << 0 << 1;
    QTest::newRow("1 gives two") << 1 << 2;
    QTest::newRow("3 gives four") << 3 << 4;
    QTest::newRow("5 gives six") << 5 << 6;
}

void TestLink::attemptsFollowReadRetry()
{
    QFETCH(int, readRetry);
    QFETCH(int, attempts);
    Rig rig;
    rig.comm.Psl = TPsl::rtu;
    rig.comm.Converter = TConverter::RS485;
    rig.comm.ReadRetry = readRetry;
    // A short reply every time: each attempt resends the same request.
    rig.line->answer = [](const QByteArray&, int) { return reply(TPsl::rtu, 1, 7).left(6); };
    QVERIFY(!rig.comm.Receive(1, 138));
    QCOMPARE(rig.log.writes.size(), attempts);
    QCOMPARE(QSet<QByteArray>(rig.log.writes.begin(), rig.log.writes.end()).size(), 1);

    // The last attempt may be the one that works.
    Rig late;
    late.comm.Psl = TPsl::rtu;
    late.comm.Converter = TConverter::RS485;
    late.comm.ReadRetry = readRetry;
    late.line->answer = [attempts](const QByteArray&, int index) {
        QByteArray r = reply(TPsl::rtu, 1, 7);
        if (index < attempts - 1)
            r[3] = char(0x40); // corrupted in transit
        return r;
    };
    QVERIFY(late.comm.Receive(1, 138));
    QCOMPARE(late.log.writes.size(), attempts);
    QCOMPARE(late.comm.ReceivedText(), QStringLiteral("7"));
}

void TestLink::timeoutsScaleWithTheBlock_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<TConverter>("converter");
    QTest::addColumn<int>("readMs");
    QTest::addColumn<int>("writeMs");
    QTest::newRow("rtu alone") << TPsl::rtu << TConverter::RS485 << 84 << 56;
    QTest::newRow("veln alone") << TPsl::veln << TConverter::RS485 << 96 << 49;
    QTest::newRow("rtu with echo") << TPsl::rtu << TConverter::RS422_485 << 180 << 56;
    QTest::newRow("veln with echo") << TPsl::veln << TConverter::RS422_485 << 180 << 49;
}

void TestLink::timeoutsScaleWithTheBlock()
{
    QFETCH(TPsl, psl);
    QFETCH(TConverter, converter);
    QFETCH(int, readMs);
    QFETCH(int, writeMs);
    Rig rig;
    rig.comm.Psl = psl;
    rig.comm.Converter = converter;
    rig.comm.ReadRetry = 0;
    QVERIFY(!rig.comm.Receive(1, 138));
    QCOMPARE(rig.log.readTimeouts, QList<int>{readMs});
    QCOMPARE(rig.log.writeTimeouts, QList<int>{writeMs});
}

void TestLink::failedReceiveKeepsTextAndPortStaysOpen()
{
    Rig rig;
    rig.comm.Psl = TPsl::veln;
    rig.comm.Converter = TConverter::RS485;
    rig.comm.ReadRetry = 2;
    bool answer = true;
    rig.line->answer = [&](const QByteArray&, int) {
        return answer ? reply(TPsl::veln, 1, 42) : QByteArray();
    };
    QVERIFY(rig.comm.Receive(1, 138));
    QCOMPARE(rig.comm.ReceivedText(), QStringLiteral("42"));
    answer = false;
    QVERIFY(!rig.comm.Receive(1, 138));
    QCOMPARE(rig.comm.ReceivedText(), QStringLiteral("42"));
    QCOMPARE(rig.log.opens, 2); // two transactions on one port that stays open
    QCOMPARE(rig.log.closes, 0);
    QVERIFY(!rig.comm.ReceiveBusy());
    rig.comm.ClosePort();
    QCOMPARE(rig.log.closes, 1);
    QVERIFY(!rig.comm.PortReady());
}

void TestLink::missingPortSpendsEveryAttempt()
{
    // The real serial facility: a port whose device is missing makes no attempt cheaper than
    // a silent controller's (veln with the echo: 15 bytes x 12 ms each).
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("ports")));
    QVERIFY(QFile::link(home.path() + "/nothing", home.path() + "/ports/COM7"));
    TRs485Comm comm(std::make_unique<comm::NativeSerialIo>(home.path()));
    comm.ReadRetry = 1;
    comm.ComPort = 7;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!comm.Receive(1, 138));
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(comm.lastAttempts(), 2);
    QVERIFY2(elapsed >= 2 * 180 - 10, qPrintable(QString::number(elapsed)));
    QCOMPARE(comm.lastWriteCount(), 0);
    QVERIFY(!comm.PortReady());
    QVERIFY(comm.ReceivedText().isEmpty());
    QCOMPARE(comm.lastTally().portErrors, 2);
    QVERIFY2(comm.lastTally().portError.startsWith(
                 QStringLiteral("COM7 %1/ports/COM7: ").arg(home.path())),
             qPrintable(comm.lastTally().portError));
    // A write goes nowhere, and takes the time its answer would.
    clock.start();
    comm.Send(WriteCommand, 0, 1, 5);
    QCOMPARE(comm.lastWriteCount(), 0);
    QVERIFY2(clock.elapsed() >= 180 - 5, qPrintable(QString::number(clock.elapsed())));
}

void TestLink::unconfigurablePortIsNotReady()
{
    Rig rig;
    rig.line->configurable = false;
    rig.comm.BaudRate = 9600;
    rig.comm.OpenPort(rig.comm.ComPort, rig.comm.BaudRate);
    QVERIFY(!rig.comm.PortReady());
    QCOMPARE(rig.log.settings.baud, 9600);
    QCOMPARE(rig.log.settings.parity, 1);
    QCOMPARE(rig.log.settings.dataBits, 8);
    QCOMPARE(rig.log.settings.stopBits, 1);
    rig.comm.ClosePort();
    QVERIFY(!rig.log.openNow);
}

void TestLink::longReplyDoesNotPoisonTheRetry()
{
    Rig rig;
    rig.comm.Psl = TPsl::rtu;
    rig.comm.Converter = TConverter::RS485;
    rig.comm.ReadRetry = 5;
    // First answer garbled and two bytes too long; the leftovers must not shift the next block.
    rig.line->answer = [](const QByteArray&, int index) {
        if (index == 0)
            return hex("ff") + reply(TPsl::rtu, 1, 99) + hex("ee");
        return reply(TPsl::rtu, 1, 99);
    };
    QVERIFY(rig.comm.Receive(1, 138));
    QCOMPARE(rig.log.writes.size(), 2);
    QCOMPARE(rig.comm.ReceivedText(), QStringLiteral("99"));
}

void TestLink::initialProperties()
{
    Rig rig;
    const TRs485Comm& c = rig.comm;
    QCOMPARE(c.ComPort, 1);
    QCOMPARE(c.BaudRate, quint16(38400));
    QCOMPARE(c.DataBits, 8);
    QCOMPARE(c.StopBits, 1);
    QCOMPARE(c.ParityBits, 1);
    QCOMPARE(c.WriteRetry, 3);
    QCOMPARE(c.ReadRetry, 3);
    QCOMPARE(c.ReadByteTimeout, 12);
    QCOMPARE(c.Converter, TConverter::RS422_485);
    QCOMPARE(c.Psl, TPsl::veln);
    QVERIFY(c.ReceivedText().isEmpty());
    QVERIFY(!c.SendBusy() && !c.ReceiveBusy() && !c.PortReady());
}

void TestLink::tallyNamesHowEachAttemptEnded_data()
{
    QTest::addColumn<QList<QByteArray>>("answers"); // per attempt; "" = silence
    QTest::addColumn<bool>("portThere");
    QTest::addColumn<QList<int>>("tally"); // good, timeouts, malformed, port errors
    const QByteArray good = reply(TPsl::rtu, 1, 5);
    QByteArray badCrc = good;
    badCrc[5] = char(quint8(badCrc[5]) ^ 0x5A);
    QTest::newRow("good at once") << QList<QByteArray>{good} << true << QList<int>{1, 0, 0, 0};
    QTest::newRow("silent, then good")
        << QList<QByteArray>{"", good} << true << QList<int>{1, 1, 0, 0};
    QTest::newRow("bad CRC, short, then good")
        << QList<QByteArray>{badCrc, good.left(6), good} << true << QList<int>{1, 0, 2, 0};
    QTest::newRow("silent throughout")
        << QList<QByteArray>{"", "", ""} << true << QList<int>{0, 3, 0, 0};
    QTest::newRow("no port") << QList<QByteArray>{} << false << QList<int>{0, 0, 0, 3};
}

void TestLink::tallyNamesHowEachAttemptEnded()
{
    QFETCH(QList<QByteArray>, answers);
    QFETCH(bool, portThere);
    QFETCH(QList<int>, tally);
    Rig rig;
    rig.comm.Psl = TPsl::rtu;
    rig.comm.Converter = TConverter::RS485;
    rig.comm.ReadRetry = 2;
    rig.comm.ComPort = 3;
    rig.line->portExists = portThere;
    rig.line->answer = [&](const QByteArray&, int index) { return answers.value(index); };
    rig.comm.Receive(1, 138);
    const LinkTally& t = rig.comm.lastTally();
    QCOMPARE((QList<int>{t.good, t.timeouts, t.malformed, t.portErrors}), tally);
    QCOMPARE(t.attempts, tally[0] + tally[1] + tally[2] + tally[3]);
    QCOMPARE(t.portError.isEmpty(), portThere);
    if (!portThere)
        QCOMPARE(t.portError, QStringLiteral("COM3 /dev/fake: No such file or directory"));

    // A write counts as sent, or as a port error when it could not go out.
    rig.comm.Send(WriteCommand, 0, 1, 1);
    QCOMPARE(rig.comm.lastTally().writesSent, portThere ? 1 : 0);
    QCOMPARE(rig.comm.lastTally().portErrors, portThere ? 0 : 1);
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
