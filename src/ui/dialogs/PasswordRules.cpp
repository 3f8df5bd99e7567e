#include "ui/dialogs/PasswordRules.h"

#include "store/RegistryFile.h"
#include "store/SettingsStore.h"

#include <QLineEdit>

namespace password {

namespace {

const QString PasswordName = QStringLiteral("password");

} // namespace

AccessCodes refreshAccessCode(store::RegistryFile& settings, const QString& codeName,
                              const QString& serviceCode)
{
    SettingsStore home(settings);
    home.setRoot(SettingsStore::Root::LocalMachine);
    // Never created: without the key the write below raises the store's own error.
    home.openKey(store::programKey(QStringLiteral("FmHome")));
    AccessCodes codes;
    codes.password = home.readString(PasswordName);
    codes.accessCode = codes.password.isEmpty() ? DefaultPassword : serviceCode;
    home.writeString(codeName, codes.accessCode);
    home.closeKey();
    return codes;
}

void showAsStars(QLineEdit* edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
}

void storePassword(store::RegistryFile& settings, const QString& newPassword)
{
    SettingsStore home(settings);
    home.setRoot(SettingsStore::Root::LocalMachine);
    home.openKey(store::programKey(QStringLiteral("FmHome")));
    home.writeString(PasswordName, newPassword);
    home.closeKey();
}

} // namespace password
