#include "ui/dialogs/TFmModifyAlarm.h"

#include "core/Conversions.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& place)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    return label;
}

} // namespace

TFmModifyAlarm::TFmModifyAlarm(StoreChange store, QWidget* parent)
    : QDialog(parent), m_store(std::move(store))
{
    setObjectName(QStringLiteral("FmModifyAlarm"));
    setWindowTitle(QStringLiteral("Modify Alarm Setting"));
    setModal(false);
    setFixedSize(400, 280);

    addLabel(this, "LbTitle", QStringLiteral("Modify Alarm Setting"), {16, 8, 368, 28})
        ->setFont(fonts::sans(18, true));
    addLabel(this, "LbPanel", QStringLiteral("Moniter"), {16, 48, 64, 24});
    addLabel(this, "LbPanelDash", QStringLiteral("--"), {80, 48, 20, 24});
    m_stxtPanel = addLabel(this, "STxtPanel", QString(), {100, 48, 40, 24});
    addLabel(this, "LbControllerNO", QStringLiteral("Controller"), {170, 48, 70, 24});
    addLabel(this, "LbControllerNODash", QStringLiteral("--"), {240, 48, 20, 24});
    m_stxtControllerNO = addLabel(this, "STxtControllerNO", QString(), {260, 48, 40, 24});

    addLabel(this, "LbHAlm", QStringLiteral("Deviation High Alarm Value"), {16, 88, 210, 24});
    m_txtHAlm = new QLineEdit(this);
    m_txtHAlm->setObjectName(QStringLiteral("TxtHAlm"));
    m_txtHAlm->setGeometry(230, 88, 100, 24);
    addLabel(this, "LbLAlm", QStringLiteral("Deviation Low Alarm Value"), {16, 120, 210, 24});
    m_txtLAlm = new QLineEdit(this);
    m_txtLAlm->setObjectName(QStringLiteral("TxtLAlm"));
    m_txtLAlm->setGeometry(230, 120, 100, 24);
    m_chkFirstAlarm = new QCheckBox(QStringLiteral("Alarm at First Time"), this);
    m_chkFirstAlarm->setObjectName(QStringLiteral("ChkFirstAlarm"));
    m_chkFirstAlarm->setGeometry(16, 156, 220, 24);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(100, 220, 90, 32);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setGeometry(210, 220, 90, 32);
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmModifyAlarm::BtnOKClick));
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

void TFmModifyAlarm::openFor(const alarms::AlarmSetting& row)
{
    m_chkFirstAlarm->setChecked(row.alarmAtFirst());
    m_stxtPanel->setText(row.Panel);
    m_stxtControllerNO->setText(row.ControllerNO);
    m_txtHAlm->setText(row.HAlarm);
    m_txtLAlm->setText(row.LAlarm);
    show();
    raise();
    activateWindow();
}

void TFmModifyAlarm::BtnOKClick()
{
    alarms::AlarmSettingValues values;
    values.alarmAtFirst = m_chkFirstAlarm->isChecked();
    values.Panel = m_stxtPanel->text();
    values.ControllerNO = m_stxtControllerNO->text();
    values.HAlarm = core::toFloat(m_txtHAlm->text());
    values.LAlarm = core::toFloat(m_txtLAlm->text());
    m_store(values);
    close();
}
