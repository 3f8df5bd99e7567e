// The link over real pseudo-terminals against the simulated controllers: both protocols, both
// converters, the attempt counts and every fault the simulator can stage.
#include "SimProcess.h"
#include "link/NativeSerialIo.h"
#include "link/PosixTtySystem.h"
#include "link/TRs485Comm.h"
#include "link/UucpLock.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

struct LineCase
{
    const char* psl;
    const char* converter;
};

// Descriptors of this process open on `device`.
int descriptorsOn(const QString& device)
{
    int n = 0;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& fd : fds.entryList(QDir::System))
        n += QFileInfo(fds.filePath(fd)).symLinkTarget() == device;
    return n;
}

// A dead port's read attempts each take their whole timeout: at least 7 bytes x 12 ms
// (rtu, no echo) apiece, give or take a millisecond of the clock.
#define VERIFY_TOOK_TIMEOUTS(clock, attempts)                                                      \
    QVERIFY2((clock).elapsed() >= (attempts)*84 - 5, qPrintable(QString::number((clock).elapsed())))

TRs485Comm* makeLink(const SimProcess& sim, TPsl psl, TConverter converter)
{
    auto* link = new TRs485Comm(std::make_unique<comm::NativeSerialIo>(sim.home()));
    link->ComPort = 1;
    link->BaudRate = 38400;
    link->Psl = psl;
    link->Converter = converter;
    return link;
}

} // namespace

class TestLinkSim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readAndWriteOnEveryLineKind_data();
    void readAndWriteOnEveryLineKind();
    void attemptsAndSilentTimeout_data();
    void attemptsAndSilentTimeout();
    void faultsCostOneAttempt_data();
    void faultsCostOneAttempt();
    void lateReplyDoesNotSpoilTheNextAttempt();
    void strayReplyIsNotTakenForTheNextOne();
    void replyAfterCloseIsPurged();
    void missingPortAndLineGone();
    void portInUseIsNotReady();
    void unconfigurablePortSendsNothing();
    void portNumbersMapToDevices();
    void oneDescriptorPerDeviceNoneAfterClose();
    void otherHoldersOfADeviceAreFound();
};

void TestLinkSim::readAndWriteOnEveryLineKind_data()
{
    QTest::addColumn<TPsl>("psl");
    QTest::addColumn<TConverter>("converter");
    QTest::newRow("rtu, 4-wire echo") << TPsl::rtu << TConverter::RS422_485;
    QTest::newRow("rtu, 2-wire") << TPsl::rtu << TConverter::RS485;
    QTest::newRow("veln, 4-wire echo") << TPsl::veln << TConverter::RS422_485;
    QTest::newRow("veln, 2-wire") << TPsl::veln << TConverter::RS485;
}

