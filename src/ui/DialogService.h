#pragma once

#include <QString>
#include <functional>

class QWidget;
class QPrinter;
class QUrl;

// Every message box, file dialog and print dialog of the program passes through here. The
// application answers with real dialogs; tests put a recorder in its place and never block.
class DialogService
{
public:
    // NoIcon: a plain box; Warning: the exclamation box.
    enum class Icon { Information, Warning, Error, NoIcon };

    virtual ~DialogService() = default;

    virtual void message(QWidget* parent, const QString& caption, const QString& text,
                         Icon icon = Icon::Information) = 0;
    // The message with what the operator needs to mend its cause (`detail`) below it. A
    // service with no place of its own for it shows both in the one text.
    virtual void detailedMessage(QWidget* parent, const QString& caption, const QString& text,
                                 const QString& detail, Icon icon = Icon::Information)
    {
        message(parent, caption, detail.isEmpty() ? text : text + QStringLiteral("\n\n") + detail,
                icon);
    }
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    // An existing folder; empty when the user cancels.
    virtual QString folderName(QWidget* parent, const QString& caption, const QString& folder) = 0;
    // Lets the user pick and set up the printer; false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter* printer) = 0;
    // Opens a web address in the system's browser.
    virtual void openUrl(const QUrl& url) = 0;

    // At most one message box is open at a time: messages that come while one is open (from
    // timers, alarms, queued work) wait and are shown together once it is closed. `waiting`
    // hears how many wait, 0 when they have been shown. Services that never hold a box open
    // have nothing to tell.
    virtual void setWaitingListener(std::function<void(int waiting)> waiting)
    {
        static_cast<void>(waiting);
    }
};
