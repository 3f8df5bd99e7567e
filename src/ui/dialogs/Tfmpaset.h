#pragma once

#include <QDialog>

class DialogService;
class QLineEdit;
namespace store {
class RegistryFile;
}

// "Change password".
class Tfmpaset : public QDialog
{
    Q_OBJECT

public:
    Tfmpaset(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent = nullptr);

    void Button1Click(); // OK

private:
    DialogService& m_dialogs;
    store::RegistryFile& m_settings;
    QLineEdit* m_oldEdit = nullptr;
    QLineEdit* m_newEdit = nullptr;
    QLineEdit* m_aginNewEdit = nullptr;
};
