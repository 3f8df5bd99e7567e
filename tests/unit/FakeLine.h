#pragma once

#include "link/Crc.h"
#include "link/SerialIo.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QSet>
#include <functional>

// A scripted line: every write is recorded and answered by `answer`, whose bytes then wait in
// the input like a driver buffer. Reads never block; they report the timeout they were given
// (the real facility's waiting is tested on real ports). Like the real one, the port stays
// open from transaction to transaction until close().
class FakeLine final : public comm::SerialIo
{
public:
    struct Log
    {
        QList<QByteArray> writes;
        QList<int> readTimeouts;
        QList<int> writeTimeouts;
        int opens = 0;  // transactions started
        int closes = 0; // the port closed for real
        QList<QList<int>> keptPorts;
        int inputPurges = 0;
        int openPort = 0;
        comm::SerialSettings settings;
        bool openNow = false;
    };

    // `log` outlives the line: the link owns the line and may destroy it first.
    explicit FakeLine(Log* log) : m_log(log) {}

    bool portExists = true;
    bool configurable = true;
    std::function<QByteArray(const QByteArray& request, int index)> answer;

    bool open(int portNumber, const comm::SerialSettings& settings) override
    {
        ++m_log->opens;
        m_log->openPort = portNumber;
        m_log->settings = settings;
        m_log->openNow = portExists && configurable;
        m_input.clear(); // a transaction starts with empty buffers
        return m_log->openNow;
    }
    bool isOpen() const override { return m_log->openNow; }
    int write(QByteArrayView bytes, int timeoutMs) override
    {
        if (!m_log->openNow)
            return 0;
        const QByteArray request = bytes.toByteArray();
        m_log->writes.append(request);
        m_log->writeTimeouts.append(timeoutMs);
        if (answer)
            m_input += answer(request, int(m_log->writes.size()) - 1);
        return int(bytes.size());
    }
    QByteArray read(int count, int timeoutMs) override
    {
        m_log->readTimeouts.append(timeoutMs);
        const QByteArray chunk = m_input.left(count);
        m_input.remove(0, chunk.size());
        return chunk;
    }
    void purgeInput() override
    {
        ++m_log->inputPurges;
        m_input.clear();
    }
    void keepOnly(const QList<int>& portNumbers) override { m_log->keptPorts << portNumbers; }
    QString lastError() const override
    {
        return portExists ? QStringLiteral("/dev/fake: line settings refused")
                          : QStringLiteral("/dev/fake: No such file or directory");
    }
    void close() override
    {
        if (m_log->openNow)
            ++m_log->closes;
        m_log->openNow = false;
        m_input.clear();
    }

private:
    Log* m_log;
    QByteArray m_input;
};

// Modbus RTU controllers behind the fake line: registers per station, some of them silent.
struct Bank
{
    QMap<int, QMap<int, int>> regs; // station -> code -> value
    QSet<int> silent;
    QSet<QPair<int, int>> silentCodes; // (station, code) that never answers

    QByteArray answer(const QByteArray& req)
    {
        const int station = quint8(req[0]);
        const int function = quint8(req[1]);
        const int code = quint8(req[3]);
        if (!regs.contains(station) || silent.contains(station) ||
            silentCodes.contains({station, code}))
            return {};
        if (function == 6) {
            regs[station][code] = (quint8(req[4]) << 8) | quint8(req[5]);
            return req;
        }
        const int v = regs[station].value(code) & 0xFFFF;
        QByteArray r;
        r.append(char(station));
        r.append(char(3));
        r.append(char(2));
        r.append(char(v >> 8));
        r.append(char(v & 0xFF));
        const quint16 crc = comm::crc16Modbus(r);
        r.append(char(crc & 0xFF));
        r.append(char(crc >> 8));
        return r;
    }
};
