// Our Modbus against implementations nobody here wrote: the link reading and writing the
// holding registers of a pymodbus server, and libmodbus' mbpoll polling the simulator. What
// passes here does not depend on our own idea of the protocol.
#include "PymodbusPeer.h"
#include "SimProcess.h"
#include "link/FrameCodec.h"
#include "link/NativeSerialIo.h"
#include "link/TRs485Comm.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {

constexpr int PeerUnit = 17;
constexpr int PeerRegisterCount = 240; // codes 240..255 get an exception reply
constexpr int SimStation = 12;

// Registers of the pymodbus server. Every register a test reads has neighbours with other
// values, so an address off by one reads a wrong number instead of a lucky right one.
const QMap<int, int> PeerRegisters = {
    {0, 0xFFFB}, {1, 11},     {71, 5},  {72, 0x8000}, {73, 6},
    {137, 1},    {138, 1234}, {139, 2}, {238, 4},     {239, 0x7FFF},
};

QString mbpollProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
}

struct MbpollRun
{
    int exitCode = -1;
    QString output;
};

MbpollRun runMbpoll(const QString& device, const QString& parity, int reg,
                    const QStringList& writeValues = {})
{
    QProcess process;
    process.start(mbpollProgram(),
                  QStringList{"-m", "rtu", "-0", "-1", "-a", QString::number(SimStation), "-r",
                              QString::number(reg), "-b", "38400", "-P", parity, "-o", "1",
                              device} +
                      writeValues);
    MbpollRun run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output =
        QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
    return run;
}

// "[138]: \t250" -> 250, "[138]: \t65499 (-37)" -> 65499; nothing when the register is not
// in the output.
std::optional<int> printedValue(const QString& output, int reg)
{
    const QRegularExpression line(
        QStringLiteral("^\\[%1\\]:\\s+(\\d+)(\\s+\\(-\\d+\\))?\\s*$").arg(reg),
        QRegularExpression::MultilineOption);
    const auto m = line.match(output);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt();
}

QString signedText(int raw)
{
    return QString::number(qint16(quint16(raw)));
}

} // namespace

// Skips where a tool is missing; fails where the peer is installed but will not come up.
#define REQUIRE_PEER()                                                                             \
    do {                                                                                           \
        QString reason;                                                                            \
        if (!peerReady(&reason)) {                                                                 \
            if (!m_peerMissing.isEmpty())                                                          \
                QSKIP(qPrintable(reason));                                                         \
            QFAIL(qPrintable(reason));                                                             \
        }                                                                                          \
    } while (false)

class TestInterop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanupTestCase();
    void receiveReadsPymodbusRegisters_data();
    void receiveReadsPymodbusRegisters();
    void sendWritesPymodbusRegister_data();
    void sendWritesPymodbusRegister();
    void exceptionReplyFailsTheReadAndLeavesNothingBehind();
    void mbpollReadsSimulatorRegister_data();
    void mbpollReadsSimulatorRegister();
    void mbpollWritesSimulatorRegister();

private:
    // Starts the pymodbus peer on first use and keeps it for the following tests; false with
    // a skip reason when it cannot run here.
    bool peerReady(QString* reason);
    std::unique_ptr<TRs485Comm> peerLink();

    QTemporaryDir m_home;
    std::unique_ptr<PymodbusPeer> m_peer;
    QString m_peerMissing;
};

bool TestInterop::peerReady(QString* reason)
{
    if (!m_peer && m_peerMissing.isEmpty()) {
        m_peerMissing = PymodbusPeer::missingTool();
        if (m_peerMissing.isEmpty()) {
            auto peer = std::make_unique<PymodbusPeer>(m_home.path(), PeerUnit, PeerRegisterCount,
                                                       PeerRegisters);
            if (!peer->start()) {
                *reason = peer->errorString();
                return false; // a fault, not a missing tool: the caller fails
            }
            m_peer = std::move(peer);
        }
    }
    *reason = m_peerMissing;
    return m_peer != nullptr;
}

std::unique_ptr<TRs485Comm> TestInterop::peerLink()
{
    auto link = std::make_unique<TRs485Comm>(std::make_unique<comm::NativeSerialIo>(m_home.path()));
    link->ComPort = 1;
    link->BaudRate = 38400;
    link->Psl = TPsl::rtu;
    link->Converter = TConverter::RS485;
    link->ReadRetry = 3;
    return link;
}

void TestInterop::cleanupTestCase()
{
    m_peer.reset();
}

void TestInterop::receiveReadsPymodbusRegisters_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("PV 138") << 138 << "1234";
    QTest::newRow("SV 0, negative") << 0 << "-5";
    QTest::newRow("72 holding 0x8000") << 72 << "-32768";
    QTest::newRow("239, the last register") << 239 << "32767";
}

void TestInterop::receiveReadsPymodbusRegisters()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    REQUIRE_PEER();
    const auto link = peerLink();
    QVERIFY(link->Receive(PeerUnit, TAddress(code)));
    QCOMPARE(link->ReceivedText(), text);
    QCOMPARE(link->lastAttempts(), 1);
}

