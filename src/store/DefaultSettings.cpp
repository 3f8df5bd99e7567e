#include "store/DefaultSettings.h"

namespace store {
namespace {

const QString Monitors = QStringLiteral("ABC");

RegistryValue text(const QString& name, const QString& value)
{
    RegistryValue v;
    v.name = name;
    v.kind = RegistryValue::Text;
    v.text = value;
    return v;
}

RegistryValue integer(const QString& name, qint32 value)
{
    RegistryValue v;
    v.name = name;
    v.kind = RegistryValue::Integer;
    v.integer = value;
    return v;
}

RegistryKey programKeyAt(const QString& name)
{
    return RegistryKey{QStringLiteral("HKEY_LOCAL_MACHINE\\") + programKey(name), {}};
}

// Tiles number themselves so that a fresh installation shows which tile is which; the station
// IDs count on across the Monitors so that no two lines start with the same addresses.
RegistryKey homeKey()
{
    RegistryKey key = programKeyAt(QStringLiteral("FmHome"));
    key.values << text(QStringLiteral("HmTitle"),
                       QStringLiteral("Please enter Ctrl+A change of company name"));
    for (int n = 1; n <= 10; ++n) {
        const QString slot = QString::number(n);
        const QString title = QStringLiteral("溫控點 %1").arg(n, 2, 10, QChar(u'0'));
        for (QChar m : Monitors)
            key.values << text(QStringLiteral("UnitTitle") + m + u'_' + slot, title);
        for (int i = 0; i < Monitors.size(); ++i)
            key.values << text(QStringLiteral("ID") + Monitors[i] + u'_' + slot,
                               QString::number(10 * i + n));
        for (QChar m : Monitors)
            key.values << text(QStringLiteral("Recipe") + m + u'_' + slot, QStringLiteral("100"));
    }
    return key;
}

// Ports COM1..COM3 at 9600 baud (item 2), Modbus RTU (item 1).
RegistryKey commKey()
{
    RegistryKey key = programKeyAt(QStringLiteral("FmCommSetting"));
    key.values << integer(QStringLiteral("ScanAll"), 0) << integer(QStringLiteral("Converter"), 0)
               << integer(QStringLiteral("Psl"), 1);
    for (int i = 0; i < Monitors.size(); ++i)
        key.values << integer(QStringLiteral("COM") + Monitors[i], i);
    for (QChar m : Monitors)
        key.values << text(QStringLiteral("BPS") + m, QStringLiteral("2"));
    key.values << text(QStringLiteral("Title"), QStringLiteral("Quillmere 8.21"));
    return key;
}

RegistryKey chartKey()
{
    RegistryKey key = programKeyAt(QStringLiteral("FmChartSetting"));
    const auto perMonitor = [&](const QString& prefix, const RegistryValue& value) {
        for (QChar m : Monitors) {
            RegistryValue v = value;
            v.name = prefix + m;
            key.values << v;
        }
    };
    perMonitor(QStringLiteral("RdoAuto"), integer({}, 1));
    perMonitor(QStringLiteral("RdoLimit"), integer({}, 0));
    perMonitor(QStringLiteral("TxtYmin"), text({}, QStringLiteral("0")));
    perMonitor(QStringLiteral("TxtYmax"), text({}, QStringLiteral("100")));
    perMonitor(QStringLiteral("Chk3D"), integer({}, 0));
    for (int n = 1; n <= 3; ++n)
        key.values << integer(QStringLiteral("ChkSV") + QString::number(n), 1);
    key.values << text(QStringLiteral("TxtChtSample"), QStringLiteral("1"));
    for (QChar m : Monitors)
        key.values << text(QStringLiteral("TxtCht") + m + QStringLiteral("Max"),
                           QStringLiteral("600"));
    return key;
}

RegistryKey recordKey(const QString& home)
{
    RegistryKey key = programKeyAt(QStringLiteral("FmRecord"));
    key.values << integer(QStringLiteral("ChkSave"), 0)
               << integer(QStringLiteral("TxtSampleTime"), 10)
               << integer(QStringLiteral("CboSampleUnit"), 0)
               << integer(QStringLiteral("CboSaveUnit"), 0)
               << integer(QStringLiteral("CboFileType"), 0)
               << text(QStringLiteral("TxtFilePath"), home + QStringLiteral("/Quillmere Data"));
    return key;
}

} // namespace

QList<RegistryKey> defaultSettings(const QString& home)
{
    return {homeKey(), commKey(), chartKey(), recordKey(home)};
}

} // namespace store
