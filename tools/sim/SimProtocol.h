#pragma once

#include "SimOptions.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// The controller side of the two frame protocols, as pure functions over bytes. Written apart
// from the program's link on purpose: the simulator has to catch the link's mistakes, not
// share them.
namespace sim {

enum class FaultKind { None, Silent, BadCrc, Short, Long, Late, SwapCrc };

struct Fault
{
    FaultKind kind = FaultKind::None;
    int lateMs = 0;
};

enum class Verdict {
    Ok,
    BadCheck,        // CRC or checksum does not match: ignored, as a controller would
    UnknownFunction, // function / command byte the controllers do not know
    Unsupported,     // well formed, but outside the register map (address high byte, count)
};

struct Request
{
    quint8 station = 0;
    bool write = false;
    quint8 code = 0;   // first register
    int count = 1;     // registers asked for (Modbus reads only)
    quint16 value = 0; // value to store (writes)
};

// Bytes of one request frame: requests are fixed length, which is how the stream is cut.
int requestLength(Protocol protocol);

Verdict decodeRequest(Protocol protocol, QByteArrayView frame, Request* request);

QByteArray readReply(Protocol protocol, quint8 station, quint8 code, const QList<quint16>& values);

// The answer to a write: Modbus repeats the request, VELN answers with the stored value.
QByteArray writeReply(Protocol protocol, QByteArrayView request, quint16 storedValue);

// Spoils a correct reply the way the fault describes. Silent and Late leave the bytes alone
// (the line decides whether and when they are sent).
QByteArray applyFault(Protocol protocol, QByteArray reply, FaultKind kind);

quint8 velnSum(QByteArrayView bytes);

} // namespace sim
