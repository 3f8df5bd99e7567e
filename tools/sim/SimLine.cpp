#include "SimLine.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

namespace sim {

namespace {

using namespace std::chrono_literals;

// Bits of one character on the wire: start, 8 data, parity, stop.
constexpr double BitsPerChar = 11.0;
// Speed assumed when the pty reports none (a pty starts at 38400).
constexpr int FallbackBaud = 38400;
// A timer wakes us some 60 us late on a typical machine; the last stretch before a deadline
// is spun instead, so that a reply leaves within a few microseconds of its wire time.
constexpr auto SpinWindow = 200us;

timespec toTimespec(Clock::duration d)
{
    if (d < Clock::duration::zero())
        d = Clock::duration::zero();
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(d);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d - s);
    return timespec{time_t(s.count()), long(ns.count())};
}

Clock::duration fromMs(double ms)
{
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(ms));
}

} // namespace

SimLine::SimLine(const LineConfig& config, Timing timing, FrameLog& log, FrameLog& portLog)
    : m_config(config), m_timing(timing), m_log(log), m_portLog(portLog)
{
    m_port.onClientEvent = [this](bool opened) {
        m_portLog.note(Clock::now(), m_config.com, opened ? "open" : "close");
    };
}

SimLine::~SimLine()
{
    goOffline();
}

void SimLine::addController(const ControllerModel::Settings& settings, Clock::time_point now)
{
    const std::lock_guard lock(m_mutex);
    m_controllers.push_back(std::make_unique<ControllerModel>(settings, now));
}

bool SimLine::goOnline(const QString& linkPath, QString* error)
{
    if (isOnline())
        return true;
    if (!m_port.open(linkPath, error))
        return false;
    m_portLog.note(Clock::now(), m_config.com, "online " + QFile::encodeName(m_port.device()));
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        if (error)
            *error = QStringLiteral("eventfd failed");
        m_port.close();
        return false;
    }
    m_thread = std::thread(&SimLine::run, this, m_wakeFd);
    return true;
}

void SimLine::goOffline()
{
    if (m_thread.joinable()) {
        ::eventfd_write(m_wakeFd, 1);
        m_thread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
    if (m_port.isOpen()) {
        m_port.serviceEvents(); // what clients did up to now is logged before the line goes
        m_portLog.note(Clock::now(), m_config.com, "offline");
    }
    m_port.close();
}

ControllerModel* SimLine::find(quint8 station)
{
    for (const auto& c : m_controllers)
        if (c->station() == station)
            return c.get();
    return nullptr;
}

bool SimLine::setFault(int id, const Fault& fault, int count)
{
    const std::lock_guard lock(m_mutex);
    ControllerModel* c = find(quint8(id & 0xFF));
    if (c)
        c->setFault(fault, count);
    return c != nullptr;
}

bool SimLine::setRegister(int id, int code, quint16 value)
{
    const std::lock_guard lock(m_mutex);
    ControllerModel* c = find(quint8(id & 0xFF));
    if (c)
        c->write(code, value, Clock::now());
    return c != nullptr;
}

std::optional<quint16> SimLine::getRegister(int id, int code)
{
    const std::lock_guard lock(m_mutex);
    if (ControllerModel* c = find(quint8(id & 0xFF)))
        return c->read(code, Clock::now());
    return std::nullopt;
}

SimLine::Duration SimLine::charTime(int baud) const
{
    return fromMs(1000.0 * BitsPerChar / (baud > 0 ? baud : FallbackBaud));
}

bool SimLine::sleepUntil(Clock::time_point deadline)
{
    for (;;) {
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero())
            return true;
        if (left > 2ms) {
            // Long waits (a late reply) stay interruptible; the last stretch is slept on the
            // absolute deadline so that the wire time does not drift.
            pollfd p{m_wakeFd, POLLIN, 0};
            const timespec ts = toTimespec(left - 1ms);
            if (::ppoll(&p, 1, &ts, nullptr) > 0)
                return false;
            continue;
        }
        const timespec abs = toTimespec((deadline - SpinWindow).time_since_epoch());
        while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &abs, nullptr) == EINTR) {
        }
        while (Clock::now() < deadline) {
        }
        return true;
    }
}

