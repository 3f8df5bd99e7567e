#pragma once

#include <QByteArray>
#include <QString>

// The program's side of a serial line, done with plain POSIX calls and nothing of the link:
// for tests that check the simulator (or any pty peer) byte by byte.
class RawPort
{
public:
    struct Exchange
    {
        QByteArray bytes;
        double echoMs = -1; // since the write, when the first `echoLength` bytes were in
        double doneMs = -1; // since the write, when the last byte came in
    };

    // Opens the device raw at the given speed (2400..38400).
    explicit RawPort(const QString& path, int baud = 38400);
    ~RawPort();
    RawPort(const RawPort&) = delete;
    RawPort& operator=(const RawPort&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int openErrno() const { return m_errno; }

    bool send(const QByteArray& bytes);
    // The other end has gone away (the pty closed, an adapter pulled out).
    bool hungUp() const;

    // Writes the request and collects what comes back until `quietMs` pass without a byte
    // after the first one, or `silentMs` pass without any.
    Exchange transact(const QByteArray& request, int echoLength = 0, int silentMs = 150,
                      int quietMs = 40);

private:
    int m_fd = -1;
    int m_errno = 0;
};
