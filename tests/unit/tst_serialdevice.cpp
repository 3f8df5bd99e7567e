// The serial facility's handling of devices, against drivers played under its system calls:
// the RS-485 and low-latency modes and their restore, RTS held while the frame is on the wire,
// exclusive use and lock files, ports kept open and shared, an adapter pulled out and plugged
// back in.
#include "FakeTty.h"
#include "engine/TCommController.h"
#include "link/Crc.h"
#include "link/NativeSerialIo.h"
#include "link/TRs485Comm.h"
#include "link/UucpLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A Modbus reply of station 1 carrying `value`.
QByteArray reply(quint16 value)
{
    QByteArray r = QByteArray::fromHex("010302");
    r.append(char(value >> 8));
    r.append(char(value & 0xFF));
    const quint16 crc = comm::crc16Modbus(r);
    r.append(char(crc & 0xFF));
    r.append(char(crc >> 8));
    return r;
}

// The real serial facility over played drivers, in a home whose ports/COM<n> name them.
struct DriverRig
{
    QTemporaryDir home;
    QMap<QByteArray, FakeTty::Device> devices;
    FakeTty* tty;
    TRs485Comm link;

    DriverRig()
        : tty(new FakeTty(&devices)), link(std::make_unique<comm::NativeSerialIo>(
                                          home.path(), std::unique_ptr<comm::TtySystem>(tty)))
    {
        QDir(home.path()).mkpath(QStringLiteral("ports"));
        QDir(home.path()).mkpath(QStringLiteral("lock"));
        tty->lockFolder = home.path() + QStringLiteral("/lock");
        link.ComPort = 1;
        link.Psl = TPsl::rtu;
        link.Converter = TConverter::RS485;
        link.ReadRetry = 0;
    }

    // Port n names the device `name` (a plain file stands in for its node); the device is a
    // controller answering 42 to every read, with the echo on a 4-wire line.
    FakeTty::Device& device(int port, const QString& name)
    {
        const QString node = home.path() + QLatin1Char('/') + name;
        QFile(node).open(QIODevice::WriteOnly | QIODevice::Append);
        const QString portLink = home.path() + QStringLiteral("/ports/COM%1").arg(port);
        QFile::remove(portLink);
        QFile::link(node, portLink);
        FakeTty::Device& d = devices[QFile::encodeName(QFileInfo(node).canonicalFilePath())];
        d.answer = [this](const QByteArray& request) {
            const QByteArray echo =
                link.Converter == TConverter::RS422_485 ? request : QByteArray();
            return echo + reply(42);
        };
        return d;
    }
};

} // namespace

class TestSerialDevice : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void driverModesAndTheirRestore_data();
    void driverModesAndTheirRestore();
    void rtsHeldUntilTheLastStopBit_data();
    void rtsHeldUntilTheLastStopBit();
    void exclusiveUse_data();
    void exclusiveUse();
    void lockFiles_data();
    void lockFiles();
    void portStaysOpenAcrossTransactions();
    void pulledAdapterIsClosedAndPolledAgain();
    void hungUpIdleLineIsClosed();
};

void TestSerialDevice::driverModesAndTheirRestore_data()
{
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<bool>("keepsReceiverOn");
    QTest::addColumn<bool>("modemLines");
    QTest::addColumn<int>("serialInfo"); // 0 none, 1 offered, 2 refused
    QTest::addColumn<TConverter>("converter");
    QTest::addColumn<int>("rs485Flags"); // while open; -1: the driver has no RS-485 mode
    QTest::addColumn<bool>("rtsByHand");
    QTest::addColumn<bool>("lowLatency");
    const int on = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    const int before = SER_RS485_RTS_AFTER_SEND; // what the port had
    QTest::newRow("RS-485 card, 4-wire: receiver on while sending")
        << true << true << true << 0 << TConverter::RS422_485 << (on | SER_RS485_RX_DURING_TX)
        << false << false;
    QTest::newRow("RS-485 card, 2-wire")
        << true << true << true << 0 << TConverter::RS485 << on << false << false;
    QTest::newRow("RS-485 card that cannot listen while sending, 4-wire: RTS by hand")
        << true << false << true << 0 << TConverter::RS422_485 << before << true << false;
    QTest::newRow("plain UART: RTS raised around the write")
        << false << true << true << 0 << TConverter::RS485 << -1 << true << false;
    QTest::newRow("adapter without modem lines still polls")
        << false << true << false << 0 << TConverter::RS422_485 << -1 << false << false;
    QTest::newRow("FTDI: low latency while open")
        << false << true << true << 1 << TConverter::RS485 << -1 << true << true;
    QTest::newRow("low latency refused: polls all the same")
        << false << true << false << 2 << TConverter::RS485 << -1 << false << false;
}

