#pragma once

#include "ui/main/Windows.h"

#include <QDialog>

class DialogService;
class RadioGroup;

// "Password Set": lock the tiles, or go on to lifting the lock or changing the password.
class TFmshowpawd : public QDialog
{
    Q_OBJECT

public:
    TFmshowpawd(DialogService& dialogs, QWidget* parent = nullptr);
    void attachWindows(const Windows& windows) { m_windows = windows; }

    // The item chosen in `RadioGroup1`: 0 lock, 1 lift, 2 change; -1 when none is chosen.
    int radioGroup1Index() const;
    void setRadioGroup1Index(int index);

    void Button1Click(); // OK

Q_SIGNALS:
    // "Lock password": the ID boxes and SET buttons of all tiles go out of reach.
    void lockRequested();

private:
    DialogService& m_dialogs;
    Windows m_windows;
    RadioGroup* m_radioGroup1 = nullptr;
};
