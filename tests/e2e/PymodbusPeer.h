#pragma once

#include <QMap>
#include <QProcess>
#include <QString>

// A Modbus RTU server nobody here wrote: pymodbus serving holding registers on one end of a
// socat pty pair, the other end published as <home>/ports/COM1 for the program's link.
//
// socat quits when the last descriptor on either pty slave closes (its master reads EIO),
// and each test's link closes its port when it goes; so this object keeps a descriptor of
// its own on the link's end for as long as it lives.
class PymodbusPeer
{
public:
    // Holding registers 0..size-1, all 0 but `registers` (register -> 16-bit value).
    PymodbusPeer(QString home, int unit, int size, QMap<int, int> registers);
    ~PymodbusPeer();
    PymodbusPeer(const PymodbusPeer&) = delete;
    PymodbusPeer& operator=(const PymodbusPeer&) = delete;

    // What keeps the peer from running on this machine (a tool or module not installed), or
    // empty. Checked without starting anything.
    static QString missingTool();

    // Starts socat, waits until both pty links exist and socat reports its transfer loop,
    // then starts the server and waits for its ready line.
    bool start(int timeoutMs = 10000);
    QString errorString() const { return m_error; }
    // <home>/ports/COM1: the end the program opens.
    QString portLink() const;

    // The server's register as it stands in its datastore (unsigned), or -1.
    int registerValue(int reg);

    // SIGTERM to each process by its id, a wait, then SIGKILL.
    void stop();

private:
    bool waitForLine(QProcess& process, QProcess::ProcessChannel channel, const QByteArray& marker,
                     int timeoutMs, QByteArray* seen);
    static void stopProcess(QProcess& process);

    QString m_home;
    int m_unit;
    int m_size;
    QMap<int, int> m_registers;
    QProcess m_socat;
    QProcess m_server;
    QByteArray m_serverOut;
    int m_heldFd = -1;
    QString m_error;
};