QByteArray SimLine::answer(QByteArrayView frame, Clock::time_point t0, int clientBaud, Fault* fault)
{
    Request req;
    if (decodeRequest(m_config.protocol, frame, &req) != Verdict::Ok)
        return {};
    // At the wrong speed the controller only sees noise.
    if (m_config.baud != 0 && clientBaud != m_config.baud)
        return {};
    const std::lock_guard lock(m_mutex);
    ControllerModel* c = find(req.station);
    if (!c)
        return {};
    QByteArray reply;
    if (req.write) {
        c->write(req.code, req.value, t0);
        reply = writeReply(m_config.protocol, frame, c->read(req.code, t0));
    } else {
        QList<quint16> values;
        for (int i = 0; i < req.count; ++i)
            values.append(c->read(req.code + i, t0));
        reply = readReply(m_config.protocol, req.station, req.code, values);
    }
    *fault = c->takeFault();
    if (fault->kind == FaultKind::Silent)
        return {};
    return applyFault(m_config.protocol, reply, fault->kind);
}

bool SimLine::handleFrame(QByteArrayView frame, Clock::time_point t0)
{
    const int baud = m_port.clientBaud();
    m_log.record(t0, m_config.com, frame);
    Fault fault;
    const QByteArray reply = answer(frame, t0, baud, &fault);
    // The 4-wire converter hands back everything that goes out on the line, whoever answers.
    const bool echo = m_config.converter == Converter::Rs422;

    const Duration turnaround = fromMs(m_timing.turnaroundMs);
    const Duration ct = charTime(baud);
    const auto requestChars = int(frame.size());
    Clock::time_point echoAt = t0 + turnaround;
    Clock::time_point replyAt = echoAt;
    if (m_timing.wire) {
        echoAt = t0 + requestChars * ct;
        replyAt = t0 + (requestChars + int(reply.size())) * ct + turnaround;
    }
    if (fault.kind == FaultKind::Late)
        replyAt += fromMs(fault.lateMs);

    if (echo) {
        if (!sleepUntil(echoAt))
            return false;
        m_port.send(frame);
    }
    if (!reply.isEmpty()) {
        if (!sleepUntil(replyAt))
            return false;
        m_port.send(reply);
    }
    return true;
}

void SimLine::run(int wakeFd)
{
    // The default 50 us timer slack would be most of our jitter budget.
    ::prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
    const int frameLength = requestLength(m_config.protocol);
    QByteArray pending;
    Clock::time_point first;
    Clock::time_point lastByte;
    char buf[512];

    // Bytes of an unfinished frame are dropped after this much silence, the way a Modbus
    // slave resynchronises after noise.
    auto gap = [&] { return std::max<Duration>(charTime(m_port.clientBaud()) * 7 / 2, 2ms); };
    auto dropStale = [&](Clock::time_point now) {
        if (!pending.isEmpty() && now - lastByte >= gap()) {
            m_log.record(first, m_config.com, pending);
            pending.clear();
        }
    };

    for (;;) {
        timespec wait{};
        const timespec* timeout = nullptr;
        if (!pending.isEmpty()) {
            wait = toTimespec(lastByte + gap() - Clock::now());
            timeout = &wait;
        }
        pollfd fds[3] = {
            {m_port.masterFd(), POLLIN, 0}, {wakeFd, POLLIN, 0}, {m_port.eventFd(), POLLIN, 0}};
        const int ready = ::ppoll(fds, 3, timeout, nullptr);
        if (ready < 0 && errno == EINTR)
            continue;
        if (fds[1].revents)
            return;
        if (fds[2].revents)
            m_port.serviceEvents();
        const auto now = Clock::now();
        dropStale(now);
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_port.masterFd(), buf, sizeof buf);
            if (n > 0) {
                if (pending.isEmpty())
                    first = now;
                pending.append(buf, n);
                lastByte = now;
            } else if ((n == 0 || (errno != EAGAIN && errno != EINTR)) && !sleepUntil(now + 10ms)) {
                return; // a broken pty must not turn into a busy loop
            }
        } else if ((fds[0].revents & (POLLHUP | POLLERR)) && !sleepUntil(now + 10ms)) {
            // Only without our own slave descriptor; do not spin on it.
            return;
        }
        while (pending.size() >= frameLength) {
            const QByteArray frame = pending.left(frameLength);
            pending.remove(0, frameLength);
            if (!handleFrame(frame, first))
                return;
            // A request queued behind this one started after it on the wire.
            first = std::max(Clock::now(), first + frameLength * charTime(m_port.clientBaud()));
            // While we were answering the line was ours; silence counts from now.
            lastByte = std::max(lastByte, Clock::now());
        }
    }
}

} // namespace sim
