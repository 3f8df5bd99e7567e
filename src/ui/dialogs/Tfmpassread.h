#pragma once

#include <QDialog>

class DialogService;
class QLineEdit;
namespace store {
class RegistryFile;
}

// "Please enter your password": lifts the operator lock when the password is accepted.
class Tfmpassread : public QDialog
{
    Q_OBJECT

public:
    Tfmpassread(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent = nullptr);

    void Button1Click(); // OK

Q_SIGNALS:
    // The password was accepted: the tiles come back within reach.
    void unlockRequested();

private:
    DialogService& m_dialogs;
    store::RegistryFile& m_settings;
    QLineEdit* m_edit1 = nullptr;
};
