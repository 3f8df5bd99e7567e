#include "ui/Handled.h"

#include <QCoreApplication>

const QEvent::Type RaisedErrorEvent::Kind = QEvent::Type(QEvent::registerEventType());

void showRaisedError(std::exception_ptr error)
{
    RaisedErrorEvent event(error);
    if (QCoreApplication* app = QCoreApplication::instance())
        QCoreApplication::sendEvent(app, &event);
    if (!event.isAccepted())
        std::rethrow_exception(error);
}
