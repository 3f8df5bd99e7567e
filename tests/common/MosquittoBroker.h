#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A throw-away Mosquitto broker for a test: Debian's mosquitto with a config file of its own
// in a temporary folder, listening on a free loopback port, optionally wanting a password.
// Stopped when the object goes; stop() and start() again keep the port and, as a real
// broker with persistence does, the retained messages and the subscribers' sessions (saved
// every second too, so that they outlive a kill()).
class MosquittoBroker
{
public:
    MosquittoBroker();
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;

    // Empty when the broker is installed; otherwise why a test must skip.
    QString missingReason() const { return m_missing; }
    // Before the first start: only `user` with `password` may connect.
    bool requirePassword(const QString& user, const QString& password);

    // Before the first start: a second listener with TLS (a CA and a server certificate for
    // 127.0.0.1 made with openssl); the plain one stays for the test's own subscriber.
    bool enableTls();
    int tlsPort() const { return m_tlsPort; }
    QString caFile() const;

    // Starts and waits until the port takes connections; false with errorString().
    bool start();
    void stop();
    // Ends the broker as a crash would (SIGKILL): no DISCONNECT, no last words on the socket.
    void kill();
    QString errorString() const { return m_error; }
    // What the broker logged, every packet included, over all its starts.
    QByteArray log() const;
    int port() const { return m_port; }

private:
    QString logFile() const;

    QString m_bin;
    QString m_missing;
    QString m_error;
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    bool m_passwords = false;
    int m_tlsPort = 0;
};
