#pragma once

#include "link/FrameCodec.h"

namespace comm {

// VELN, the controllers' own short frames: 'R'/'W', station, 0, code, value, checksum.
class VelnCodec final : public FrameCodec
{
public:
    int lowestStation() const override { return 0; }
    int highestStation() const override { return 255; }
    const char* name() const override { return "VELN"; }
    QByteArray readRequest(int station, TAddress code) const override;
    QByteArray writeRequest(TCommand command, int station, quint8 wireCode,
                            quint16 value) const override;
    int requestLength() const override { return 7; }
    int replyLength() const override { return 8; }
    int writeReplyLength() const override { return 8; }
    std::optional<quint16> decodeReply(QByteArrayView reply) const override;
};

} // namespace comm
