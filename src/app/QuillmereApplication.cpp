#include "app/QuillmereApplication.h"

#include "core/QuillmereError.h"
#include "ui/DialogService.h"
#include "ui/Handled.h"

QuillmereApplication::QuillmereApplication(int& argc, char** argv, DialogService& dialogs)
    : QApplication(argc, argv), m_dialogs(dialogs)
{
    // The application name, not the display name: Qt would append a display name to every
    // window caption, and the captions are the program's own texts.
    setApplicationName(QString::fromLatin1(Title));
}

bool QuillmereApplication::notify(QObject* receiver, QEvent* event)
{
    if (event->type() == RaisedErrorEvent::Kind && receiver == this) {
        show(static_cast<RaisedErrorEvent*>(event)->error);
        event->accept();
        return true;
    }
    // The last resort for an error from an event handler of our own: Qt's frames it passed
    // through have not been cleaned up (see ui/Handled.h).
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception&) {
        show(std::current_exception());
    }
    return false;
}

void QuillmereApplication::show(const std::exception_ptr& raised)
{
    try {
        std::rethrow_exception(raised);
    } catch (const QuillmereError& error) {
        m_dialogs.detailedMessage(activeWindow(), applicationName(), error.message(),
                                  error.detail(), DialogService::Icon::Error);
    } catch (const std::exception& error) {
        m_dialogs.message(activeWindow(), applicationName(), QString::fromLocal8Bit(error.what()),
                          DialogService::Icon::Error);
    }
}
