#include "ui/dialogs/Tfmpaset.h"

#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/dialogs/PasswordRules.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLineEdit* addPasswordRow(QWidget* parent, const char* labelName, const QString& caption,
                          const char* editName, int top)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(labelName));
    label->setGeometry(16, top, 178, 26);

    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(editName));
    password::showAsStars(edit);
    edit->setGeometry(198, top, 150, 26);
    label->setBuddy(edit);
    return edit;
}

} // namespace

Tfmpaset::Tfmpaset(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_settings(settings)
{
    setObjectName(QStringLiteral("fmpaset"));
    setWindowTitle(QStringLiteral("Change password"));
    setModal(false);
    setFixedSize(364, 176);
    setFont(fonts::sans(13));

    m_oldEdit = addPasswordRow(this, "Label1", QStringLiteral("Enter your Current Password"),
                               "oldEdit", 16);
    m_newEdit =
        addPasswordRow(this, "Label2", QStringLiteral("Choose a New Password"), "newEdit", 52);
    m_aginNewEdit = addPasswordRow(this, "Label3", QStringLiteral("Confirm your New Password"),
                                   "aginNewEdit", 88);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(88, 134, 84, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, handled(this, &Tfmpaset::Button1Click));

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setGeometry(192, 134, 84, 28);
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

void Tfmpaset::Button1Click()
{
    const password::AccessCodes codes = password::refreshAccessCode(
        m_settings, QStringLiteral("ifpassword"), password::ChangeServiceCode);
    const QString notValid = QStringLiteral("The password you entered is not valid");
    if (!password::isAccepted(codes, m_oldEdit->text())) {
        m_dialogs.message(this, password::MessageCaption, notValid, DialogService::Icon::Warning);
        m_oldEdit->clear();
        return;
    }
    // A typing slip in one of the new texts: everything stays for the user to correct.
    if (m_newEdit->text() != m_aginNewEdit->text()) {
        m_dialogs.message(this, password::MessageCaption, notValid, DialogService::Icon::Warning);
        return;
    }
    close();
    m_dialogs.message(this, password::MessageCaption, QStringLiteral("Password amend success"),
                      DialogService::Icon::Warning);
    // Only once the user has seen the message does the new password take effect.
    password::storePassword(m_settings, m_aginNewEdit->text());
    m_oldEdit->clear();
    m_newEdit->clear();
    m_aginNewEdit->clear();
}
