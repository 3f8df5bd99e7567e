#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"

int main(int argc, char* argv[])
{
    QtDialogService dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    Program program(dialogs);
    // A start that fails has told the operator why; the program ends.
    if (!program.start())
        return 1;
    return app.exec();
}
