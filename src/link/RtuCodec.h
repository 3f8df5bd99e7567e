#pragma once

#include "link/FrameCodec.h"

namespace comm {

// Modbus RTU: function 03 reads one holding register, function 06 writes one.
class RtuCodec final : public FrameCodec
{
public:
    int lowestStation() const override { return 1; }
    int highestStation() const override { return 247; }
    const char* name() const override { return "Modbus RTU"; }
    QByteArray readRequest(int station, TAddress code) const override;
    QByteArray writeRequest(TCommand command, int station, quint8 wireCode,
                            quint16 value) const override;
    int requestLength() const override { return 8; }
    int replyLength() const override { return 7; }
    int writeReplyLength() const override { return 8; } // function 06 echoes the request
    std::optional<quint16> decodeReply(QByteArrayView reply) const override;
};

} // namespace comm
