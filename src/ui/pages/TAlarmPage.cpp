#include "ui/pages/TAlarmPage.h"

#include "alarms/AlarmCountTable.h"
#include "alarms/AlarmDatabases.h"
#include "alarms/AlarmSettingsTable.h"
#include "alarms/DuplicateAlarmSetting.h"
#include "alarms/SqlConnection.h"
#include "core/Home.h"
#include "core/QuillmereError.h"
#include "engine/StationModel.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/dialogs/TFmAlmDlg.h"
#include "ui/dialogs/TFmModifyAlarm.h"
#include "ui/main/SubPageButtons.h"
#include "ui/pages/TAlarmHistoryPanel.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QTimer>

namespace {

struct Column
{
    const char* title;
    int width;
};

constexpr Column SettingColumns[] = {
    {"Monitor", 52},
    {"Controller", 62},
    {"Deviation High Alarm Value", 170},
    {"Deviation Low Alarm Value", 166},
    {"Alarm at First Time", 129},
};

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& place)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    return button;
}

// How often waiting counts are tried again and a settings server is looked at.
constexpr int DatabaseCheckMs = 5000;

} // namespace

TAlarmPage::TAlarmPage(DialogService& dialogs, StationModel& model, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_model(model)
{
    setObjectName(QStringLiteral("Panel3"));
    m_btnAlmSetting =
        addButton(this, "BtnAlmSetting", QStringLiteral("Alarm Setting"), {10, 424, 150, 32});
    m_btnAlmRecord =
        addButton(this, "BtnAlmRecord", QStringLiteral("History"), {170, 424, 150, 32});
    connect(m_btnAlmSetting, &QPushButton::clicked, this,
            handled(this, &TAlarmPage::BtnAlmSettingClick));
    connect(m_btnAlmRecord, &QPushButton::clicked, this,
            handled(this, &TAlarmPage::BtnAlmRecordClick));

    m_pnlAlarmSetting = buildSettingPanel();
    m_history = new TAlarmHistoryPanel(dialogs, this);
    for (QWidget* panel : {m_pnlAlarmSetting, static_cast<QWidget*>(m_history)}) {
        panel->setGeometry(0, 0, 786, 418);
        panel->setAutoFillBackground(true);
    }
    m_tmrAlarmDatabase = new QTimer(this);
    m_tmrAlarmDatabase->setObjectName(QStringLiteral("TmrAlarmDatabase"));
    m_tmrAlarmDatabase->setInterval(DatabaseCheckMs);
    connect(m_tmrAlarmDatabase, &QTimer::timeout, this,
            handled(this, &TAlarmPage::TmrAlarmDatabaseTimer));
    // The History sub-page is the one in front at start.
    m_history->raise();
    markSubPageButton(m_btnAlmRecord, {m_btnAlmSetting, m_btnAlmRecord});
}

TAlarmPage::~TAlarmPage()
{
    // A check under way ends within the connect timeout.
    if (m_reachability) {
        m_reachability->disconnect(this);
        m_reachability->wait();
        delete m_reachability;
    }
    // The connections go with the tables: a program started again in the same process (the
    // tests, a home folder switched) must not keep writing to the files of the last one.
    m_tableAlm.reset();
    m_qryAlmCount.reset();
    QSqlDatabase::removeDatabase(alarms::DbAlarmInfo);
    QSqlDatabase::removeDatabase(alarms::DbAlarmCount);
}

QWidget* TAlarmPage::buildSettingPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PnlAlarmSetting"));
    auto* heading = new QLabel(QStringLiteral("Alarm Setting"), panel);
    heading->setObjectName(QStringLiteral("LbAlarmSetting"));
    heading->setFont(fonts::sans(20, true));
    heading->setGeometry(10, 4, 300, 30);

    m_settings = new QStandardItemModel(0, 5, this);
    QStringList titles;
    for (const Column& column : SettingColumns)
        titles << QString::fromLatin1(column.title);
    m_settings->setHorizontalHeaderLabels(titles);
    m_dbGrid1 = new QTableView(panel);
    m_dbGrid1->setObjectName(QStringLiteral("DBGrid1"));
    m_dbGrid1->setModel(m_settings);
    m_dbGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dbGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dbGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_dbGrid1->verticalHeader()->hide();
    for (int c = 0; c < 5; ++c)
        m_dbGrid1->setColumnWidth(c, SettingColumns[c].width);
    m_dbGrid1->setGeometry(10, 40, 600, 370);

    auto* add = addButton(panel, "BtnAddSetting", QStringLiteral("Add...."), {626, 40, 150, 32});
    auto* modify =
        addButton(panel, "BtnModifySetting", QStringLiteral("Modify...."), {626, 80, 150, 32});
    auto* del = addButton(panel, "BtnDeleteSetting", QStringLiteral("Delete"), {626, 120, 150, 32});
    auto* delAll =
        addButton(panel, "BtnDelteAll", QStringLiteral("Delete All"), {626, 160, 150, 32});
    connect(add, &QPushButton::clicked, this, handled(this, &TAlarmPage::BtnAddSettingClick));
    connect(modify, &QPushButton::clicked, this, handled(this, &TAlarmPage::BtnModifySettingClick));
    connect(del, &QPushButton::clicked, this, handled(this, &TAlarmPage::BtnDeleteSettingClick));
    connect(delAll, &QPushButton::clicked, this, handled(this, &TAlarmPage::BtnDelteAllClick));
    return panel;
}

