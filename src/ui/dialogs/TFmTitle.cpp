#include "ui/dialogs/TFmTitle.h"

#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFmTitle::TFmTitle(DialogService& dialogs, store::RegistryFile& settings, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_settings(settings)
{
    setObjectName(QStringLiteral("FmTitle"));
    setWindowTitle(QStringLiteral("Company name"));
    setModal(false);
    setFixedSize(340, 132);
    setFont(fonts::sans(13));

    auto* label = new QLabel(QStringLiteral("Please enter your company name"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(16, 12, 308, 22);

    // Not filled with the current title on opening: it keeps what was last typed.
    m_edit1 = new QLineEdit(QStringLiteral(" "), this);
    m_edit1->setObjectName(QStringLiteral("Edit1"));
    m_edit1->setFont(fonts::sans(16));
    m_edit1->setGeometry(16, 40, 308, 28);
    label->setBuddy(m_edit1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("RzButton1"));
    ok->setGeometry(76, 88, 84, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmTitle::RzButton1Click));

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("RzButton2"));
    cancel->setGeometry(180, 88, 84, 28);
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

void TFmTitle::RzButton1Click()
{
    SettingsStore home(m_settings);
    home.setRoot(SettingsStore::Root::LocalMachine);
    // Never created: without the key the write raises, after the title line has changed.
    home.openKey(store::programKey(QStringLiteral("FmHome")));
    const QString title = m_edit1->text();
    emit titleChanged(title);
    home.writeString(QStringLiteral("HmTitle"), title);
    home.closeKey();
    close();
}
