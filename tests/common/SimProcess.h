#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Runs quillmere-sim for a test: starts it, waits for its ready line (never a fixed sleep),
// sends control commands and reads the frames it logged.
class SimProcess
{
public:
    // `home` empty: a temporary folder owned by this object.
    explicit SimProcess(QStringList args, QString home = QString());
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Adds --home, --frame-log and --port-log, starts the simulator and waits for its ready
    // line.
    bool start(int timeoutMs = 5000);
    bool isRunning() const;
    qint64 pid() const { return m_process.processId(); }
    // What went wrong in start() or command(), including what the simulator wrote to stderr.
    QString errorString() const { return m_error; }

    QString home() const { return m_home; }
    // The device published for port COM<com>, e.g. "/dev/pts/7"; empty when unknown.
    QString device(int com) const { return m_devices.value(com); }
    // <home>/ports/COM<com>, the name the program under test opens.
    QString portLink(int com) const;

    // Sends one control line and waits for its one-line answer. True unless the answer is
    // "error ..." or none came.
    bool command(const QString& line, QString* answer = nullptr, int timeoutMs = 3000);

    // Frames logged since the last clearFrames(), as hex; com 0 means every line.
    QStringList frames(int com = 0) const;
    void clearFrames();
    bool waitForFrames(int com, int count, int timeoutMs);

    // What the port log holds for COM<com> since the start, in order: "open" and "close" for
    // each open and close of the device by a client, "online <device>" and "offline" for the
    // line published and taken away.
    QStringList portEvents(int com) const;
    // How many times a client opened COM<com>'s device so far.
    int opens(int com) const { return int(portEvents(com).count(QStringLiteral("open"))); }

    // Sends quit and waits; kills the process if it does not end.
    void stop();
    int exitCode() const;

private:
    bool readLine(QString* line, int timeoutMs);
    QString frameLogPath() const;
    QString portLogPath() const;

    QStringList m_args;
    std::unique_ptr<QTemporaryDir> m_tempHome;
    QString m_home;
    QProcess m_process;
    QByteArray m_stdout;
    QMap<int, QString> m_devices;
    qint64 m_frameOffset = 0;
    QString m_error;
};
