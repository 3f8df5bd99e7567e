#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "app/SignalCloser.h"
#include "app/StartUp.h"

int main(int argc, char* argv[])
{
    QtDialogService dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    Program program(dialogs);
    // A logout, a service stop or Ctrl+C closes the program as its window's close does, so
    // the run's settings are kept. Set up before the start, so no signal finds it unguarded.
    // (A session manager that ends the session asks Qt to quit, and Qt closes the window
    // through its own close; its commit request, which may be a mere checkpoint, is left.)
    SignalCloser closer([&program] { program.closeFromOutside(); });
    // A start that fails has told the operator why; the program ends.
    if (!program.start())
        return 1;
    return app.exec();
}
