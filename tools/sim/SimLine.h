#pragma once

#include "ControllerModel.h"
#include "FrameLog.h"
#include "PtyPort.h"
#include "SimOptions.h"

#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sim {

// One simulated serial line: its pty, the controllers on it and the thread that answers
// them with the line's wire timing.
class SimLine
{
public:
    struct Timing
    {
        bool wire = true;
        double turnaroundMs = 1.0;
    };

    SimLine(const LineConfig& config, Timing timing, FrameLog& log, FrameLog& portLog);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    int com() const { return m_config.com; }
    const LineConfig& config() const { return m_config; }

    void addController(const ControllerModel::Settings& settings, Clock::time_point now);

    // Publishes the port at linkPath and starts answering.
    bool goOnline(const QString& linkPath, QString* error);
    // Stops answering, removes the link and closes the pty.
    void goOffline();
    bool isOnline() const { return m_port.isOpen(); }
    QString device() const { return m_port.device(); }

    // Control commands; false when no controller answers to that ID on this line.
    bool setFault(int id, const Fault& fault, int count);
    bool setRegister(int id, int code, quint16 value);
    std::optional<quint16> getRegister(int id, int code);

private:
    using Duration = Clock::duration;

    void run(int wakeFd);
    // Logs, answers and sends with the line's timing; false when the line is being stopped.
    bool handleFrame(QByteArrayView frame, Clock::time_point t0);
    // Computes the reply under the lock; empty when nobody answers.
    QByteArray answer(QByteArrayView frame, Clock::time_point t0, int clientBaud, Fault* fault);
    ControllerModel* find(quint8 station);
    Duration charTime(int baud) const;
    // False when the line is being stopped.
    bool sleepUntil(Clock::time_point deadline);

    LineConfig m_config;
    Timing m_timing;
    FrameLog& m_log;
    FrameLog& m_portLog;
    PtyPort m_port;
    std::mutex m_mutex; // guards the controllers
    std::vector<std::unique_ptr<ControllerModel>> m_controllers;
    std::thread m_thread;
    int m_wakeFd = -1;
};

} // namespace sim
