#include "app/QuillmereApplication.h"

#include "core/QuillmereError.h"
#include "ui/DialogService.h"

QuillmereApplication::QuillmereApplication(int& argc, char** argv, DialogService& dialogs)
    : QApplication(argc, argv), m_dialogs(dialogs)
{
    // The application name, not the display name: Qt would append a display name to every
    // window caption, and the captions are the program's own texts.
    setApplicationName(QString::fromLatin1(Title));
}

bool QuillmereApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const QuillmereError& error) {
        m_dialogs.detailedMessage(activeWindow(), applicationName(), error.message(),
                                  error.detail(), DialogService::Icon::Error);
    } catch (const std::exception& error) {
        m_dialogs.message(activeWindow(), applicationName(), QString::fromLocal8Bit(error.what()),
                          DialogService::Icon::Error);
    }
    return false;
}
