#pragma once

#include <QString>

class QLineEdit;
namespace store {
class RegistryFile;
}

// The rules the two password dialogs share. Each dialog keeps its own access code in FmHome
// next to the user's "password"; the code is rewritten at every OK so that it always follows
// whether a password has been set.
namespace password {

inline const QString DefaultPassword = QStringLiteral("40718");
inline const QString EnterServiceCode = QStringLiteral("2864");  // kept as "fmpassword"
inline const QString ChangeServiceCode = QStringLiteral("7391"); // kept as "ifpassword"
inline const QString MessageCaption = QStringLiteral("System Message");

struct AccessCodes
{
    QString password;   // the user's password as stored; empty: none set
    QString accessCode; // the dialog's access code as just stored
};

// Reads "password" from FmHome and stores the dialog's access code under `codeName`: the
// default password while no password is set, the dialog's service code once one is. The key is
// committed before returning, so a store that cannot take the code stops the OK right here.
AccessCodes refreshAccessCode(store::RegistryFile& settings, const QString& codeName,
                              const QString& serviceCode);

inline bool isAccepted(const AccessCodes& codes, const QString& entered)
{
    return entered == codes.password || entered == codes.accessCode;
}

// Typed characters show as "*", whatever the style's own password character is.
void showAsStars(QLineEdit* edit);

// Stores the user's password in FmHome.
void storePassword(store::RegistryFile& settings, const QString& newPassword);

} // namespace password
