#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "app/SignalCloser.h"
#include "app/StartUp.h"

#include <QSessionManager>

int main(int argc, char* argv[])
{
    QtDialogService dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    Program program(dialogs);
    // A logout, a service stop or Ctrl+C closes the program as its window's close does, so
    // the run's settings are kept. Set up before the start, so no signal finds it unguarded.
    SignalCloser closer([&program] { program.closeFromOutside(); });
#if QT_CONFIG(sessionmanager)
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [&program](QSessionManager&) { program.closeFromOutside(); });
#endif
    // A start that fails has told the operator why; the program ends.
    if (!program.start())
        return 1;
    return app.exec();
}
