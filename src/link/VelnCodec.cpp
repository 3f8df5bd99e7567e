#include "link/VelnCodec.h"

#include "link/Crc.h"

namespace comm {

namespace {

constexpr char ReadCommand = 0x52; // ASCII 'R'

QByteArray withChecksum(QByteArray frame)
{
    frame.append(char(velnChecksum(frame)));
    return frame;
}

} // namespace

QByteArray VelnCodec::readRequest(int station, TAddress code) const
{
    if (!addressable(station))
        return {};
    const char body[] = {ReadCommand, char(station & 0xFF), 0x00, char(code), 0x00, 0x00};
    return withChecksum(QByteArray(body, sizeof body));
}

QByteArray VelnCodec::writeRequest(TCommand command, int station, quint8 wireCode,
                                   quint16 value) const
{
    if (!addressable(station))
        return {};
    const char body[] = {char(command),  char(station & 0xFF), 0x00,
                         char(wireCode), char(value >> 8),     char(value & 0xFF)};
    return withChecksum(QByteArray(body, sizeof body));
}

std::optional<quint16> VelnCodec::decodeReply(QByteArrayView reply) const
{
    if (reply.size() != replyLength())
        return std::nullopt;
    // Byte 0 is not covered by the checksum; bytes 1..6 are.
    if (velnChecksum(reply.sliced(1, 6)) != quint8(reply[7]))
        return std::nullopt;
    return quint16((quint8(reply[5]) << 8) | quint8(reply[6]));
}

} // namespace comm
