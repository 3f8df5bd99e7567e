// quillmere-sim: simulated temperature controllers on pseudo-terminals.

#include "Simulator.h"

#include <QByteArray>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
    errno = saved;
}

bool installSignals()
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction sa
    {
    };
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &sa, nullptr);
    // A test driver that goes away must not kill us halfway through cleaning up.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

void say(const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

// Reads control lines until "quit" or a signal. The end of stdin is not a quit: demos run
// the simulator with stdin from /dev/null.
void controlLoop(sim::Simulator& simulator)
{
    bool stdinOpen = true;
    QByteArray buffer;
    for (;;) {
        pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents)
            return;
        if (!fds[1].revents)
            continue;
        char chunk[4096];
        const ssize_t n = ::read(0, chunk, sizeof chunk);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0) {
            stdinOpen = false;
            buffer += '\n'; // a last line without its line end still counts
        } else {
            buffer.append(chunk, n);
        }
        qsizetype eol;
        while ((eol = buffer.indexOf('\n')) >= 0) {
            const QString command = QString::fromUtf8(buffer.left(eol)).trimmed();
            buffer.remove(0, eol + 1);
            bool quit = false;
            const QString answer = simulator.execute(command, &quit);
            if (!answer.isEmpty())
                say(answer);
            if (quit)
                return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    sim::SimOptions options;
    try {
        options = sim::parseOptions(args);
    } catch (const sim::OptionError& e) {
        std::fprintf(stderr, "quillmere-sim: %s\nRun 'quillmere-sim --help' for the options.\n",
                     e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(sim::helpText().toUtf8().constData(), stdout);
        return 0;
    }
    if (!installSignals()) {
        std::perror("quillmere-sim: pipe");
        return 1;
    }

    sim::Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "quillmere-sim: %s\n", error.toUtf8().constData());
        return 1;
    }
    say(simulator.readyLine());
    controlLoop(simulator);
    simulator.stop();
    return 0;
}
