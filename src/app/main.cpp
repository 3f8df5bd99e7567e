#include "app/QtDialogService.h"
#include "app/QuillmereApplication.h"
#include "app/StartUp.h"
#include "core/QuillmereError.h"
#include "ui/main/TFmHome.h"

#include <memory>

int main(int argc, char* argv[])
{
    QtDialogService dialogs;
    QuillmereApplication app(argc, argv, dialogs);
    std::unique_ptr<TFmHome> home;
    try {
        home.reset(createWindows(dialogs).FmHome);
        home->show();
    } catch (const std::exception& error) {
        // An error during start-up ends the program after saying why.
        const QString text = dynamic_cast<const QuillmereError*>(&error)
                                 ? static_cast<const QuillmereError&>(error).message()
                                 : QString::fromLocal8Bit(error.what());
        dialogs.message(nullptr, app.applicationName(), text, DialogService::Icon::Error);
        return 1;
    }
    return app.exec();
}
