// Reply decoding of both protocols, with and without the converter's echo: the first byte
// picks the protocol and converter, the rest is what the line delivered.
#include "link/FrameCodec.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const auto psl = (data[0] & 1) ? TPsl::veln : TPsl::rtu;
    const auto converter = (data[0] & 2) ? TConverter::RS485 : TConverter::RS422_485;
    const comm::FrameCodec& codec = comm::FrameCodec::forProtocol(psl);
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    codec.decodeReply(bytes);
    const auto value = codec.judgeBlock(converter, bytes);
    const comm::ReplyLayout layout = codec.layout(converter);
    // A block only checks out at its exact length.
    if (value && bytes.size() != layout.bytesRead)
        abort();
    return 0;
}
