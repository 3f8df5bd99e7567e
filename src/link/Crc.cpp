#include "link/Crc.h"

#include <QByteArray>

namespace comm {

quint16 crc16Modbus(QByteArrayView bytes)
{
    quint16 crc = 0xFFFF;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    return crc;
}

quint8 velnChecksum(QByteArrayView bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum = quint8(sum + quint8(c));
    return sum;
}

} // namespace comm

int CRC_checksum(const int* bytes, int count)
{
    QByteArray raw;
    raw.reserve(qMax(count, 0));
    for (int i = 0; i < count; ++i)
        raw.append(char(bytes[i] & 0xFF));
    const quint16 crc = comm::crc16Modbus(raw);
    return ((crc & 0xFF) << 8) | (crc >> 8);
}
