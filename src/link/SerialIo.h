#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

namespace comm {

// Line settings as the link applies them.
struct SerialSettings
{
    int baud = 38400;
    int dataBits = 8;
    int parity = 1;    // 1 odd, 2 even, anything else none
    int stopBits = 1;  // 2 two, anything else one
    bool echo = false; // the line hands our request back (4-wire converter): keep the receiver on

    bool operator==(const SerialSettings&) const = default;
};

// The serial facility under the link. Ports stay open between transactions, one descriptor
// per device; the real one sits on the device's native handle, tests put a scripted line in
// its place.
class SerialIo
{
public:
    virtual ~SerialIo() = default;

    // Starts a transaction on port number n: opens the port for exclusive use when it is not
    // open yet, applies the settings when they differ from those it has, and empties both
    // queues so that nothing of an earlier exchange can be taken for a reply. Returns whether
    // the port is ready (the link's PortReady); on a port that is not, every write and read of
    // the transaction fails, and a read still takes its whole timeout.
    virtual bool open(int portNumber, const SerialSettings& settings) = 0;
    // Whether the transaction's port is (still) usable.
    virtual bool isOpen() const = 0;
    // Writes the bytes and waits until they have left the wire, at most timeoutMs.
    // Returns how many bytes went out.
    virtual int write(QByteArrayView bytes, int timeoutMs) = 0;
    // Collects up to count bytes until they are all in or timeoutMs has passed, the deadline
    // being taken once at the start. Returns early only with all the bytes: a port that fails
    // or is not there costs the whole timeout, as a silent line does.
    virtual QByteArray read(int count, int timeoutMs) = 0;
    // Discards pending input only.
    virtual void purgeInput() = 0;
    // Closes the ports that none of these port numbers names any more.
    virtual void keepOnly(const QList<int>& portNumbers) = 0;
    // Discards pending input and output of every open port and closes them all. Safe when
    // nothing is open.
    virtual void close() = 0;
    // Closes, without waiting, the open ports that have hung up or failed: a port that no
    // transaction uses (every controller of its line lost) would otherwise keep a pulled
    // adapter's device, and its name, taken.
    virtual void closeHungUp() {}
    // Why the last open failed or the port went away: "/dev/ttyUSB2: No such device".
    virtual QString lastError() const = 0;
};

// Device behind port number n: <home>/ports/COM<n> when that name exists (normally a symbolic
// link), otherwise /dev/ttyS<n-1>, the way Wine numbers COM ports.
QString portDevice(int portNumber, const QString& home);

} // namespace comm
