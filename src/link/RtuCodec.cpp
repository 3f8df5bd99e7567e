#include "link/RtuCodec.h"

#include "link/Crc.h"

namespace comm {

namespace {

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc = crc16Modbus(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
    return frame;
}

} // namespace

QByteArray RtuCodec::readRequest(int station, TAddress code) const
{
    if (!addressable(station))
        return {};
    const char body[] = {char(station & 0xFF), 0x03, 0x00, char(code), 0x00, 0x01};
    return withCrc(QByteArray(body, sizeof body));
}

QByteArray RtuCodec::writeRequest(TCommand, int station, quint8 wireCode, quint16 value) const
{
    if (!addressable(station))
        return {};
    const char body[] = {char(station & 0xFF), 0x06, 0x00, char(wireCode), char(value >> 8),
                         char(value & 0xFF)};
    return withCrc(QByteArray(body, sizeof body));
}

std::optional<quint16> RtuCodec::decodeReply(QByteArrayView reply) const
{
    if (reply.size() != replyLength())
        return std::nullopt;
    const quint16 crc = crc16Modbus(reply.first(5));
    const quint8 lo = quint8(reply[5]);
    const quint8 hi = quint8(reply[6]);
    // Some controllers send the CRC high byte first; both orders are taken, but each byte has
    // to match (comparing only the sum of the two would let one corrupted reply in 256 pass).
    const bool inOrder = lo == (crc & 0xFF) && hi == (crc >> 8);
    const bool swapped = hi == (crc & 0xFF) && lo == (crc >> 8);
    if (!inOrder && !swapped)
        return std::nullopt;
    return quint16((quint8(reply[3]) << 8) | quint8(reply[4]));
}

} // namespace comm