void TAlarmPage::openTables()
{
    const QString home = core::homeFolder();
    // The count table has thirty rows, one per slot of this workstation: on the database the
    // workstations share, each start would reset the others' counts and they would overwrite
    // each other's.
    if (alarms::sharesTheSettingsDatabase(home)) {
        throw QuillmereError(
            QStringLiteral("databases.ini points DbAlarmCount at the server database that "
                           "DbAlarmInfo shares with other workstations. Alarm counts belong to "
                           "one workstation: keep DbAlarmCount in this workstation's home "
                           "(Driver=QSQLITE, Database=DbAlarmCount.sqlite)."));
    }
    alarms::openDatabase(alarms::DbAlarmInfo, home);
    m_tableAlm = std::make_unique<alarms::AlarmSettingsTable>();
    m_tableAlm->loadInto(m_model); // the engine has not started: no one else reads the model
    refreshSettings();
    m_history->selectFirstPrintUnit();
    alarms::openDatabase(alarms::DbAlarmCount, home);
    m_qryAlmCount = std::make_unique<alarms::AlarmCountTable>();
    m_qryAlmCount->resetAll();
    // Queued: a reconnect reports from inside whatever operation reconnected.
    m_tableAlm->watchChanges([this] {
        if (m_reloadQueued)
            return;
        m_reloadQueued = true;
        QMetaObject::invokeMethod(this, &TAlarmPage::settingsChangedElsewhere,
                                  Qt::QueuedConnection);
    });
    m_tmrAlarmDatabase->start();
}

void TAlarmPage::settingsChangedElsewhere()
{
    m_reloadQueued = false;
    try {
        m_rows = m_tableAlm->reloadInto(m_model, m_rows);
        refreshSettings();
    } catch (const QuillmereError&) {
        // The server went again: the next check reconnects, and a reconnect reads it again.
    }
    updateDatabaseState();
}

