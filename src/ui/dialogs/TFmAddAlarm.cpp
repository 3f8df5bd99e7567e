#include "ui/dialogs/TFmAddAlarm.h"

#include "core/Conversions.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QStringList slotTexts()
{
    QStringList texts;
    for (int s = 1; s <= 10; ++s)
        texts << QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    return texts;
}

const QStringList MonitorTexts = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, const QRect& place)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    return label;
}

QComboBox* addCombo(QWidget* parent, const char* name, const QStringList& items, const QRect& place)
{
    // Restricted to its items: a typed "4" or "11" would be stored for a slot that does not
    // exist and never alarm.
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->addItems(items);
    combo->setGeometry(place);
    return combo;
}

} // namespace

TFmAddAlarm::TFmAddAlarm(StoreRow store, QWidget* parent)
    : QDialog(parent), m_store(std::move(store))
{
    setObjectName(QStringLiteral("FmAddAlarm"));
    setWindowTitle(QStringLiteral("Add Alarm Setting"));
    setModal(false);
    setFixedSize(420, 330);

    auto* heading =
        addLabel(this, "LbTitle", QStringLiteral("Add Alarm Setting"), {16, 8, 388, 28});
    heading->setFont(fonts::sans(18, true));

    m_radio1 = new QRadioButton(QStringLiteral("Add 1 Controller"), this);
    m_radio1->setObjectName(QStringLiteral("Radio1"));
    m_radio1->setGeometry(16, 44, 160, 24);
    m_radio1->setChecked(true);
    addLabel(this, "LbPanel1", QStringLiteral("Monitor"), {190, 44, 60, 24});
    m_cboPanel1 = addCombo(this, "CboPanel1", MonitorTexts, {250, 44, 50, 24});
    addLabel(this, "LbControllerNO", QStringLiteral("Controller"), {306, 44, 64, 24});
    m_cboControllerNO = addCombo(this, "CboControllerNO", slotTexts(), {352, 44, 56, 24});

    m_radio2 = new QRadioButton(QStringLiteral("Add 1 Monitor"), this);
    m_radio2->setObjectName(QStringLiteral("Radio2"));
    m_radio2->setGeometry(16, 76, 160, 24);
    addLabel(this, "LbPanel2", QStringLiteral("Monitor"), {190, 76, 60, 24});
    m_cboPanel2 = addCombo(this, "CboPanel2", MonitorTexts, {250, 76, 50, 24});

    m_radio3 = new QRadioButton(QStringLiteral("Add All Monitor"), this);
    m_radio3->setObjectName(QStringLiteral("Radio3"));
    m_radio3->setGeometry(16, 108, 160, 24);

    addLabel(this, "LbHAlm", QStringLiteral("Deviation High Alarm  Value"), {16, 148, 220, 24});
    m_txtHAlm = new QLineEdit(QStringLiteral("10"), this);
    m_txtHAlm->setObjectName(QStringLiteral("TxtHAlm"));
    m_txtHAlm->setGeometry(240, 148, 100, 24);
    addLabel(this, "LbLAlm", QStringLiteral("Deviation Low Alarm  Value"), {16, 180, 220, 24});
    m_txtLAlm = new QLineEdit(QStringLiteral("10"), this);
    m_txtLAlm->setObjectName(QStringLiteral("TxtLAlm"));
    m_txtLAlm->setGeometry(240, 180, 100, 24);
    m_chkFirstAlarm = new QCheckBox(QStringLiteral("Alarm at First Time"), this);
    m_chkFirstAlarm->setObjectName(QStringLiteral("ChkFirstAlarm"));
    m_chkFirstAlarm->setGeometry(16, 216, 220, 24);
    m_chkFirstAlarm->setChecked(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("BtnOK"));
    ok->setGeometry(110, 272, 90, 32);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setGeometry(220, 272, 90, 32);

    connect(m_radio1, &QRadioButton::clicked, this, handled(this, &TFmAddAlarm::Radio1Click));
    connect(m_radio2, &QRadioButton::clicked, this, handled(this, &TFmAddAlarm::Radio2Click));
    connect(m_radio3, &QRadioButton::clicked, this, handled(this, &TFmAddAlarm::Radio3Click));
    connect(ok, &QPushButton::clicked, this, handled(this, &TFmAddAlarm::BtnOKClick));
    connect(cancel, &QPushButton::clicked, this, handled(this, &QWidget::close));
}

void TFmAddAlarm::enableCombos(bool oneController, bool oneMonitor)
{
    m_cboPanel1->setEnabled(oneController);
    m_cboControllerNO->setEnabled(oneController);
    m_cboPanel2->setEnabled(oneMonitor);
}

void TFmAddAlarm::Radio1Click()
{
    enableCombos(true, false);
}

void TFmAddAlarm::Radio2Click()
{
    enableCombos(false, true);
}

void TFmAddAlarm::Radio3Click()
{
    enableCombos(false, false);
}

void TFmAddAlarm::BtnOKClick()
{
    QList<std::pair<QString, QString>> keys;
    if (m_radio1->isChecked()) {
        keys << std::pair{m_cboPanel1->currentText(), m_cboControllerNO->currentText()};
    } else {
        const QStringList panels =
            m_radio2->isChecked() ? QStringList{m_cboPanel2->currentText()} : MonitorTexts;
        for (const QString& panel : panels)
            for (const QString& slot : slotTexts())
                keys << std::pair{panel, slot};
    }
    // Row by row, each pushed into the engine before the next: a refused row ends the Add
    // with the rows before it kept, and the dialog stays open.
    for (const auto& [panel, slot] : keys) {
        alarms::AlarmSettingValues values;
        values.Panel = panel;
        values.ControllerNO = slot;
        values.HAlarm = core::toFloat(m_txtHAlm->text());
        values.LAlarm = core::toFloat(m_txtLAlm->text());
        values.alarmAtFirst = m_chkFirstAlarm->isChecked();
        m_store(values);
    }
    close();
}
