#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace sim {

// One pseudo-terminal standing in for a serial line, published as a symbolic link that
// names its device. Clients come and go (the program between runs, mbpoll for each poll), so
// this side keeps its own descriptor on the device (else the master reads EIO whenever no
// client has it open) and watches the device's open/close events to know whether anyone is
// listening and to log them. Closing the pty is an adapter pulled out: a client's descriptor
// hangs up and the device node goes away.
class PtyPort
{
public:
    PtyPort() = default;
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pty and publishes `linkPath` -> device, replacing a stale link.
    bool open(const QString& linkPath, QString* error);
    // Removes the link (when it is still ours) and closes the pty.
    void close();

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString device() const { return m_device; }

    // Speed the client has set on the device, in bit/s; 0 when unknown.
    int clientBaud() const;

    // True while some other descriptor has the device open.
    bool clientPresent();
    // Readable when clients have opened or closed the device; serviceEvents() takes the
    // news in. Taken in as they come, so that a long run of transactions without replies
    // cannot overflow the kernel's queue and lose count. -1 when not watched.
    int eventFd() const { return m_inotify; }
    void serviceEvents();
    // Called from serviceEvents() for each open (true) and close (false) by a client.
    std::function<void(bool opened)> onClientEvent;

    // Sends bytes towards the client. Bytes sent while nobody has the device open are lost,
    // as on a real port, instead of waiting in the pty for the next transaction.
    void send(QByteArrayView bytes);

private:
    int m_master = -1;
    int m_slave = -1;
    int m_inotify = -1;
    int m_clients = 0;
    QString m_device;
    QString m_link;
};

} // namespace sim
