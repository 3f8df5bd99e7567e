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
    return {baud, DataBits, ParityBits, StopBits};
}

void TRs485Comm::OpenPort(int port, int baud)
{
    m_portReady = m_io->open(port, settingsFor(baud));
    // A port that would not take its settings talks at the wrong speed or framing; it is not
    // used at all, so the transaction's writes and reads fail cleanly.
    if (!m_portReady)
        m_io->close();
}

void TRs485Comm::ClosePort()
{
    m_io->close();
    m_portReady = false;
}

void TRs485Comm::Send(TCommand command, TAddress code, int station, quint16 value)
{
    std::lock_guard lock(m_transaction);
    BusyScope busy(m_sendBusy);
    OpenPort(ComPort, BaudRate);
    const auto& codec = comm::FrameCodec::forProtocol(Psl);
    const QByteArray frame = codec.writeRequest(command, station, comm::wireAddress(code), value);
    m_lastWriteCount = m_io->write(frame, int(frame.size()) * WriteMsPerByte);
    // The controller's answer is not used, but it has to be over before the line carries the
    // next request: on a half-duplex bus the two would collide, and an answer arriving after
    // the next open would be taken for the reply to the next read (a VELN write answer looks
    // like a read reply of the written value). Whatever comes is discarded; a controller that
    // does not answer writes costs one read deadline.
    if (m_lastWriteCount == frame.size()) {
        const int echo = Converter == TConverter::RS422_485 ? codec.requestLength() : 0;
        const int answer = echo + codec.writeReplyLength();
        m_io->read(answer, answer * ReadByteTimeout);
    }
    ClosePort();
}

bool TRs485Comm::Receive(int station, TAddress code)
{
    std::lock_guard lock(m_transaction);
    BusyScope busy(m_receiveBusy);
    OpenPort(ComPort, BaudRate);
    const auto& codec = comm::FrameCodec::forProtocol(Psl);
    const QByteArray request = codec.readRequest(station, code);
    const comm::ReplyLayout layout = codec.layout(Converter);

    bool ok = false;
    m_lastAttempts = 0;
    for (int attempt = 0; attempt <= ReadRetry && !ok; ++attempt) {
        // A reply that came too late, or too long, for the previous attempt would shift every
        // later block out of step; nothing left in the input belongs to the request below.
        if (attempt > 0)
            m_io->purgeInput();
        ++m_lastAttempts;
        m_lastWriteCount = m_io->write(request, int(request.size()) * WriteMsPerByte);
        const QByteArray block = m_io->read(layout.bytesRead, layout.bytesRead * ReadByteTimeout);
        m_lastReadCount = int(block.size());
        if (const auto value = codec.judgeBlock(Converter, block)) {
            m_receivedText = QString::number(*value);
            ok = true;
        }
    }
    ClosePort();
    return ok;
}
