#pragma once

#include "link/LinkTypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

namespace comm {

// Where the controller's reply lies in the block a read collects.
struct ReplyLayout
{
    int bytesRead;  // the whole block: echo (if any) plus reply
    int replyStart; // the reply starts after the echoed request
    int replyLength;
};

// One frame protocol: pure functions from arguments to bytes and from bytes to a value.
// No port, no state; the link picks the codec of the line's protocol per transaction.
class FrameCodec
{
public:
    virtual ~FrameCodec() = default;

    // The station IDs the protocol can address. Anything else must never reach the wire: the
    // frame has one byte for it, and Modbus address 0 is the broadcast every controller obeys.
    virtual int lowestStation() const = 0;
    virtual int highestStation() const = 0;
    bool addressable(int station) const
    {
        return station >= lowestStation() && station <= highestStation();
    }
    // The protocol's name as operators know it from the communication settings.
    virtual const char* name() const = 0;

    // Request for one 16-bit register; empty for a station the protocol cannot address.
    virtual QByteArray readRequest(int station, TAddress code) const = 0;
    // Write of one register; `wireCode` is the address byte as it goes out (see wireAddress).
    // Empty for a station the protocol cannot address.
    virtual QByteArray writeRequest(TCommand command, int station, quint8 wireCode,
                                    quint16 value) const = 0;
    virtual int requestLength() const = 0;
    virtual int replyLength() const = 0;
    // What a controller sends back for a write.
    virtual int writeReplyLength() const = 0;
    // The register value of a reply of exactly replyLength() bytes, or nothing when the
    // reply does not check out.
    virtual std::optional<quint16> decodeReply(QByteArrayView reply) const = 0;

    ReplyLayout layout(TConverter converter) const;
    // Judges a whole read block: exact length, echo skipped, reply checked.
    std::optional<qint16> judgeBlock(TConverter converter, QByteArrayView block) const;

    static const FrameCodec& forProtocol(TPsl psl);
};

// Address byte of a write: the controllers keep codes 96..100 and 102..117 two registers
// higher than the catalogue numbers them; 101 and everything else go out unchanged.
quint8 wireAddress(TAddress code);

} // namespace comm
