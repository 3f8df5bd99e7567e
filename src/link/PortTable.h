#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace comm {

// A serial device the system knows.
struct SystemSerialDevice
{
    QString path; // /dev/ttyUSB0
    bool usb = false;
};

// One (device name, port name) pair of the port search.
struct PortTableEntry
{
    QString deviceName; // what the operator should recognise: the stable by-id name if any
    QString portName;   // "COM5"; empty when no port number reaches the device
    bool usb = false;
};

// The system's serial devices (QSerialPortInfo).
QList<SystemSerialDevice> systemSerialDevices();

// The pairs the port search lists: first the links <home>/ports/COM<n> in port order, then
// the system's devices that no link names, /dev/ttyS<k> as COM<k+1> (unless a link took that
// number) and any other device without a port name. A device that has a /dev/serial/by-id
// name is shown by it, since that name survives re-plugging.
QList<PortTableEntry> portTable(const QString& home, const QList<SystemSerialDevice>& system,
                                const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The port search's line for an entry, or nothing when its port name does not pass the
// filter (the fourth character must be a digit 1..9: "COM1".."COM9", "COM10", never "COM0").
std::optional<QString> portSearchLine(const PortTableEntry& entry);

} // namespace comm
