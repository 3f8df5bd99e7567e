#include "ui/dialogs/TFmshowpawd.h"

#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/dialogs/PasswordRules.h"
#include "ui/dialogs/Tfmpaset.h"
#include "ui/dialogs/Tfmpassread.h"

#include <QButtonGroup>
#include <QGroupBox>
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

    auto* group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    group->setGeometry(20, 40, 260, 106);
    m_choice = new QButtonGroup(this);
    const QStringList items{QStringLiteral("Lock password"), QStringLiteral("Lifting of password"),
                            QStringLiteral("Change password")};
    for (int i = 0; i < int(items.size()); ++i) {
        auto* item = new QRadioButton(items[i], group);
        item->setObjectName(QStringLiteral("RadioGroup1Item%1").arg(i));
        item->setGeometry(16, 12 + i * 30, 228, 24);
        m_choice->addButton(item, i);
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(56, 160, 84, 28);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &TFmshowpawd::Button1Click);

    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Button2"));
    cancel->setGeometry(160, 160, 84, 28);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);
}

int TFmshowpawd::radioGroup1Index() const
{
    return m_choice->checkedId();
}

void TFmshowpawd::setRadioGroup1Index(int index)
{
    if (QAbstractButton* item = m_choice->button(index)) {
        item->setChecked(true);
        return;
    }
    // An exclusive group refuses to uncheck its checked button; it has to let go for a moment.
    if (QAbstractButton* checked = m_choice->checkedButton()) {
        m_choice->setExclusive(false);
        checked->setChecked(false);
        m_choice->setExclusive(true);
    }
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
