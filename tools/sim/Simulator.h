#pragma once

#include "FrameLog.h"
#include "SimLine.h"
#include "SimOptions.h"

#include <memory>
#include <vector>

namespace sim {

// The whole simulator: its lines, their controllers and the control commands that steer
// them. Commands arrive one at a time from the main thread.
class Simulator
{
public:
    explicit Simulator(SimOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the frame log and publishes every line's port.
    bool start(QString* error);
    void stop();

    // "quillmere-sim ready COM1=/dev/pts/5 ..."
    QString readyLine() const;

    // Runs one control line and gives its one-line answer; an empty answer for a blank or
    // comment line. Sets *quit for "quit".
    QString execute(const QString& command, bool* quit);

private:
    QString linkPath(int com) const;
    SimLine* line(int com) const;

    SimOptions m_options;
    Clock::time_point m_start;
    FrameLog m_log;
    FrameLog m_portLog;
    std::vector<std::unique_ptr<SimLine>> m_lines;
};

} // namespace sim
