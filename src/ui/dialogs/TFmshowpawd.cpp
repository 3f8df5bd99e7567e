#include "ui/dialogs/TFmshowpawd.h"

#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/RadioGroup.h"
#include "ui/dialogs/PasswordRules.h"
#include "ui/dialogs/Tfmpaset.h"
#include "ui/dialogs/Tfmpassread.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace {

enum Choice { Lock = 0, Lift = 1, Change = 2 };

void bringForward(QWidget* window)
{
    if (!window) {
        return;
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

TFmshowpawd::TFmshowpawd(DialogService& dialogs, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Fmshowpawd"));
    setWindowTitle(QStringLiteral("Password Set"));
    setModal(false);
    setFixedSize(300, 206);
    setFont(fonts::sans(13));

    auto* label =
        new QLabel(QStringLiteral("The original password ") + password::DefaultPassword, this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(20, 12, 260, 22);

    m_radioGroup1 =
        new RadioGroup(QString(),
                       {QStringLiteral("Lock password"), QStringLiteral("Lifting of password"),
                        QStringLiteral("Change password")},
                       1, this);
    m_radioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    m_radioGroup1->setGeometry(20, 40, 260, 106);
    for (int i = 0; i < m_radioGroup1->count(); ++i) {
        m_radioGroup1->button(i)->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(56, 160, 84, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmshowpawd::Button1Click));

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setGeometry(160, 160, 84, 28);
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

int TFmshowpawd::radioGroup1Index() const
{
    return m_radioGroup1->itemIndex();
}

void TFmshowpawd::setRadioGroup1Index(int index)
{
    m_radioGroup1->setItemIndex(index);
}

void TFmshowpawd::Button1Click()
{
    switch (radioGroup1Index()) {
    case Lock:
        emit lockRequested();
        close();
        m_dialogs.message(this, password::MessageCaption,
                          QStringLiteral("Password has been locked"), DialogService::Icon::Warning);
        break;
    case Lift:
        bringForward(m_windows.fmpassread);
        close();
        break;
    case Change:
        bringForward(m_windows.fmpaset);
        close();
        break;
    default:
        break;
    }
}
