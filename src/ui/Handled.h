#pragma once

#include <QEvent>
#include <exception>
#include <functional>
#include <type_traits>
#include <utility>

// Qt's widget and GUI libraries are built without exception support: an error leaving one of our
// handlers through their frames skips every destructor in them (a line edit's copy of its text,
// a button's guard pointer, the event's points), and Qt leaves its own state half changed.
// So a handler connected to a signal runs through `handled`, which ends the error at the
// handler's own frame and hands it straight to the application's general error handler.

// The error, sent to the application object, whose notify() shows it.
class RaisedErrorEvent : public QEvent
{
public:
    static const QEvent::Type Kind;
    explicit RaisedErrorEvent(std::exception_ptr raised) : QEvent(Kind), error(std::move(raised))
    {
        setAccepted(false);
    }
    std::exception_ptr error;
};

// Shows the error through the general error handler; with no application that has one (a
// test of one widget), raises it again.
void showRaisedError(std::exception_ptr error);

// A handler for connect(): `receiver->*handler` (or the function alone) with the signal's
// arguments, its error shown by the general error handler instead of raised into Qt.
template <class Receiver, class Handler> auto handled(Receiver* receiver, Handler handler)
{
    return [receiver, handler](auto&&... args)
               -> std::enable_if_t<std::is_invocable_v<Handler, Receiver*, decltype(args)...>> {
        try {
            std::invoke(handler, receiver, std::forward<decltype(args)>(args)...);
        } catch (const std::exception&) {
            showRaisedError(std::current_exception());
        }
    };
}

template <class Handler> auto handled(Handler handler)
{
    return [handler](auto&&... args) mutable
           -> std::enable_if_t<std::is_invocable_v<Handler&, decltype(args)...>> {
        try {
            std::invoke(handler, std::forward<decltype(args)>(args)...);
        } catch (const std::exception&) {
            showRaisedError(std::current_exception());
        }
    };
}

// For an event handler of our own: runs `work` with its error shown as a handler's is; false
// when it raised one.
template <class Work> bool runHandled(Work&& work)
{
    try {
        std::forward<Work>(work)();
        return true;
    } catch (const std::exception&) {
        showRaisedError(std::current_exception());
        return false;
    }
}
