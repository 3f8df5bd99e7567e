#pragma once

#include "alarms/AlarmSetting.h"

#include <QWidget>
#include <map>
#include <memory>

class DialogService;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QThread;
class QTimer;
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
    // shown on the Frequency tab. Never raises: a count the table does not take waits (the
    // slot's latest count, which holds every earlier one) and is written again by the
    // database check; the first failure is shown, then the status line keeps the tally.
    void alarmRaised(int monitor, int slot, const QString& line, const QString& countText);
    // Counts waiting to be written.
    int waitingCounts() const { return int(m_waitingCounts.size()); }

    // Every few seconds: writes the waiting counts, and on a server looks after the settings
    // connection (noticing a lost server, reconnecting, listening again).
    void TmrAlarmDatabaseTimer();

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

Q_SIGNALS:
    // The alarm databases' state for the status line; empty when all is well.
    void databaseStateChanged(const QString& text);

private:
    // Another workstation changed the settings: new limits into the engine, the grid again.
    void settingsChangedElsewhere();
    void writeWaitingCounts();
    void showCounts();
    void updateDatabaseState();
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
    std::map<std::pair<int, int>, QString> m_waitingCounts; // (m, s) -> count text
    QString m_countError;                                   // why the waiting counts are waiting
    QString m_settingsError; // why the settings server is not there, while it is not
    bool m_reloadQueued = false;
    QTimer* m_tmrAlarmDatabase = nullptr;
    QThread* m_reachability = nullptr; // asking whether a lost server answers again

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