void TestInterop::sendWritesPymodbusRegister_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("wireRegister");
    QTest::addColumn<int>("value");
    QTest::newRow("code 5 as it stands") << 5 << 5 << 321;
    QTest::newRow("code 96 lands on 98") << 96 << 98 << 3;
    QTest::newRow("code 101 stays 101") << 101 << 101 << 7;
    QTest::newRow("code 117 lands on 119") << 117 << 119 << 1500;
    QTest::newRow("negative value, two's complement") << 6 << 6 << 0xFFFB;
}

void TestInterop::sendWritesPymodbusRegister()
{
    QFETCH(int, code);
    QFETCH(int, wireRegister);
    QFETCH(int, value);
    REQUIRE_PEER();
    const int untouched = m_peer->registerValue(code);
    const auto link = peerLink();
    link->Send(WriteCommand, TAddress(code), PeerUnit, quint16(value));
    QCOMPARE(link->lastWriteCount(), 8);

    // Through the server's own datastore ...
    QCOMPARE(m_peer->registerValue(wireRegister), value);
    if (wireRegister != code)
        QCOMPARE(m_peer->registerValue(code), untouched);
    // ... and back over the line: the server's write answer was not taken for this reply.
    QVERIFY(link->Receive(PeerUnit, TAddress(wireRegister)));
    QCOMPARE(link->ReceivedText(), signedText(value));
    QCOMPARE(link->lastAttempts(), 1);
}

void TestInterop::exceptionReplyFailsTheReadAndLeavesNothingBehind()
{
    REQUIRE_PEER();
    const auto link = peerLink();
    QVERIFY(link->Receive(PeerUnit, 138));
    // A register the server does not have: it answers "illegal data address", 5 bytes where
    // a value takes 7. Every attempt gets that answer and fails; the last good text stays.
    link->ReadRetry = 1;
    QVERIFY(!link->Receive(PeerUnit, TAddress(PeerRegisterCount + 10)));
    QCOMPARE(link->lastAttempts(), 2);
    QCOMPARE(link->lastReadCount(), 5);
    QCOMPARE(link->ReceivedText(), QStringLiteral("1234"));
    // Nothing of the exception is left to shift the next reply.
    QVERIFY(link->Receive(PeerUnit, 139));
    QCOMPARE(link->ReceivedText(), QStringLiteral("2"));
    QCOMPARE(link->lastAttempts(), 1);
}

void TestInterop::mbpollReadsSimulatorRegister_data()
{
    QTest::addColumn<QString>("parity");
    QTest::addColumn<int>("reg");
    QTest::newRow("PV, no parity") << "none" << 138;
    QTest::newRow("SV, negative, no parity") << "none" << 0;
    QTest::newRow("register 200, no parity") << "none" << 200;
    // The program's lines run odd parity; a pty has none to set, and libmodbus copes.
    QTest::newRow("PV, odd parity") << "odd" << 138;
}

void TestInterop::mbpollReadsSimulatorRegister()
{
    QFETCH(QString, parity);
    QFETCH(int, reg);
    if (mbpollProgram().isEmpty())
        QSKIP("mbpoll is not installed");
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--station",
                    QStringLiteral("com=1,id=%1,pv=-37,sv=-5,reg200=4321").arg(SimStation),
                    "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    QString answer;
    QVERIFY(sim.command(QStringLiteral("get 1 %1 %2").arg(SimStation).arg(reg), &answer));
    QVERIFY(answer.startsWith(QLatin1String("value ")));
    const int simValue = answer.mid(6).toInt();

    const MbpollRun run = runMbpoll(sim.portLink(1), parity, reg);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    const auto printed = printedValue(run.output, reg);
    QVERIFY2(printed, qPrintable(run.output));
    // mbpoll shows the register unsigned (a negative one with its signed form after it); the
    // simulator answers signed: the bit pattern is what must agree.
    QCOMPARE(*printed, int(quint16(simValue)));
    // libmodbus asks exactly what our link asks for the same read.
    QVERIFY(sim.waitForFrames(1, 1, 2000));
    const QByteArray ours =
        comm::FrameCodec::forProtocol(TPsl::rtu).readRequest(SimStation, TAddress(reg));
    QCOMPARE(sim.frames(1).value(0), QString::fromLatin1(ours.toHex()));
}

void TestInterop::mbpollWritesSimulatorRegister()
{
    if (mbpollProgram().isEmpty())
        QSKIP("mbpoll is not installed");
    SimProcess sim({"--line", "com=1,psl=rtu,converter=rs485", "--station",
                    QStringLiteral("com=1,id=%1").arg(SimStation), "--frozen"});
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const MbpollRun run = runMbpoll(sim.portLink(1), QStringLiteral("none"), 5, {"321"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QString answer;
    QVERIFY(sim.command(QStringLiteral("get 1 %1 5").arg(SimStation), &answer));
    QCOMPARE(answer, QStringLiteral("value 321"));
    // A single-register write (function 6), byte for byte the frame our link sends.
    QVERIFY(sim.waitForFrames(1, 1, 2000));
    const QByteArray ours =
        comm::FrameCodec::forProtocol(TPsl::rtu).writeRequest(WriteCommand, SimStation, 5, 321);
    QCOMPARE(sim.frames(1).value(0), QString::fromLatin1(ours.toHex()));
}

QTEST_GUILESS_MAIN(TestInterop)
#include "tst_interop.moc"
