#pragma once

#include <QString>

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
    virtual bool confirm(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Empty when the user cancels.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& filter) = 0;
    // Lets the user pick and set up the printer; false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter* printer) = 0;
    // Opens a web address in the system's browser.
    virtual void openUrl(const QUrl& url) = 0;
};