void TestSerialDevice::driverModesAndTheirRestore()
{
    QFETCH(bool, rs485);
    QFETCH(bool, keepsReceiverOn);
    QFETCH(bool, modemLines);
    QFETCH(int, serialInfo);
    QFETCH(TConverter, converter);
    QFETCH(int, rs485Flags);
    QFETCH(bool, rtsByHand);
    QFETCH(bool, lowLatency);
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyX0"));
    d.rs485 = rs485;
    if (!keepsReceiverOn)
        d.rs485Keeps = ~quint32(SER_RS485_RX_DURING_TX);
    d.rs485State.flags = SER_RS485_RTS_AFTER_SEND;
    d.rs485State.delay_rts_before_send = 3; // the board's own timing stays
    d.modemLines = modemLines;
    d.serialInfo = serialInfo > 0;
    d.serialInfoRefused = serialInfo == 2;
    d.serialState.xmit_fifo_size = 16;
    const serial_rs485 rs485Before = d.rs485State;
    const serial_struct serialBefore = d.serialState;
    rig.link.Converter = converter;

    QVERIFY(rig.link.Receive(1, 138));
    QCOMPARE(rig.link.ReceivedText(), QStringLiteral("42"));
    QVERIFY(rig.link.Receive(1, 138)); // the second transaction on the open port, too
    if (rs485Flags >= 0) {
        QCOMPARE(int(d.rs485State.flags), rs485Flags);
        QCOMPARE(d.rs485State.delay_rts_before_send, 3u);
    }
    QCOMPARE(d.rtsRaised, rtsByHand ? 2 : 0);
    if (rtsByHand) {
        QCOMPARE(d.rtsDuringWrite, QList<bool>(2, true));
        QVERIFY(!(d.modemBits & TIOCM_RTS)); // and dropped once the request has left
    }
    if (modemLines)
        QVERIFY(!(d.modemBits & TIOCM_DTR));
    QCOMPARE(bool(d.serialState.flags & ASYNC_LOW_LATENCY), lowLatency);
    QVERIFY(d.exclusive);

    // Closed: what the port had is put back, and nothing of ours is left on it.
    rig.link.ClosePort();
    QCOMPARE(d.rs485State.flags, rs485Before.flags);
    QCOMPARE(d.serialState.flags, serialBefore.flags);
    QVERIFY(!d.exclusive);
    QCOMPARE(d.opens, 1);
    QCOMPARE(d.closes, 1);
    QCOMPARE(rig.tty->openDescriptors(), 0);
}

void TestSerialDevice::rtsHeldUntilTheLastStopBit_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<bool>("lineStatus");
    // The host queue is empty right after the write, as behind any USB adapter.
    QTest::newRow("2400, no line status (pl2303, ch341, cp210x)") << 2400 << false;
    QTest::newRow("38400, no line status") << 38400 << false;
    QTest::newRow("2400, transmitter reported empty at once") << 2400 << true;
}

void TestSerialDevice::rtsHeldUntilTheLastStopBit()
{
    QFETCH(int, baud);
    QFETCH(bool, lineStatus);
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    d.lineStatus = lineStatus;
    rig.link.BaudRate = quint16(baud);
    QVERIFY(rig.link.Receive(1, 138));
    rig.link.Send(WriteCommand, 0, 1, 500);
    // 8-byte frames of 11 bits a character: 36.7 ms at 2400 baud, 2.3 ms at 38400.
    const qint64 wireNs = 8 * 11 * 1'000'000'000LL / baud;
    QCOMPARE(d.rtsHeldNs.size(), 2);
    for (const qint64 held : d.rtsHeldNs)
        QVERIFY2(held >= wireNs, qPrintable(QStringLiteral("%1 ns").arg(held)));
}

void TestSerialDevice::exclusiveUse_data()
{
    QTest::addColumn<bool>("pty");
    QTest::addColumn<qint64>("holder"); // another process with the device open; 0 none
    QTest::addColumn<bool>("lockedByOther");
    QTest::addColumn<bool>("exclusive");
    QTest::addColumn<bool>("permitted");
    QTest::addColumn<QString>("refusal"); // empty: the port is used
    QTest::addColumn<int>("opens");       // open calls per try: refusals without one cost none
    QTest::newRow("free adapter") << false << qint64(0) << false << false << true << QString() << 1;
    QTest::newRow("adapter another program has open")
        << false << qint64(4242) << false << false << true << "in use by process 4242" << 0;
    QTest::newRow("pty held by its other end")
        << true << qint64(4242) << false << false << true << QString() << 1;
    QTest::newRow("locked by another program")
        << false << qint64(0) << true << false << true << "in use by another program (locked)" << 1;
    QTest::newRow("held exclusively (root gets past TIOCEXCL)")
        << true << qint64(0) << false << true << true << "in use by another program (exclusive)"
        << 1;
    QTest::newRow("user not in the dialout group")
        << false << qint64(0) << false << false << false
        << "/ttyUSB0: permission denied (add the user to the dialout group)" << 1;
}

