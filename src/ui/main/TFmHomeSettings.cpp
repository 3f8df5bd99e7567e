// The main window's restore at its first showing and its store at closing: the values of the
// tiles, the recipe edits and of each dialog, each key followed by its dialog's confirm
// operation, so the engine and the dialogs start exactly as if the operator had pressed OK.
#include "core/Conversions.h"
#include "core/QuillmereError.h"
#include "record/DataRecorder.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/dialogs/TFmAlmDlg.h"
#include "ui/dialogs/TFmChartSetting.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmRecord.h"
#include "ui/main/TController.h"
#include "ui/main/TFmHome.h"

#include "audit/AuditEntry.h"
#include "audit/AuditLog.h"

#include <QCoreApplication>

#include "publish/MqttPublisher.h"
#include "ui/pages/TChartPage.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMutexLocker>
#include <QTimer>

namespace {

constexpr const char* Letters = "ABC";

QString slotValue(const char* prefix, int monitor, int slot)
{
    return QLatin1String(prefix) + QLatin1Char(Letters[monitor - 1]) + QLatin1Char('_') +
           QString::number(slot);
}

} // namespace

void TFmHome::FormShow()
{
    SettingsStore store(m_settings);
    store.setRoot(SettingsStore::Root::LocalMachine);
    // The alarm message dialog is shown once and hidden at once, so that it has its place and
    // size before the first alarm.
    m_windows.FmAlmDlg->show();
    m_windows.FmAlmDlg->hide();

    store.openKey(store::programKey(QStringLiteral("FmHome")));
    setCompanyTitle(store.readString(QStringLiteral("HmTitle")));
    restoreHomeValues(store);
    store.closeKey();

    store.openKey(store::programKey(QStringLiteral("FmCommSetting")));
    m_windows.FmCommSetting->restoreSettings(store);
    store.closeKey();
    m_windows.FmCommSetting->BtnOKClick();

    store.openKey(store::programKey(QStringLiteral("FmChartSetting")));
    m_windows.FmChartSetting->restoreSettings(store);
    store.closeKey();
    m_windows.FmChartSetting->BtnChtSetingOkClick();

    store.openKey(store::programKey(QStringLiteral("FmRecord")));
    m_windows.FmRecord->restoreSettings(store);
    store.closeKey();
    m_windows.FmRecord->BtnOKClick();

    // Recording never runs before Start, whatever "ChkSave" holds.
    m_recorder->switchTimer(false);
    // Rows the last close could not write go to the folder just restored.
    m_recorder->takeBack();
    m_audit->record(audit::kind::ProgramStart, {{QStringLiteral("version"), m_version->text()}});
}

void TFmHome::restoreHomeValues(SettingsStore& store)
{
    StationModel& model = m_engine->model();
    for (int n = 1; n <= SlotCount; ++n) {
        for (int m = 1; m <= MonitorCount; ++m)
            tile(m, n)->setTitleText(store.readString(slotValue("UnitTitle", m, n)));
        // A tile turns an empty ID into "1" by itself.
        for (int m = 1; m <= MonitorCount; ++m)
            tile(m, n)->setIdText(store.readString(slotValue("ID", m, n)));
        for (int m = 1; m <= MonitorCount; ++m) {
            const int id = core::toInteger(tile(m, n)->idText());
            QMutexLocker lock(&model.mutex);
            model.station(m, n).StationId = id;
        }
        for (int m = 1; m <= MonitorCount; ++m)
            recipeEdit(m, n)->setText(store.readString(slotValue("Recipe", m, n)));
    }
}

void TFmHome::FormClose()
{
    {
        SettingsStore store(m_settings);
        store.setRoot(SettingsStore::Root::LocalMachine);
        store.openKey(store::programKey(QStringLiteral("FmHome")));
        storeHomeValues(store);
        store.closeKey();

        store.openKey(store::programKey(QStringLiteral("FmCommSetting")));
        m_windows.FmCommSetting->storeSettings(store);
        store.closeKey();

        store.openKey(store::programKey(QStringLiteral("FmChartSetting")));
        m_windows.FmChartSetting->storeSettings(store);
        store.closeKey();

        store.openKey(store::programKey(QStringLiteral("FmRecord")));
        m_windows.FmRecord->storeSettings(store);
        store.closeKey();
    }

    // The chart timer first, then the record timer, then TmrHome.
    m_chartPage->stopSampling();
    // Writes what waits, or keeps it in the home for the next start.
    m_recorder->finish();
    m_tmrHome->stop();
    m_engine->Stop();
    // The broker hears "offline" from us, not only as the last will.
    if (m_publisher)
        m_publisher->stop();
    m_audit->record(audit::kind::ProgramEnd, {{QStringLiteral("how"), m_endReason}});
    // Closing the main window ends the program: no dialog stays behind.
    for (QDialog* dialog : findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        dialog->hide();
}

QString TFmHome::storableId(int m, int n)
{
    const QString text = tile(m, n)->idText();
    try {
        core::toInteger(text);
        return text;
    } catch (const QuillmereError&) {
        StationModel& model = m_engine->model();
        QMutexLocker lock(&model.mutex);
        return QString::number(model.station(m, n).StationId);
    }
}

void TFmHome::storeHomeValues(SettingsStore& store)
{
    for (int n = 1; n <= SlotCount; ++n) {
        for (int m = 1; m <= MonitorCount; ++m)
            store.writeString(slotValue("UnitTitle", m, n), tile(m, n)->titleText());
        // The box takes digits only, but a number past the integer range or a pasted text
        // would stop the next start: the slot's station ID in force goes in its place.
        for (int m = 1; m <= MonitorCount; ++m)
            store.writeString(slotValue("ID", m, n), storableId(m, n));
        for (int m = 1; m <= MonitorCount; ++m)
            store.writeString(slotValue("Recipe", m, n), recipeEdit(m, n)->text());
    }
}
