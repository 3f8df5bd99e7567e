#include "ControllerModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Output law: 10 per count of error (full output from 100 counts below SV) plus an integral
// that settles at the holding output. Only the look of it matters; PV follows SV regardless.
constexpr double Kp = 10.0;
constexpr double Ki = 2.0;
constexpr int AlarmBand = 5; // counts above/below SV that light AL1/AL2

constexpr quint16 StatusOut1 = 1 << 0;
constexpr quint16 StatusOut2 = 1 << 1;
constexpr quint16 StatusAl1 = 1 << 3;
constexpr quint16 StatusAl2 = 1 << 4;

int signed16(quint16 v)
{
    return v >= 0x8000 ? int(v) - 0x10000 : int(v);
}

quint16 clamp16(long v)
{
    return quint16(std::clamp<long>(v, -32768, 32767));
}

} // namespace

ControllerModel::ControllerModel(const Settings& s, Clock::time_point now)
    : m_id(s.id), m_modelOn(s.modelOn), m_tau(s.timeConstantS), m_last(now), m_rng(s.seed)
{
    for (const auto& [code, value] : defaultRegisters())
        m_regs[size_t(code)] = quint16(value);
    for (const auto& [code, value] : s.registers)
        m_regs[size_t(code & 0xFF)] = quint16(value);
    m_pv = signed16(m_regs[reg::Pv]);
}

quint16 ControllerModel::read(int code, Clock::time_point now)
{
    advance(now);
    return m_regs[size_t(code & 0xFF)];
}

void ControllerModel::write(int code, quint16 value, Clock::time_point now)
{
    // Time up to now ran under the old value.
    advance(now);
    m_regs[size_t(code & 0xFF)] = value;
    if (code == reg::Pv)
        m_pv = signed16(value);
}

void ControllerModel::setFault(const Fault& fault, int count)
{
    m_fault = fault;
    m_faultCount = fault.kind == FaultKind::None ? 0 : count;
}

Fault ControllerModel::takeFault()
{
    if (m_fault.kind == FaultKind::None || m_faultCount == 0)
        return {};
    const Fault f = m_fault;
    if (m_faultCount > 0 && --m_faultCount == 0)
        m_fault = {};
    return f;
}

void ControllerModel::advance(Clock::time_point now)
{
    const double dt = std::chrono::duration<double>(now - m_last).count();
    if (!m_modelOn || dt <= 0)
        return;
    m_last = now;

    const double sv = signed16(m_regs[reg::Sv]);
    m_pv = sv + (m_pv - sv) * std::exp(-dt / m_tau);
    const double error = sv - m_pv;
    m_integral = std::clamp(m_integral + Ki * error * dt, 0.0, 1000.0);
    const double out = std::clamp(Kp * error + m_integral, 0.0, 1000.0);

    std::uniform_int_distribution<int> noise(-1, 1);
    const long pv = std::lround(m_pv) + noise(m_rng);
    const int svi = int(sv);
    m_regs[reg::Pv] = clamp16(pv);
    m_regs[reg::Output] = quint16(std::lround(out));

    quint16 status = m_regs[reg::Status] & ~(StatusOut1 | StatusOut2 | StatusAl1 | StatusAl2);
    if (m_regs[reg::Output] > 0)
        status |= StatusOut1;
    if (pv > svi)
        status |= StatusOut2;
    if (pv > svi + AlarmBand)
        status |= StatusAl1;
    if (pv < svi - AlarmBand)
        status |= StatusAl2;
    m_regs[reg::Status] = status;
}

} // namespace sim