void TestSerialDevice::exclusiveUse()
{
    QFETCH(bool, pty);
    QFETCH(qint64, holder);
    QFETCH(bool, lockedByOther);
    QFETCH(bool, exclusive);
    QFETCH(bool, permitted);
    QFETCH(QString, refusal);
    QFETCH(int, opens);
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    d.pty = pty;
    if (holder)
        d.holders = {holder};
    d.lockedByOther = lockedByOther;
    d.exclusive = exclusive;
    d.permitted = permitted;
    QElapsedTimer clock;
    clock.start();
    const bool ok = rig.link.Receive(1, 138);
    QCOMPARE(ok, refusal.isEmpty());
    // Polling goes on: a refused port is tried again at most every 2 s, an open one stays open.
    for (int i = 0; i < 4; ++i)
        QCOMPARE(rig.link.Receive(1, 138), ok);
    QVERIFY2(d.opens <= opens * (1 + clock.elapsed() / 2000), qPrintable(QString::number(d.opens)));
    if (!ok) {
        // ... and each try still costs its read timeout (7 bytes x 12 ms), like a silent line.
        QVERIFY2(clock.elapsed() >= 5 * 84 - 10, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(rig.link.lastTally().portError.endsWith(refusal),
                 qPrintable(rig.link.lastTally().portError));
        QCOMPARE(rig.link.lastTally().portErrors, 1);
        QVERIFY(d.writes.isEmpty());
        QCOMPARE(d.exclusive, exclusive); // a refused port is left as it was found
        QCOMPARE(rig.tty->openDescriptors(), 0);
        QVERIFY(QDir(rig.tty->lockFolder).isEmpty());
    }
}

void TestSerialDevice::lockFiles_data()
{
    // Process 1 is always alive; no process can have a number past the kernel's limit.
    const qint32 alive = 1;
    const qint32 gone = 4194999;
    const auto binary = [](qint32 pid) {
        return QByteArray(reinterpret_cast<const char*>(&pid), 4);
    };
    QTest::addColumn<QByteArray>("lockFile"); // empty: none
    QTest::addColumn<qint64>("refusedFor");   // the holder named; 0: the port is ours
    QTest::newRow("no lock file") << QByteArray() << qint64(0);
    QTest::newRow("minicom's, process alive")
        << QString::asprintf("%10d minicom user\n", alive).toLatin1() << qint64(alive);
    QTest::newRow("minicom's, process gone")
        << QString::asprintf("%10d minicom user\n", gone).toLatin1() << qint64(0);
    QTest::newRow("Qt's, process alive") << QByteArray("1\nquillmere-sim\nhost\n") << qint64(1);
    QTest::newRow("binary, process alive") << binary(alive) << qint64(alive);
    QTest::newRow("binary, process gone") << binary(gone) << qint64(0);
    QTest::newRow("ours from a run that crashed")
        << QString::asprintf("%10d\n", gone).toLatin1() << qint64(0);
    QTest::newRow("names no process") << QByteArray("\n") << qint64(0);
}

void TestSerialDevice::lockFiles()
{
    QFETCH(QByteArray, lockFile);
    QFETCH(qint64, refusedFor);
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    const QString device =
        QFileInfo(rig.home.path() + QStringLiteral("/ttyUSB0")).canonicalFilePath();
    QFile lock(rig.tty->lockFolder + QLatin1Char('/') + comm::lockFileName(device));
    if (!lockFile.isEmpty()) {
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(lockFile);
        lock.close();
    }
    const bool ok = rig.link.Receive(1, 138);
    QCOMPARE(ok, refusedFor == 0);
    const auto content = [&lock] {
        lock.open(QIODevice::ReadOnly);
        const QByteArray text = lock.readAll();
        lock.close();
        return text;
    };
    if (!ok) {
        QVERIFY(rig.link.lastTally().portError.endsWith(
            QStringLiteral("locked by process %1 (lock file)").arg(refusedFor)));
        QCOMPARE(d.opens, 0); // not even opened
        QCOMPARE(content(), lockFile);
        rig.link.ClosePort();
        QCOMPARE(content(), lockFile); // another program's lock stays
        return;
    }
    // Ours while the port is open, in the ASCII form, and gone with the port.
    QCOMPARE(content(), QString::asprintf("%10lld\n", qint64(getpid())).toLatin1());
    QCOMPARE(comm::lockFileOwner(content()), qint64(getpid()));
    QVERIFY(rig.link.Receive(1, 138));
    rig.link.ClosePort();
    QVERIFY(!lock.exists());
    QCOMPARE(QDir(rig.tty->lockFolder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestSerialDevice::portStaysOpenAcrossTransactions()
{
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    for (int i = 0; i < 5; ++i) {
        // Stray bytes of an earlier exchange (another value) wait in the driver: every
        // transaction starts with them gone.
        d.input = reply(99);
        QVERIFY(rig.link.Receive(1, 138));
        QCOMPARE(rig.link.ReceivedText(), QStringLiteral("42"));
    }
    QCOMPARE(d.opens, 1);
    QCOMPARE(d.settingsWritten, 1);
    QCOMPARE(d.bothQueuesFlushed, 5);
    rig.link.BaudRate = 9600; // settings go to the port when they change, and only then
    QVERIFY(rig.link.Receive(1, 138));
    QVERIFY(rig.link.Receive(1, 138));
    QCOMPARE(d.settingsWritten, 2);
    QCOMPARE(cfgetospeed(&d.tio), speed_t(B9600));

    // Two port numbers naming one device share its descriptor.
    rig.device(4, QStringLiteral("ttyUSB0"));
    rig.link.ComPort = 4;
    QVERIFY(rig.link.Receive(1, 138));
    QCOMPARE(d.opens, 1);
    // A line moved away: the device stays open while another port number still names it.
    rig.link.keepOnlyPorts({4, 2});
    QCOMPARE(d.closes, 0);
    rig.link.keepOnlyPorts({2, 3});
    QCOMPARE(d.closes, 1);
    // Its link pointed elsewhere: the old device closes, the new one opens.
    QVERIFY(rig.link.Receive(1, 138));
    FakeTty::Device& other = rig.device(4, QStringLiteral("ttyUSB1"));
    QVERIFY(rig.link.Receive(1, 138));
    QCOMPARE(d.closes, 2);
    QCOMPARE(other.opens, 1);
    rig.link.ClosePort();
    QCOMPARE(other.closes, 1);
    QCOMPARE(rig.tty->openDescriptors(), 0);
}

void TestSerialDevice::pulledAdapterIsClosedAndPolledAgain()
{
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    QVERIFY(rig.link.Receive(1, 138));
    // Pulled out while the request goes out: the attempt and the ones after it fail on the
    // port, each still taking its read timeout (7 bytes x 12 ms).
    d.answer = [&d](const QByteArray&) {
        FakeTty::unplug(d);
        return QByteArray();
    };
    rig.link.ReadRetry = 2;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!rig.link.Receive(1, 138));
    QVERIFY2(clock.elapsed() >= 3 * 84 - 10, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(rig.link.lastTally().portErrors, 3);
    QVERIFY2(rig.link.lastTally().portError.startsWith(QStringLiteral("COM1 ")),
             qPrintable(rig.link.lastTally().portError));
    QCOMPARE(d.closes, 1); // closed at once, not at the end of polling
    QCOMPARE(rig.tty->openDescriptors(), 0);

    rig.link.ReadRetry = 0;
    QVERIFY(!rig.link.Receive(1, 138));
    QVERIFY(rig.link.lastTally().portError.endsWith(QStringLiteral("No such file or directory")));
    // Plugged back in: the next transaction opens it again.
    FakeTty::plug(d);
    d.answer = [](const QByteArray&) { return reply(42); };
    QVERIFY2(rig.link.Receive(1, 138), qPrintable(rig.link.lastTally().portError));
    QCOMPARE(d.opens, 2);
    QVERIFY(rig.link.lastTally().portError.isEmpty());
}

void TestSerialDevice::hungUpIdleLineIsClosed()
{
    DriverRig rig;
    FakeTty::Device& d = rig.device(1, QStringLiteral("ttyUSB0"));
    auto* tty = new FakeTty(&rig.devices);
    auto link = std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(
        rig.home.path(), std::unique_ptr<comm::TtySystem>(tty)));
    link->Psl = TPsl::rtu;
    link->Converter = TConverter::RS485;
    QVERIFY(link->Receive(1, 138)); // the line's port is open
    TCommController engine(std::move(link));
    // "Only scan controllers", every controller lost: the engine makes no transaction.
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            engine.model().station(m, s).LinkLost = true;
    engine.PollCycle();
    FakeTty::unplug(d);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        engine.PollCycle();
        QThread::msleep(1);
    }
    QCOMPARE(d.closes, 1);
    QCOMPARE(tty->openDescriptors(), 0);
    QCOMPARE(d.writes.size(), 1);
}

QTEST_GUILESS_MAIN(TestSerialDevice)
#include "tst_serialdevice.moc"
