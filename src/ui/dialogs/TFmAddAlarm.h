#pragma once

#include "alarms/AlarmSetting.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

// "Add Alarm Setting": one controller, the ten of one Monitor, or all thirty get the same
// limits. Modeless; it keeps what the operator left in it between uses.
class TFmAddAlarm : public QDialog
{
    Q_OBJECT

public:
    // Stores one row and pushes it into the engine; raises when the row is refused, which
    // ends the Add there with the rows before it kept.
    using StoreRow = std::function<void(const alarms::AlarmSettingValues&)>;

    TFmAddAlarm(StoreRow store, QWidget* parent = nullptr);

    // Handlers, named after their controls.
    void BtnOKClick();
    void Radio1Click();
    void Radio2Click();
    void Radio3Click();

private:
    void enableCombos(bool oneController, bool oneMonitor);

    StoreRow m_store;
    QRadioButton* m_radio1 = nullptr;
    QRadioButton* m_radio2 = nullptr;
    QRadioButton* m_radio3 = nullptr;
    QComboBox* m_cboPanel1 = nullptr;
    QComboBox* m_cboControllerNO = nullptr;
    QComboBox* m_cboPanel2 = nullptr;
    QLineEdit* m_txtHAlm = nullptr;
    QLineEdit* m_txtLAlm = nullptr;
    QCheckBox* m_chkFirstAlarm = nullptr;
};
