#include "app/StartUp.h"

#include "ui/dialogs/TFmBarPage.h"
#include "ui/main/TFmHome.h"

#include <QObject>

Windows createWindows(DialogService& dialogs)
{
    Windows w;
    w.FmHome = new TFmHome(dialogs);
    w.FmHome->setAttribute(Qt::WA_DeleteOnClose, false);
    // The dialogs are owned by the main window so that they go with it.
    w.FmBarPage = new TFmBarPage(w.FmHome);
    QObject::connect(w.FmBarPage, &TFmBarPage::closedByUserOrTimer, w.FmHome,
                     &TFmHome::dpDialogClosed);
    w.FmHome->attachWindows(w);
    return w;
}
