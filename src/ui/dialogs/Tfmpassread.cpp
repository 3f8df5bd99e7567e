#include "ui/dialogs/Tfmpassread.h"

#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/dialogs/PasswordRules.h"

#include <QLineEdit>
#include <QPushButton>

Tfmpassread::Tfmpassread(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_settings(settings)
{
    setObjectName(QStringLiteral("fmpassread"));
    setWindowTitle(QStringLiteral("Please enter your password"));
    setModal(false);
    setFixedSize(300, 118);
    setFont(fonts::sans(13));

    m_edit1 = new QLineEdit(this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    password::showAsStars(m_edit1);
    m_edit1->setGeometry(24, 20, 252, 26);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(56, 68, 84, 28);
    // Typing the password and pressing Enter is the usual way through.
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, handled(this, &Tfmpassread::Button1Click));

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setGeometry(160, 68, 84, 28);
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

void Tfmpassread::Button1Click()
{
    const password::AccessCodes codes = password::refreshAccessCode(
        m_settings, QStringLiteral("fmpassword"), password::EnterServiceCode);
    if (!password::isAccepted(codes, m_edit1->text())) {
        m_dialogs.message(this, password::MessageCaption,
                          QStringLiteral("Password input error, please re-enter"),
                          DialogService::Icon::Warning);
        m_edit1->clear();
        return;
    }
    emit unlockRequested();
    close();
    m_dialogs.message(this, password::MessageCaption, QStringLiteral("Password has been lifted"),
                      DialogService::Icon::NoIcon);
    m_edit1->clear();
}
