#pragma once

#include "SimProtocol.h"

#include <array>
#include <chrono>
#include <map>
#include <random>

namespace sim {

using Clock = std::chrono::steady_clock;

// One simulated controller: 256 registers, a first-order thermal model that keeps PV, output
// and status moving, and the fault it has been told to show. Not thread-safe; the line that
// owns it serialises access.
class ControllerModel
{
public:
    struct Settings
    {
        int id = 0;
        std::map<int, int> registers; // applied over the defaults
        bool modelOn = true;
        double timeConstantS = 20.0;
        quint64 seed = 1;
    };

    ControllerModel(const Settings& settings, Clock::time_point now);

    int id() const { return m_id; }
    quint8 station() const { return quint8(m_id & 0xFF); }

    quint16 read(int code, Clock::time_point now);
    void write(int code, quint16 value, Clock::time_point now);

    // count < 0: until cleared.
    void setFault(const Fault& fault, int count);
    // The fault that applies to the reply about to be sent; uses up one of its count.
    Fault takeFault();

private:
    void advance(Clock::time_point now);

    int m_id;
    bool m_modelOn;
    double m_tau;
    std::array<quint16, 256> m_regs{};
    double m_pv = 0;       // the model's PV without noise, in register counts
    double m_integral = 0; // integral part of the output law, 0..1000
    Clock::time_point m_last;
    std::mt19937_64 m_rng;
    Fault m_fault;
    int m_faultCount = 0;
};

} // namespace sim
