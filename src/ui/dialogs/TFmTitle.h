#pragma once

#include <QDialog>

class DialogService;
class QLineEdit;
namespace store {
class RegistryFile;
}

// "Company name": the title line at the top of the main window, kept in the settings.
class TFmTitle : public QDialog
{
    Q_OBJECT

public:
    TFmTitle(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent = nullptr);

    void RzButton1Click(); // OK

Q_SIGNALS:
    // Emitted before the name is stored: the title line changes even when storing fails.
    void titleChanged(const QString& title);

private:
    DialogService& m_dialogs;
    store::RegistryFile& m_settings;
    QLineEdit* m_edit1 = nullptr;
};
