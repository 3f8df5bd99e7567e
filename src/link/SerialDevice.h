#pragma once

#include "link/SerialIo.h"
#include "link/TtySystem.h"

#include <QSet>
#include <QString>

#include <linux/serial.h>

namespace comm {

// One serial device held open while polling runs: exclusive use, the line settings, the
// kernel's RS-485 mode and low latency where the driver has them, and what the port had
// before, put back when it is closed. A device that fails (an adapter pulled out, a hang-up)
// is marked gone; its owner closes it and opens the device afresh at the next transaction.
class SerialDevice
{
public:
    SerialDevice(TtySystem& system, QString path);
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the device for exclusive use and takes its lock file; false, with error(), when
    // it is missing, not a serial port, not ours to open, or used by another program.
    bool open();
    // The last open failed on a device that is there (in use, locked, not permitted, not a
    // serial port), as opposed to one that is missing.
    bool refused() const { return m_refused; }
    // Applies the settings unless they are the ones in force, then empties both queues.
    bool startTransaction(const SerialSettings& settings);
    int write(QByteArrayView bytes, qint64 deadlineNs);
    QByteArray read(int count, qint64 deadlineNs);
    void purgeInput();
    // Marks the device gone when its descriptor has hung up or failed, without waiting; for a
    // descriptor that no transaction uses for a while. Returns isGone().
    bool checkHangUp();
    // Restores the RS-485 and low-latency settings the port had, then closes it.
    void close();

    const QString& path() const { return m_path; }
    // The device number, to tell whether a name still leads here.
    dev_t rdev() const { return m_rdev; }
    bool isOpen() const { return m_fd >= 0; }
    // The device failed in a way that only a new open can mend.
    bool isGone() const { return m_gone; }
    QString error() const { return m_error; }

    // Port numbers that have named this device since it was opened.
    QSet<int> ports;

private:
    bool fail(const QString& why);
    bool failErrno(int negErrno);
    void lostDevice(int negErrno);
    bool configure(const SerialSettings& settings);
    bool setUpDirectionControl(bool echo);
    void askLowLatency();
    bool setRts(bool on);
    void waitUntilSent(qint64 lastBitNs, qint64 deadlineNs);
    void releaseLock();

    TtySystem& m_sys;
    QString m_path;
    int m_fd = -1;
    bool m_isPty = false;
    dev_t m_rdev = 0;
    bool m_gone = false;
    bool m_refused = false;
    bool m_lockHeld = false; // our UUCP lock file is in place
    QString m_error;

    bool m_configured = false;
    SerialSettings m_applied;
    qint64 m_charNs = 0;      // one character on the wire
    bool m_manualRts = false; // RTS raised around each write by us

    bool m_hasRs485 = false; // the driver reported its RS-485 settings
    bool m_rs485Set = false; // ... and we changed them
    serial_rs485 m_savedRs485{};
    bool m_lowLatencySet = false;
    serial_struct m_savedSerial{};
};

} // namespace comm
