#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace comm {

// Line settings as the link applies them at every open.
struct SerialSettings
{
    int baud = 38400;
    int dataBits = 8;
    int parity = 1;   // 1 odd, 2 even, anything else none
    int stopBits = 1; // 2 two, anything else one
};

// The serial facility under the link: one open port at a time. The real one sits on
// QSerialPort and the native handle; tests put a scripted line in its place.
class SerialIo
{
public:
    virtual ~SerialIo() = default;

    // Opens port number n for exclusive use and configures it. Returns whether the
    // configuration took (the link's PortReady); a port that cannot be opened at all is
    // not configured either, and every later write and read on it fails.
    virtual bool open(int portNumber, const SerialSettings& settings) = 0;
    virtual bool isOpen() const = 0;
    // Writes the bytes and waits until they have left the wire, at most timeoutMs.
    // Returns how many bytes went out.
    virtual int write(QByteArrayView bytes, int timeoutMs) = 0;
    // Collects up to count bytes until they are all in or timeoutMs has passed, the deadline
    // being taken once at the start.
    virtual QByteArray read(int count, int timeoutMs) = 0;
    // Discards pending input only.
    virtual void purgeInput() = 0;
    // Discards pending input and output, then closes. Safe when nothing is open.
    virtual void close() = 0;
};

// Device behind port number n: <home>/ports/COM<n> when that name exists (normally a symbolic
// link), otherwise /dev/ttyS<n-1>, the way Wine numbers COM ports.
QString portDevice(int portNumber, const QString& home);

} // namespace comm
