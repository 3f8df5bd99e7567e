#include "app/SignalCloser.h"

#include "ui/Handled.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Signals{SIGTERM, SIGHUP, SIGINT};
int g_pipe[2] = {-1, -1};
volatile sig_atomic_t g_closing = 0;
std::array<struct sigaction, Signals.size()> g_previous{};

void onSignal(int number)
{
    if (g_closing)
        _exit(128 + number);
    g_closing = 1;
    const int saved = errno;
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

SignalCloser::SignalCloser(std::function<void()> close, QObject* parent)
    : QObject(parent), m_close(std::move(close))
{
    g_closing = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default: they end the program without the store
    m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this,
            handled(this, &SignalCloser::signalArrived));
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &action, &g_previous[i]);
}

SignalCloser::~SignalCloser()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < Signals.size(); ++i)
        sigaction(Signals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SignalCloser::signalArrived()
{
    char bytes[16];
    while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
    }
    // The flag stays set: a close that did not go through (the store refused) leaves the
    // window open with its message, and the next signal ends the program.
    m_close();
}
