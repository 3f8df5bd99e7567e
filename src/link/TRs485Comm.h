#pragma once

#include "link/LinkTypes.h"
#include "link/SerialIo.h"

#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

// How the attempts of one transaction ended, for the line statistics. Every read attempt ends
// in exactly one of good, timeout, malformed or port error; a write counts as sent or as a
// port error (its answer is not judged).
struct LinkTally
{
    int attempts = 0;
    int good = 0;
    int timeouts = 0;   // nothing came back
    int malformed = 0;  // something came back that is not a valid reply: short, bad CRC or sum
    int portErrors = 0; // the port could not be opened or configured, or failed on the way
    int writesSent = 0;
    QString portError; // "COM3 /dev/ttyUSB2: No such device" when the port failed
};

// The one object through which the program talks to controllers. The engine copies a line's
// settings into the properties before each step, so one object serves all three lines in
// turn. Ports stay open between transactions (see comm::NativeSerialIo); every transaction
// still starts with empty buffers.
class TRs485Comm : public QObject
{
    Q_OBJECT

public:
    explicit TRs485Comm(QObject* owner = nullptr);
    // For tests and tools: a serial facility other than the real ports.
    TRs485Comm(std::unique_ptr<comm::SerialIo> io, QObject* owner = nullptr);
    ~TRs485Comm() override;

    // Line properties. Nothing in the program changes DataBits, StopBits, ParityBits or
    // ReadByteTimeout: every line runs 8 data bits, odd parity, one stop bit.
    int ComPort = 1;
    quint16 BaudRate = 38400;
    int DataBits = 8;
    int StopBits = 1;
    int ParityBits = 1;
    int WriteRetry = 3; // kept for compatibility: a write is always sent exactly once
    int ReadRetry = 3;  // a Receive makes ReadRetry + 1 attempts
    int ReadByteTimeout = 12;
    TConverter Converter = TConverter::RS422_485;
    TPsl Psl = TPsl::veln;

    // One write of a 16-bit value; no reply is read. A station the line's protocol cannot
    // address (see FrameCodec::addressable) is neither written nor read: nothing goes out.
    void Send(TCommand command, TAddress code, int station, quint16 value);
    // One read of a 16-bit value with ReadRetry + 1 attempts; on success ReceivedText holds it.
    bool Receive(int station, TAddress code);

    // Makes `port` the port of the transaction: opened when it is not open yet, configured
    // when its settings changed, both queues emptied.
    void OpenPort(int port, int baud);
    // Closes every port the link holds (the engine's Stop).
    void ClosePort();
    // Closes the ports that none of the lines names any more.
    void keepOnlyPorts(const QList<int>& ports);
    // Closes the open ports that have hung up (an adapter pulled out), without waiting.
    void closeHungUpPorts();

    bool PortReady() const { return m_portReady; }
    QString ReceivedText() const { return m_receivedText; }
    bool SendBusy() const { return m_sendBusy; }
    bool ReceiveBusy() const { return m_receiveBusy; }
    int lastWriteCount() const { return m_lastWriteCount; }
    int lastReadCount() const { return m_lastReadCount; }
    // Attempts made by the last Receive (1 .. ReadRetry + 1).
    int lastAttempts() const { return m_lastAttempts; }
    // How the last transaction's attempts ended.
    const LinkTally& lastTally() const { return m_tally; }

private:
    comm::SerialSettings settingsFor(int baud) const;
    void notePortError();

    std::unique_ptr<comm::SerialIo> m_io;
    // One transaction at a time on the port handles, whatever thread calls.
    std::mutex m_transaction;
    std::atomic<bool> m_sendBusy{false};
    std::atomic<bool> m_receiveBusy{false};
    bool m_portReady = false;
    QString m_receivedText;
    int m_lastWriteCount = 0;
    int m_lastReadCount = 0;
    int m_lastAttempts = 0;
    LinkTally m_tally;
};
