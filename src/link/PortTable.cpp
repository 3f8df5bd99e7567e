#include "link/PortTable.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace comm {

namespace {

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

// Device -> its stable name, for every link in the by-id folder.
QHash<QString, QString> byIdNames(const QString& folder)
{
    QHash<QString, QString> names;
    const QDir dir(folder);
    for (const QFileInfo& link : dir.entryInfoList(QDir::System | QDir::Files, QDir::Name))
        names.insert(canonical(link.absoluteFilePath()), link.absoluteFilePath());
    return names;
}

} // namespace

QList<SystemSerialDevice> systemSerialDevices()
{
    QList<SystemSerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        devices.append({info.systemLocation(), info.hasVendorIdentifier()});
    return devices;
}

QList<PortTableEntry> portTable(const QString& home, const QList<SystemSerialDevice>& system,
                                const QString& byIdFolder)
{
    const QHash<QString, QString> stable = byIdNames(byIdFolder);
    QHash<QString, bool> usbByDevice;
    for (const SystemSerialDevice& device : system)
        usbByDevice.insert(canonical(device.path), device.usb);

    QList<PortTableEntry> entries;
    QList<QString> linked; // canonical devices reached through a link
    QList<int> takenNumbers;

    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"));
    QList<QPair<int, QFileInfo>> links;
    const QDir ports(home + QStringLiteral("/ports"));
    for (const QFileInfo& file : ports.entryInfoList(QDir::System | QDir::Files)) {
        const auto match = comName.match(file.fileName());
        if (match.hasMatch())
            links.append({match.captured(1).toInt(), file});
    }
    std::sort(links.begin(), links.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [number, file] : links) {
        const QString target = file.isSymLink() ? file.symLinkTarget() : file.absoluteFilePath();
        const QString device = canonical(target);
        entries.append({stable.value(device, target), QStringLiteral("COM%1").arg(number),
                        usbByDevice.value(device, false)});
        linked.append(device);
        takenNumbers.append(number);
    }

    static const QRegularExpression ttyS(QStringLiteral("^/dev/ttyS([0-9]+)$"));
    for (const SystemSerialDevice& device : system) {
        const QString path = canonical(device.path);
        if (linked.contains(path))
            continue;
        PortTableEntry entry{stable.value(path, device.path), {}, device.usb};
        const auto match = ttyS.match(device.path);
        if (match.hasMatch()) {
            const int number = match.captured(1).toInt() + 1;
            if (!takenNumbers.contains(number))
                entry.portName = QStringLiteral("COM%1").arg(number);
        }
        entries.append(entry);
    }
    return entries;
}

std::optional<QString> portSearchLine(const PortTableEntry& entry)
{
    const QString& port = entry.portName;
    const int number = port.size() >= 4 && port[3].isDigit() ? port[3].digitValue() : 0;
    if (number < 1 || number > 255)
        return std::nullopt;
    if (entry.usb)
        return port + QLatin1Char(' ') + entry.deviceName + QStringLiteral("====>") + port +
               QStringLiteral(" ComPort USB Port ");
    return port + QLatin1Char(' ') + entry.deviceName;
}

} // namespace comm
