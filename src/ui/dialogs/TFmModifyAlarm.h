#pragma once

#include "alarms/AlarmSetting.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

// "Modify Alarm Setting": the limits and first-alarm choice of one stored row. It is bound to
// the row it was opened for: a selection changed in the grid while it is open changes nothing
// here, and OK writes that row back, never another.
class TFmModifyAlarm : public QDialog
{
    Q_OBJECT

public:
    // Stores the changed row and pushes it into the engine; raises when it is refused.
    using StoreChange = std::function<void(const alarms::AlarmSettingValues&)>;

    TFmModifyAlarm(StoreChange store, QWidget* parent = nullptr);

    // Loads the row into the controls and shows the dialog.
    void openFor(const alarms::AlarmSetting& row);

    void BtnOKClick();

private:
    StoreChange m_store;
    QLabel* m_stxtPanel = nullptr;
    QLabel* m_stxtControllerNO = nullptr;
    QLineEdit* m_txtHAlm = nullptr;
    QLineEdit* m_txtLAlm = nullptr;
    QCheckBox* m_chkFirstAlarm = nullptr;
};
