#pragma once

#include "alarms/AlarmSetting.h"

#include <QWidget>
#include <memory>

class DialogService;
class QPushButton;
class QStandardItemModel;
class QTableView;
class StationModel;
class TAlarmHistoryPanel;
class TFmAddAlarm;
class TFmAlmDlg;
class TFmModifyAlarm;
namespace alarms {
class AlarmCountTable;
class AlarmSettingsTable;
} // namespace alarms

// The Alarm page (`Panel3`): the "Alarm Setting" sub-page listing the alarm settings table
// with Add, Modify, Delete and Delete All, and the "History" sub-page (TAlarmHistoryPanel).
// It owns the two alarm tables, and it is where a raised alarm reaches the operator.
class TAlarmPage : public QWidget
{
    Q_OBJECT

public:
    TAlarmPage(DialogService& dialogs, StationModel& model, QWidget* parent = nullptr);
    ~TAlarmPage() override;

    // Start-up, before the engine runs: the settings table opened and every setting copied
    // into its slot, automatic printing by the minute, every count back to "00". Raises with
    // the database's message when a table cannot be opened: the program cannot run then.
    void openTables();
    // The dialogs exist only after the main window: start-up hands them over.
    void attachDialogs(TFmAddAlarm* add, TFmModifyAlarm* modify, TFmAlmDlg* message);

    // A raised alarm: into the history and the message dialog, then counted in the table and
    // shown on the Frequency tab. Raises when the count cannot be stored; the lines are
    // already in place then.
    void alarmRaised(int monitor, int slot, const QString& line, const QString& countText);

    // What Add and Modify store, row by row. A refused key shows the duplicate warning and
    // then raises the database's refusal, which ends the operation.
    void storeNewRow(const alarms::AlarmSettingValues& values);
    void storeChangedRow(const alarms::AlarmSettingValues& values);

    TAlarmHistoryPanel* history() const { return m_history; }

signals:
    // A setting stored: "added", "modified", "deleted" or "deleted all", with the rows of that
    // key before and after (empty where there was none).
    void alarmSettingChanged(const QString& action, const QList<alarms::AlarmSetting>& before,
                             const QList<alarms::AlarmSetting>& after);

public:
    // Handlers, named after their controls.
    void BtnAlmSettingClick();
    void BtnAlmRecordClick();
    void BtnAddSettingClick();
    void BtnModifySettingClick();
    void BtnDeleteSettingClick();
    void BtnDelteAllClick();

private:
    QWidget* buildSettingPanel();
    // Lists the table again in key order, keeping the selected row where it can.
    void refreshSettings();
    // The row selected in the grid; false on an empty table (at its end).
    bool currentRow(alarms::AlarmSetting& row) const;
    void storeRow(const alarms::AlarmSettingValues& values, bool isNew);

    DialogService& m_dialogs;
    StationModel& m_model;
    std::unique_ptr<alarms::AlarmSettingsTable> m_tableAlm; // TableAlm
    std::unique_ptr<alarms::AlarmCountTable> m_qryAlmCount; // QryAlmCount
    QList<alarms::AlarmSetting> m_rows;                     // as DBGrid1 lists them

    TFmAddAlarm* m_add = nullptr;
    TFmModifyAlarm* m_modify = nullptr;
    TFmAlmDlg* m_message = nullptr;
    QPushButton* m_btnAlmSetting = nullptr;
    QPushButton* m_btnAlmRecord = nullptr;
    QWidget* m_pnlAlarmSetting = nullptr;
    TAlarmHistoryPanel* m_history = nullptr; // PnlAlarmRecord
    QStandardItemModel* m_settings = nullptr;
    QTableView* m_dbGrid1 = nullptr;
};