void TestLinkSim::readAndWriteOnEveryLineKind()
{
    QFETCH(TPsl, psl);
    QFETCH(TConverter, converter);
    const QString line = QStringLiteral("com=1,psl=%1,converter=%2")
                             .arg(psl == TPsl::rtu ? "rtu" : "veln",
                                  converter == TConverter::RS485 ? "rs485" : "rs422");
    SimProcess sim({"--line", line, "--station", "com=1,id=7,pv=-5,sv=1234", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, psl, converter));

    QVERIFY(link->Receive(7, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("-5"));
    QCOMPARE(link->lastAttempts(), 1);
    link->OpenPort(link->ComPort, link->BaudRate);
    QVERIFY(link->PortReady()); // a pty takes everything but parity, and that is success
    link->ClosePort();
    link->OpenPort(link->ComPort, link->BaudRate); // the second open is the one that used to fail
    QVERIFY(link->PortReady());
    link->ClosePort();

    link->Send(WriteCommand, 0, 7, 500);
    QVERIFY(sim.waitForFrames(1, 2, 2000));
    QString value;
    QVERIFY(sim.command(QStringLiteral("get 1 7 0"), &value));
    QCOMPARE(value, QStringLiteral("value 500"));
    // Codes 96..100 and 102..117 land two registers higher in the controller.
    link->Send(WriteCommand, 96, 7, 3);
    QVERIFY(sim.waitForFrames(1, 3, 2000));
    QVERIFY(sim.command(QStringLiteral("get 1 7 98"), &value));
    QCOMPARE(value, QStringLiteral("value 3"));

    QVERIFY(link->Receive(7, 0));
    QCOMPARE(link->ReceivedText(), QStringLiteral("500"));
}

void TestLinkSim::attemptsAndSilentTimeout_data()
{
    QTest::addColumn<int>("readRetry");
    QTest::newRow("ReadRetry 0: one attempt") << 0;
    QTest::newRow("ReadRetry 5: six attempts") << 5;
}

void TestLinkSim::attemptsAndSilentTimeout()
{
    QFETCH(int, readRetry);
    SimProcess sim(
        {"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=1", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    QVERIFY(link->Receive(1, 138));
    const QString before = link->ReceivedText();
    QVERIFY(sim.command(QStringLiteral("fault 1 1 silent")));
    sim.clearFrames();

    link->ReadRetry = readRetry;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!link->Receive(1, 138));
    const qint64 elapsedMs = clock.elapsed();
    QCOMPARE(link->lastAttempts(), readRetry + 1);
    QVERIFY(sim.waitForFrames(1, readRetry + 1, 2000));
    QCOMPARE(sim.frames(1).size(), readRetry + 1);
    // Each attempt waits out its whole deadline: 7 bytes x 12 ms.
    QVERIFY2(elapsedMs >= 84 * (readRetry + 1), qPrintable(QString::number(elapsedMs)));
    QCOMPARE(link->ReceivedText(), before);
}

void TestLinkSim::faultsCostOneAttempt_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("attempts");
    QTest::newRow("bad CRC once") << "badcrc 1" << 2;
    QTest::newRow("short reply once") << "short 1" << 2;
    QTest::newRow("silent once") << "silent 1" << 2;
    QTest::newRow("CRC bytes swapped") << "swapcrc" << 1;
    QTest::newRow("two bytes too long") << "long" << 1;
}

void TestLinkSim::faultsCostOneAttempt()
{
    QFETCH(QString, fault);
    QFETCH(int, attempts);
    SimProcess sim(
        {"--line", "com=1,psl=rtu,converter=rs422", "--station", "com=1,id=3,pv=42", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QVERIFY(sim.command(QStringLiteral("fault 1 3 ") + fault));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS422_485));
    link->ReadRetry = 3;
    QVERIFY(link->Receive(3, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("42"));
    QCOMPARE(link->lastAttempts(), attempts);
}

void TestLinkSim::lateReplyDoesNotSpoilTheNextAttempt()
{
    SimProcess sim(
        {"--line", "com=1,psl=veln,converter=rs485", "--station", "com=1,id=2,pv=77", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    // The first reply comes 30 ms after the 96 ms deadline, in the middle of the second
    // attempt's wait; the attempt after that must still read a clean reply.
    QVERIFY(sim.command(QStringLiteral("fault 1 2 late 126 1")));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::veln, TConverter::RS485));
    link->ReadRetry = 5;
    QVERIFY(link->Receive(2, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("77"));
    QVERIFY(link->lastAttempts() <= 3);
}

void TestLinkSim::strayReplyIsNotTakenForTheNextOne()
{
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=1,pv=111",
                    "--station", "com=1,id=2,pv=222", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->ReadRetry = 0;
    // Station 1 answers 100 ms after its deadline; the port stays open, so its reply lands in
    // our input between transactions. Modbus does not compare stations: taken for station 2's
    // reply it would pass as 111.
    QVERIFY(sim.command(QStringLiteral("fault 1 1 late 100 1")));
    QVERIFY(!link->Receive(1, 138));
    QTest::qWait(150);
    QVERIFY(link->Receive(2, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("222"));
    QCOMPARE(sim.opens(1), 1);
}

void TestLinkSim::replyAfterCloseIsPurged()
{
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=4,pv=11",
                    "--frozen", "--turnaround-ms", "5"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    // The controller answers the write after the port has been closed; its 8 bytes wait in
    // the pty and would shift the next 7-byte read.
    link->Send(WriteCommand, 5, 4, 9);
    QVERIFY(sim.waitForFrames(1, 1, 2000));
    QTest::qWait(40);
    link->ReadRetry = 0;
    QVERIFY(link->Receive(4, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("11"));
}

void TestLinkSim::missingPortAndLineGone()
{
    // COM2 and COM3: without their links they fall back to /dev/ttyS1 and /dev/ttyS2, which
    // these machines do not have.
    SimProcess sim(
        {"--line", "com=2,psl=rtu,converter=rs485", "--station", "com=2,id=1,pv=5", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->ReadRetry = 1;
    link->ComPort = 3;
    link->OpenPort(link->ComPort, link->BaudRate);
    QVERIFY(!link->PortReady());
    link->ClosePort();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!link->Receive(1, 138));
    QCOMPARE(link->lastAttempts(), 2);
    VERIFY_TOOK_TIMEOUTS(clock, 2);
    QCOMPARE(link->lastTally().portErrors, 2);

    link->ComPort = 2;
    QVERIFY(link->Receive(1, 138));
    const QString device = sim.device(2);
    QCOMPARE(descriptorsOn(device), 1);
    // The adapter pulled out while the port is open: it hangs up, is closed at once, and the
    // attempts go on at the pace of a silent line.
    QVERIFY(sim.command(QStringLiteral("gone 2")));
    clock.start();
    QVERIFY(!link->Receive(1, 138));
    QCOMPARE(link->lastAttempts(), 2);
    VERIFY_TOOK_TIMEOUTS(clock, 2);
    QCOMPARE(link->lastTally().portErrors, 2);
    QCOMPARE(descriptorsOn(device), 0);
    link->Send(WriteCommand, 0, 1, 1);
    QCOMPARE(link->lastWriteCount(), 0);
    QVERIFY(sim.command(QStringLiteral("back 2")));
    QVERIFY(link->Receive(1, 138));
    QCOMPARE(link->ReceivedText(), QStringLiteral("5"));
}

void TestLinkSim::portInUseIsNotReady()
{
    SimProcess sim(
        {"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=1", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QSerialPort other;
    other.setPortName(sim.device(1));
    QVERIFY(other.open(QIODevice::ReadWrite));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->ReadRetry = 0;
    sim.clearFrames();
    link->OpenPort(link->ComPort, link->BaudRate);
    QVERIFY(!link->PortReady());
    link->ClosePort();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!link->Receive(1, 138));
    VERIFY_TOOK_TIMEOUTS(clock, 1);
    QCOMPARE(link->lastWriteCount(), 0);
    QCOMPARE(sim.frames(1).size(), 0);
    // Let go by the other program: taken at the next try, 2 s after the refusal.
    other.close();
    QVERIFY(!link->Receive(1, 138) || clock.elapsed() >= 2000);
    QTRY_VERIFY_WITH_TIMEOUT(link->Receive(1, 138), 5000);
    QVERIFY(clock.elapsed() >= 2000 - 100);
}

void TestLinkSim::unconfigurablePortSendsNothing()
{
    SimProcess sim(
        {"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=1", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->DataBits = 9; // no port takes that
    link->ReadRetry = 1;
    link->OpenPort(link->ComPort, link->BaudRate);
    QVERIFY(!link->PortReady());
    link->ClosePort();
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!link->Receive(1, 138));
    QCOMPARE(link->lastAttempts(), 2);
    VERIFY_TOOK_TIMEOUTS(clock, 2);
    QVERIFY(link->lastTally().portError.endsWith(QStringLiteral("line settings refused")));
    link->Send(WriteCommand, 0, 1, 1);
    QCOMPARE(link->lastWriteCount(), 0);
    // Nothing reached the wire.
    QVERIFY(sim.command(QStringLiteral("get 1 1 0")));
    QCOMPARE(sim.frames(1).size(), 0);
}

void TestLinkSim::portNumbersMapToDevices()
{
    QTemporaryDir home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("ports")));
    QVERIFY(QFile::link(QStringLiteral("/dev/null"), home.path() + "/ports/COM4"));
    QVERIFY(QFile::link(home.path() + "/nothing", home.path() + "/ports/COM12"));
    QCOMPARE(comm::portDevice(4, home.path()), home.path() + "/ports/COM4");
    // A link whose device is gone still names the port: it must fail, not fall back.
    QCOMPARE(comm::portDevice(12, home.path()), home.path() + "/ports/COM12");
    QCOMPARE(comm::portDevice(1, home.path()), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(comm::portDevice(10, home.path()), QStringLiteral("/dev/ttyS9"));
    comm::NativeSerialIo io(home.path());
    QVERIFY(!io.open(12, {}));
    QVERIFY(!io.isOpen());
    // Not a terminal: refused.
    QVERIFY(!io.open(4, {}));
    QVERIFY(!io.isOpen());
}

void TestLinkSim::oneDescriptorPerDeviceNoneAfterClose()
{
    SimProcess sim(
        {"--line", "com=1,psl=rtu,converter=rs485", "--station", "com=1,id=1,pv=3", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->ReadRetry = 0;
    const auto openDescriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::System).size();
    };
    const qsizetype before = openDescriptors();
    QVERIFY(sim.command(QStringLiteral("fault 1 1 short")));
    for (int i = 0; i < 20; ++i) {
        link->Receive(1, 138);
        link->Send(WriteCommand, 0, 1, quint16(i));
        link->ComPort = 3 - link->ComPort + 1; // alternate with a port that does not exist
    }
    // Failing replies and a missing port in between: still the one open of the one device.
    QCOMPARE(openDescriptors(), before + 1);
    QCOMPARE(descriptorsOn(sim.device(1)), 1);
    QCOMPARE(sim.opens(1), 1);
    // Our lock file, where minicom and the others look, while the port is open.
    QFile lock(comm::lockFolders().value(0) + QLatin1Char('/') +
               comm::lockFileName(QFileInfo(sim.device(1)).canonicalFilePath()));
    QVERIFY2(lock.open(QIODevice::ReadOnly), qPrintable(lock.fileName()));
    QCOMPARE(comm::lockFileOwner(lock.readAll()), qint64(QCoreApplication::applicationPid()));
    lock.close();
    link->ClosePort();
    QCOMPARE(openDescriptors(), before);
    QTRY_COMPARE(sim.portEvents(1).mid(1), (QStringList{"open", "close"}));
    QVERIFY(!lock.exists());
    // The link ends with the program without a close: its lock file goes all the same.
    link->OpenPort(1, 38400);
    QVERIFY(link->PortReady());
    QVERIFY(lock.exists());
    link.reset();
    QVERIFY(!lock.exists());
}

void TestLinkSim::otherHoldersOfADeviceAreFound()
{
    // The simulator holds its own descriptor on each pty: it is found among the holders, and
    // this process never is, whatever it has open.
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    struct stat st
    {
    };
    QVERIFY(::stat(QFile::encodeName(sim.device(1)).constData(), &st) == 0);
    std::unique_ptr<TRs485Comm> link(makeLink(sim, TPsl::rtu, TConverter::RS485));
    link->OpenPort(1, 38400);
    QVERIFY(link->PortReady()); // on a pty the other end's hold is no refusal
    comm::PosixTtySystem system;
    QCOMPARE(system.holders(QFileInfo(sim.device(1)).canonicalFilePath(), st.st_rdev),
             QList<qint64>{sim.pid()});
}

QTEST_GUILESS_MAIN(TestLinkSim)
#include "tst_link_sim.moc"
