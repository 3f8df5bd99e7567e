#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace comm {

// CRC-16/MODBUS register after the given bytes (poly 0xA001 reflected, start 0xFFFF).
// On the wire its low byte goes first.
quint16 crc16Modbus(QByteArrayView bytes);

// Sum of the bytes, modulo 256: the VELN frame checksum.
quint8 velnChecksum(QByteArrayView bytes);

} // namespace comm

// The controller maker's form of the Modbus CRC: over the first `count` entries of `bytes`
// (each holding one byte), returned with its two bytes exchanged, (low << 8) | high, so that
// writing the result high byte first puts the CRC on the wire low byte first.
int CRC_checksum(const int* bytes, int count);
