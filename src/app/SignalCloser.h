#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl+C, a service stop) become one
// call of `close` on the user-interface thread, through a pipe the handler writes into: a
// signal handler may do nothing else safely. A second signal that arrives before the first
// has ended the program ends it at once, for an operator or a session that will not wait.
// One instance at a time; the previous handlers come back when it goes.
class SignalCloser : public QObject
{
    Q_OBJECT

public:
    explicit SignalCloser(std::function<void()> close, QObject* parent = nullptr);
    ~SignalCloser() override;
    SignalCloser(const SignalCloser&) = delete;
    SignalCloser& operator=(const SignalCloser&) = delete;

private:
    void signalArrived();

    std::function<void()> m_close;
    QSocketNotifier* m_notifier = nullptr;
};
