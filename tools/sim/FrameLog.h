#pragma once

#include "ControllerModel.h"

#include <QByteArrayView>
#include <QString>

#include <mutex>

namespace sim {

// One line per received frame, written at once so that a test reading the file sees every
// frame the simulator has taken in: "<ms since start> COM<n> <hex>". The port log uses the
// same lines with a word in place of the bytes: "<ms> COM<n> open".
class FrameLog
{
public:
    explicit FrameLog(Clock::time_point start);
    ~FrameLog();
    FrameLog(const FrameLog&) = delete;
    FrameLog& operator=(const FrameLog&) = delete;

    // An empty path keeps the log off.
    bool open(const QString& path, QString* error);
    void record(Clock::time_point received, int com, QByteArrayView bytes);
    void note(Clock::time_point when, int com, const QByteArray& text);

private:
    void writeLine(Clock::time_point when, int com, const QByteArray& text);

    Clock::time_point m_start;
    int m_fd = -1;
    std::mutex m_mutex;
};

} // namespace sim
