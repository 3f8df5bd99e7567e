#pragma once

#include "link/SerialIo.h"

namespace comm {

// The real serial facility, on the device's own file handle. Every transaction opens and
// closes the port, up to two hundred times a second, so the open is kept to what it must do:
// exclusive use (TIOCEXCL, and no open while another program holds a live UUCP lock file on
// the device), the line settings judged by reading them back, RS-485 direction control, a
// bounded drain, and reads against one deadline with sub-millisecond resolution.
class NativeSerialIo final : public SerialIo
{
public:
    // `home` empty: the home folder is looked up at every open.
    explicit NativeSerialIo(QString home = {});
    ~NativeSerialIo() override;

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
    int m_fd = -1;
    bool m_isPty = false;
    bool m_manualRts = false; // raise RTS around each write ourselves
    qint64 m_charNs = 0;      // one character on the wire
};

// Whether another living process holds a UUCP lock file ("LCK..ttyS0") for the device.
bool lockedByAnotherProgram(const QString& devicePath);

} // namespace comm
