#include "link/TRs485Comm.h"

#include "link/FrameCodec.h"
#include "link/NativeSerialIo.h"

namespace {

// Clears a busy flag on every way out of a transaction.
class BusyScope
{
public:
    explicit BusyScope(std::atomic<bool>& flag) : m_flag(flag) { m_flag = true; }
    ~BusyScope() { m_flag = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    std::atomic<bool>& m_flag;
};

constexpr int WriteMsPerByte = 7;

} // namespace

TRs485Comm::TRs485Comm(QObject* owner) : TRs485Comm(std::make_unique<comm::NativeSerialIo>(), owner)
{
}

TRs485Comm::TRs485Comm(std::unique_ptr<comm::SerialIo> io, QObject* owner)
    : QObject(owner), m_io(std::move(io))
{
}

TRs485Comm::~TRs485Comm()
{
    m_io->close();
}

comm::SerialSettings TRs485Comm::settingsFor(int baud) const
{
    return {baud, DataBits, ParityBits, StopBits, Converter == TConverter::RS422_485};
}

void TRs485Comm::OpenPort(int port, int baud)
{
    m_portReady = m_io->open(port, settingsFor(baud));
}

void TRs485Comm::ClosePort()
{
    std::lock_guard lock(m_transaction);
    m_io->close();
    m_portReady = false;
}

void TRs485Comm::keepOnlyPorts(const QList<int>& ports)
{
    std::lock_guard lock(m_transaction);
    m_io->keepOnly(ports);
}

void TRs485Comm::closeHungUpPorts()
{
    std::lock_guard lock(m_transaction);
    m_io->closeHungUp();
}

void TRs485Comm::notePortError()
{
    ++m_tally.portErrors;
    m_tally.portError = QStringLiteral("COM%1 %2").arg(ComPort).arg(m_io->lastError());
}

void TRs485Comm::Send(TCommand command, TAddress code, int station, quint16 value)
{
    std::lock_guard lock(m_transaction);
    BusyScope busy(m_sendBusy);
    m_tally = {};
    const auto& codec = comm::FrameCodec::forProtocol(Psl);
    const QByteArray frame = codec.writeRequest(command, station, comm::wireAddress(code), value);
    // A station the protocol cannot address would come out as another one, or as the
    // broadcast: nothing goes out, and the port is not even touched.
    if (frame.isEmpty()) {
        m_lastWriteCount = 0;
        return;
    }
    m_tally.attempts = 1;
    OpenPort(ComPort, BaudRate);
    m_lastWriteCount = m_io->write(frame, int(frame.size()) * WriteMsPerByte);
    if (m_lastWriteCount == frame.size())
        ++m_tally.writesSent;
    else
        notePortError();
    // The controller's answer is not used, but it has to be over before the line carries the
    // next request: on a half-duplex bus the two would collide. Whatever comes is discarded
    // (and the next transaction empties the input anyway); a controller that does not answer
    // writes costs one read deadline, and so does a port that is not there.
    const int echo = Converter == TConverter::RS422_485 ? codec.requestLength() : 0;
    const int answer = echo + codec.writeReplyLength();
    m_io->read(answer, answer * ReadByteTimeout);
}

bool TRs485Comm::Receive(int station, TAddress code)
{
    std::lock_guard lock(m_transaction);
    BusyScope busy(m_receiveBusy);
    m_tally = {};
    m_lastAttempts = 0;
    const auto& codec = comm::FrameCodec::forProtocol(Psl);
    const QByteArray request = codec.readRequest(station, code);
    if (request.isEmpty())
        return false; // see Send: an unaddressable station is never put on the wire
    OpenPort(ComPort, BaudRate);
    const comm::ReplyLayout layout = codec.layout(Converter);

    bool ok = false;
    for (int attempt = 0; attempt <= ReadRetry && !ok; ++attempt) {
        // A reply that came too late, or too long, for the previous attempt would shift every
        // later block out of step; nothing left in the input belongs to the request below.
        if (attempt > 0)
            m_io->purgeInput();
        ++m_lastAttempts;
        m_lastWriteCount = m_io->write(request, int(request.size()) * WriteMsPerByte);
        // A port that is not there still costs the read its timeout (the serial facility
        // waits it out), so a dead line is polled at the pace of a silent one.
        const QByteArray block = m_io->read(layout.bytesRead, layout.bytesRead * ReadByteTimeout);
        m_lastReadCount = int(block.size());
        if (const auto value = codec.judgeBlock(Converter, block)) {
            m_receivedText = QString::number(*value);
            ok = true;
            ++m_tally.good;
        } else if (!m_io->isOpen()) {
            notePortError();
        } else if (block.isEmpty()) {
            ++m_tally.timeouts;
        } else {
            ++m_tally.malformed;
        }
    }
    m_tally.attempts = m_lastAttempts;
    return ok;
}
