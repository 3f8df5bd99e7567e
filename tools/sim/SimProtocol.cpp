#include "SimProtocol.h"

#include "link/Crc.h"

namespace sim {

namespace {

constexpr quint8 RtuRead = 0x03;
constexpr quint8 RtuWrite = 0x06;
constexpr quint8 VelnRead = 0x52;  // 'R'
constexpr quint8 VelnWrite = 0x57; // 'W'
constexpr int RegisterCount = 256;

quint8 at(QByteArrayView b, qsizetype i)
{
    return quint8(b[i]);
}

void appendCrc(QByteArray& frame)
{
    const quint16 crc = comm::crc16Modbus(frame);
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

QByteArray velnReply(quint8 command, quint8 station, quint8 code, quint16 value)
{
    QByteArray r;
    r.append(char(command));
    r.append(char(station));
    r.append(char(0));
    r.append(char(code));
    r.append(char(0));
    r.append(char(value >> 8));
    r.append(char(value & 0xFF));
    // The controllers leave the command byte out of a reply's sum.
    r.append(char(velnSum(QByteArrayView(r).sliced(1))));
    return r;
}

} // namespace

int requestLength(Protocol protocol)
{
    return protocol == Protocol::Rtu ? 8 : 7;
}

quint8 velnSum(QByteArrayView bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    return quint8(sum & 0xFF);
}

Verdict decodeRequest(Protocol protocol, QByteArrayView f, Request* req)
{
    if (f.size() != requestLength(protocol))
        return Verdict::BadCheck;
    Request r;
    r.station = at(f, 1);
    if (protocol == Protocol::Rtu) {
        const quint16 crc = comm::crc16Modbus(f.first(6));
        if (at(f, 6) != (crc & 0xFF) || at(f, 7) != (crc >> 8))
            return Verdict::BadCheck;
        r.station = at(f, 0);
        const quint8 function = at(f, 1);
        if (function != RtuRead && function != RtuWrite)
            return Verdict::UnknownFunction;
        if (at(f, 2) != 0) // one byte of register address space
            return Verdict::Unsupported;
        r.code = at(f, 3);
        r.write = function == RtuWrite;
        if (r.write) {
            r.value = quint16(at(f, 4) << 8 | at(f, 5));
        } else {
            r.count = at(f, 4) << 8 | at(f, 5);
            // A Modbus reply carries at most 125 registers.
            if (r.count < 1 || r.count > 125 || r.code + r.count > RegisterCount)
                return Verdict::Unsupported;
        }
    } else {
        if (velnSum(f.first(6)) != at(f, 6))
            return Verdict::BadCheck;
        const quint8 command = at(f, 0);
        if (command != VelnRead && command != VelnWrite)
            return Verdict::UnknownFunction;
        if (at(f, 2) != 0)
            return Verdict::Unsupported;
        r.code = at(f, 3);
        r.write = command == VelnWrite;
        if (r.write)
            r.value = quint16(at(f, 4) << 8 | at(f, 5));
    }
    if (req)
        *req = r;
    return Verdict::Ok;
}

QByteArray readReply(Protocol protocol, quint8 station, quint8 code, const QList<quint16>& values)
{
    if (protocol == Protocol::Veln)
        return velnReply(VelnRead, station, code, values.value(0));
    QByteArray r;
    r.append(char(station));
    r.append(char(RtuRead));
    r.append(char(values.size() * 2));
    for (quint16 v : values) {
        r.append(char(v >> 8));
        r.append(char(v & 0xFF));
    }
    appendCrc(r);
    return r;
}

QByteArray writeReply(Protocol protocol, QByteArrayView request, quint16 storedValue)
{
    if (protocol == Protocol::Rtu)
        return request.toByteArray();
    return velnReply(VelnWrite, at(request, 1), at(request, 3), storedValue);
}

QByteArray applyFault(Protocol protocol, QByteArray reply, FaultKind kind)
{
    if (reply.size() < 2)
        return reply;
    const qsizetype last = reply.size() - 1;
    switch (kind) {
    case FaultKind::BadCrc:
        // Changes the byte sum as well: the program accepts Modbus CRC bytes in either
        // order by adding them, so a mere swap would not be a bad CRC to it.
        if (protocol == Protocol::Rtu)
            reply[last - 1] = char(quint8(reply[last - 1]) ^ 0x5A);
        else
            reply[last] = char(quint8(reply[last]) + 1);
        break;
    case FaultKind::Short:
        reply.chop(1);
        break;
    case FaultKind::Long:
        reply.append(char(0x00));
        reply.append(char(0xFF));
        break;
    case FaultKind::SwapCrc:
        if (protocol == Protocol::Rtu)
            std::swap(reply[last - 1], reply[last]);
        break;
    case FaultKind::None:
    case FaultKind::Silent:
    case FaultKind::Late:
        break;
    }
    return reply;
}

} // namespace sim