void TAlarmPage::TmrAlarmDatabaseTimer()
{
    writeWaitingCounts();
    if (!m_tableAlm || m_tableAlm->connection().driverName() != QLatin1String("QPSQL"))
        return;
    alarms::SqlConnection& connection = m_tableAlm->connection();
    if (connection.isOpen()) {
        // A trivial statement finds a server that went away while nothing was asked of it.
        try {
            connection.exec(QStringLiteral("SELECT 1"));
            m_settingsError.clear();
        } catch (const QuillmereError& error) {
            m_settingsError = error.message();
        }
        updateDatabaseState();
        return;
    }
    // Lost: whether the server answers again is asked on a thread of its own, so that the
    // window never waits out a connect to a host that is gone.
    if (m_reachability)
        return;
    auto answer = std::make_shared<QString>();
    m_reachability = QThread::create(
        [check = alarms::reachabilityCheck(alarms::DbAlarmInfo), answer] { *answer = check(); });
    connect(m_reachability, &QThread::finished, this, handled([this, answer] {
                m_reachability->deleteLater();
                m_reachability = nullptr;
                if (!answer->isEmpty()) {
                    m_settingsError = *answer;
                    updateDatabaseState();
                    return;
                }
                // It answered a moment ago: reconnect now (which listens again and reads the
                // table).
                m_tableAlm->connection().retryNow();
                try {
                    m_tableAlm->connection().exec(QStringLiteral("SELECT 1"));
                    m_settingsError.clear();
                } catch (const QuillmereError& error) {
                    m_settingsError = error.message();
                }
                updateDatabaseState();
            }));
    m_reachability->start();
}

void TAlarmPage::writeWaitingCounts()
{
    if (m_waitingCounts.empty() || !m_qryAlmCount)
        return;
    try {
        while (!m_waitingCounts.empty()) {
            const auto it = m_waitingCounts.begin();
            m_qryAlmCount->write(it->first.first, it->first.second, it->second);
            m_waitingCounts.erase(it);
        }
        m_countError.clear();
        showCounts();
    } catch (const QuillmereError& error) {
        m_countError = error.message();
    }
    updateDatabaseState();
}

void TAlarmPage::showCounts()
{
    QList<QStringList> rows;
    for (const alarms::AlarmCountRow& row : m_qryAlmCount->frequencyRows())
        rows << QStringList{row.AlarmCount, row.Panel, row.ControllerNO};
    m_history->showCounts(rows);
}

void TAlarmPage::updateDatabaseState()
{
    QStringList parts;
    if (!m_waitingCounts.empty()) {
        parts << QStringLiteral("Alarm counts: %1 waiting (%2)")
                     .arg(m_waitingCounts.size())
                     .arg(m_countError.simplified());
    }
    // One line: the server's messages come in several.
    if (!m_settingsError.isEmpty())
        parts << QStringLiteral("Alarm settings server unreachable: ") +
                     m_settingsError.simplified();
    Q_EMIT databaseStateChanged(parts.join(QStringLiteral("  ")));
}

void TAlarmPage::attachDialogs(TFmAddAlarm* add, TFmModifyAlarm* modify, TFmAlmDlg* message)
{
    m_add = add;
    m_modify = modify;
    m_message = message;
}

void TAlarmPage::alarmRaised(int monitor, int slot, const QString& line, const QString& countText)
{
    m_history->appendLine(line);
    if (m_message)
        m_message->addAlarm(line);
    // Behind counts that wait, this one waits too: one try per check, not one per alarm, so
    // an alarm storm against a stalled table does not hold the window once per alarm.
    const bool wasWaiting = !m_waitingCounts.empty();
    m_waitingCounts[{monitor, slot}] = countText;
    if (wasWaiting) {
        updateDatabaseState();
        return;
    }
    writeWaitingCounts();
    if (!m_waitingCounts.empty()) {
        // Said once when counting stops; the status line keeps the tally after that.
        m_dialogs.message(window(), QCoreApplication::applicationName(),
                          QStringLiteral("The alarm count of Monitor %1, Controller %2 cannot be "
                                         "stored: %3\nThe alarms go on being shown and "
                                         "published; their counts are kept and written as soon "
                                         "as the table takes them.")
                              .arg(monitor)
                              .arg(slot)
                              .arg(m_countError),
                          DialogService::Icon::Error);
    }
}

