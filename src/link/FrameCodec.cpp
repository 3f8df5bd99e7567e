#include "link/FrameCodec.h"

#include "link/RtuCodec.h"
#include "link/VelnCodec.h"

namespace comm {

ReplyLayout FrameCodec::layout(TConverter converter) const
{
    const int echo = converter == TConverter::RS422_485 ? requestLength() : 0;
    return {echo + replyLength(), echo, replyLength()};
}

std::optional<qint16> FrameCodec::judgeBlock(TConverter converter, QByteArrayView block) const
{
    const ReplyLayout l = layout(converter);
    if (block.size() != l.bytesRead)
        return std::nullopt;
    const auto raw = decodeReply(block.sliced(l.replyStart, l.replyLength));
    if (!raw)
        return std::nullopt;
    return qint16(*raw); // two's complement: 0xFFFB is -5
}

const FrameCodec& FrameCodec::forProtocol(TPsl psl)
{
    static const RtuCodec rtu;
    static const VelnCodec veln;
    return psl == TPsl::rtu ? static_cast<const FrameCodec&>(rtu) : veln;
}

quint8 wireAddress(TAddress code)
{
    if ((code >= 96 && code <= 100) || (code >= 102 && code <= 117))
        return quint8(code + 2);
    return code;
}

} // namespace comm
