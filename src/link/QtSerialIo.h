#pragma once

#include "link/SerialIo.h"

#include <memory>

class QSerialPort;

namespace comm {

// The real serial facility: QSerialPort opens the device (lock file plus TIOCEXCL, so the
// port is ours alone) and sets speed, data and stop bits; the native handle does what Qt has
// no call for: parity with read-back, RS-485 direction control, the bounded drain, and reads
// against one deadline with sub-millisecond resolution.
class QtSerialIo final : public SerialIo
{
public:
    // `home` empty: the home folder is looked up at every open.
    explicit QtSerialIo(QString home = {});
    ~QtSerialIo() override;

    bool open(int portNumber, const SerialSettings& settings) override;
    bool isOpen() const override { return m_fd >= 0; }
    int write(QByteArrayView bytes, int timeoutMs) override;
    QByteArray read(int count, int timeoutMs) override;
    void purgeInput() override;
    void close() override;

private:
    bool configure(const SerialSettings& settings);
    bool setUpDirectionControl();
    void setRts(bool on);
    bool waitUntilSent(qint64 deadlineNs);

    QString m_home;
    std::unique_ptr<QSerialPort> m_port;
    int m_fd = -1;
    bool m_isPty = false;
    bool m_manualRts = false; // raise RTS around each write ourselves
    qint64 m_charNs = 0;      // one character on the wire
};

} // namespace comm
