#pragma once

#include "link/SerialDevice.h"
#include "link/SerialIo.h"
#include "link/TtySystem.h"

#include <memory>
#include <vector>

namespace comm {

// The real serial facility, on the devices' own file handles. Closing a port is not free on
// real adapters (drivers with a FIFO sleep 100 ms or more on the last close, and it drops
// DTR/RTS), so each device stays open from its first transaction until the link closes it, a
// line moves to another device, or the device fails; two port numbers that name the same
// device share its descriptor. A transaction that finds its device gone opens it again, so an
// adapter plugged back in is polled again by itself. A port that cannot be used costs every
// read its whole timeout, like a silent controller: a dead line never spins. A device that
// refuses us (in use, locked, not permitted) is tried again at most every 2 s, so that polling
// neither repeats the look through every process's descriptors nor keeps raising the modem
// lines of another program's port.
class NativeSerialIo final : public SerialIo
{
public:
    // `home` empty: the home folder is looked up at every transaction. `system` empty: the
    // system's own calls.
    explicit NativeSerialIo(QString home = {}, std::unique_ptr<TtySystem> system = {});
    ~NativeSerialIo() override;

    bool open(int portNumber, const SerialSettings& settings) override;
    bool isOpen() const override { return m_current != nullptr; }
    int write(QByteArrayView bytes, int timeoutMs) override;
    QByteArray read(int count, int timeoutMs) override;
    void purgeInput() override;
    void keepOnly(const QList<int>& portNumbers) override;
    void close() override;
    void closeHungUp() override;
    QString lastError() const override { return m_error; }

    // Devices held open now (for tests and the statistics window).
    int openDevices() const { return int(m_devices.size()); }

private:
    // A port number's link (<home>/ports/COM<n>) as last resolved, and the device it led to.
    struct Resolved
    {
        int portNumber = 0;
        QString home;
        QByteArray link;
        SerialDevice* device = nullptr;
    };

    SerialDevice* find(const QString& path) const;
    // The device port n's link led to at its last transaction, when it still leads there.
    SerialDevice* stillLinked(int portNumber, const QString& home);
    void drop(SerialDevice* device);
    // The current device failed: closed now, opened again at the next transaction.
    void dropIfGone();

    // A device that refused us, and when.
    struct Refusal
    {
        QString path;
        qint64 atNs = 0;
        QString error;
    };
    const Refusal* recentRefusal(const QString& path);
    void noteRefusal(const QString& path, const QString& error);

    QString m_home;
    std::unique_ptr<TtySystem> m_system;
    std::vector<std::unique_ptr<SerialDevice>> m_devices;
    std::vector<Resolved> m_resolved;
    std::vector<Refusal> m_refusals;
    SerialDevice* m_current = nullptr;
    QString m_error;
};

} // namespace comm