void TAlarmPage::refreshSettings()
{
    alarms::AlarmSetting selected;
    const bool hadSelection = currentRow(selected);
    const int oldIndex = m_dbGrid1->currentIndex().row();
    m_rows = m_tableAlm->rows();
    m_settings->setRowCount(0);
    int keep = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const alarms::AlarmSetting& row = m_rows[i];
        QList<QStandardItem*> items;
        for (const QString& text :
             {row.Panel, row.ControllerNO, row.HAlarm, row.LAlarm, row.FirstAlarm})
            items << new QStandardItem(text);
        m_settings->appendRow(items);
        if (hadSelection && row.Panel == selected.Panel &&
            row.ControllerNO == selected.ControllerNO)
            keep = i;
    }
    // A deleted row hands the selection on to the row that took its place, as a table's
    // cursor does.
    if (keep < 0)
        keep = std::min(std::max(oldIndex, 0), int(m_rows.size()) - 1);
    if (keep >= 0)
        m_dbGrid1->selectRow(keep);
}

bool TAlarmPage::currentRow(alarms::AlarmSetting& row) const
{
    const int index = m_dbGrid1->currentIndex().row();
    if (index < 0 || index >= m_rows.size())
        return false;
    row = m_rows[index];
    return true;
}

void TAlarmPage::storeRow(const alarms::AlarmSettingValues& values, bool isNew)
{
    const auto rowsOfKey = [&values](const QList<alarms::AlarmSetting>& rows) {
        QList<alarms::AlarmSetting> found;
        for (const auto& r : rows)
            if (r.monitor() == values.Panel.toInt() && r.slot() == values.ControllerNO.toInt())
                found << r;
        return found;
    };
    const QList<alarms::AlarmSetting> before = rowsOfKey(m_rows);
    try {
        if (isNew)
            m_tableAlm->insert(values, m_model);
        else
            m_tableAlm->update(values, m_model);
    } catch (const alarms::DuplicateAlarmSetting& refused) {
        m_dialogs.message(window(), QStringLiteral("警報點重複設定"),
                          QStringLiteral("盤面:") + refused.Panel + QStringLiteral(",") +
                              QStringLiteral("溫控點:") + refused.ControllerNO,
                          DialogService::Icon::Warning);
        throw; // the database's own refusal goes on to the general error handler
    }
    refreshSettings();
    emit alarmSettingChanged(isNew ? QStringLiteral("added") : QStringLiteral("modified"), before,
                             rowsOfKey(m_rows));
}

void TAlarmPage::storeNewRow(const alarms::AlarmSettingValues& values)
{
    storeRow(values, true);
}

void TAlarmPage::storeChangedRow(const alarms::AlarmSettingValues& values)
{
    storeRow(values, false);
}

void TAlarmPage::BtnAlmSettingClick()
{
    m_pnlAlarmSetting->show();
    m_history->hide();
    markSubPageButton(m_btnAlmSetting, {m_btnAlmSetting, m_btnAlmRecord});
}

void TAlarmPage::BtnAlmRecordClick()
{
    m_history->show();
    m_pnlAlarmSetting->hide();
    markSubPageButton(m_btnAlmRecord, {m_btnAlmSetting, m_btnAlmRecord});
}

void TAlarmPage::BtnAddSettingClick()
{
    if (!m_add)
        return;
    m_add->show();
    m_add->raise();
    m_add->activateWindow();
}

void TAlarmPage::BtnModifySettingClick()
{
    alarms::AlarmSetting row;
    if (m_modify && currentRow(row))
        m_modify->openFor(row);
}

void TAlarmPage::BtnDeleteSettingClick()
{
    alarms::AlarmSetting row;
    if (!currentRow(row))
        return;
    m_tableAlm->remove(row.Panel, row.ControllerNO, m_model);
    refreshSettings();
    emit alarmSettingChanged(QStringLiteral("deleted"), {row}, {});
}

void TAlarmPage::BtnDelteAllClick()
{
    const QList<alarms::AlarmSetting> before = m_rows;
    m_tableAlm->removeAll(m_model);
    refreshSettings();
    emit alarmSettingChanged(QStringLiteral("deleted all"), before, {});
}
