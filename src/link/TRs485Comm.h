#pragma once

#include "link/LinkTypes.h"
#include "link/SerialIo.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>

// The one object through which the program talks to controllers. Every transaction opens
// the port, exchanges its frames and closes the port again, so one object serves all three
// lines in turn: the engine copies a line's settings into the properties before each step.
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

    // One write of a 16-bit value; no reply is read.
    void Send(TCommand command, TAddress code, int station, quint16 value);
    // One read of a 16-bit value with ReadRetry + 1 attempts; on success ReceivedText holds it.
    bool Receive(int station, TAddress code);

    void OpenPort(int port, int baud);
    void ClosePort();

    bool PortReady() const { return m_portReady; }
    QString ReceivedText() const { return m_receivedText; }
    bool SendBusy() const { return m_sendBusy; }
    bool ReceiveBusy() const { return m_receiveBusy; }
    int lastWriteCount() const { return m_lastWriteCount; }
    int lastReadCount() const { return m_lastReadCount; }
    // Attempts made by the last Receive (1 .. ReadRetry + 1).
    int lastAttempts() const { return m_lastAttempts; }

private:
    comm::SerialSettings settingsFor(int baud) const;

    std::unique_ptr<comm::SerialIo> m_io;
    // One transaction at a time on the one port handle, whatever thread calls.
    std::mutex m_transaction;
    std::atomic<bool> m_sendBusy{false};
    std::atomic<bool> m_receiveBusy{false};
    bool m_portReady = false;
    QString m_receivedText;
    int m_lastWriteCount = 0;
    int m_lastReadCount = 0;
    int m_lastAttempts = 0;
};
