#include "app/StartUp.h"

#include "alarms/AlarmDatabases.h"
#include "audit/AuditEntry.h"
#include "audit/AuditLog.h"
#include "audit/WriteAuditor.h"
#include "core/Home.h"
#include "core/QuillmereError.h"
#include "engine/TCommController.h"
#include "store/RegistryFile.h"
#include "ui/DialogKeys.h"
#include "ui/DialogService.h"
#include "ui/Handled.h"
#include "ui/dialogs/TFmAddAlarm.h"
#include "ui/dialogs/TFmAlmDlg.h"
#include "ui/dialogs/TFmBarPage.h"
#include "ui/dialogs/TFmBrowse.h"
#include "ui/dialogs/TFmChartSetting.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmLineStatistics.h"
#include "ui/dialogs/TFmModifyAlarm.h"
#include "ui/dialogs/TFmRecord.h"
#include "ui/dialogs/TFmTitle.h"
#include "ui/dialogs/TFmWriting.h"
#include "ui/dialogs/TFmshowpawd.h"
#include "ui/dialogs/TForm1.h"
#include "ui/dialogs/Tfmpaset.h"
#include "ui/dialogs/Tfmpassread.h"
#include "ui/main/TFmHome.h"

#include "ui/pages/TAlarmPage.h"
#include "ui/pages/TChartPage.h"
#include "ui/pages/TRecipePage.h"
#include "ui/params/TFmSetPage.h"
#include <QJsonArray>

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLockFile>
#include <QTimer>

Windows createWindows(DialogService& dialogs, store::RegistryFile& settings,
                      const StartOptions& options)
{
    Windows w;
    // Held here until every window exists: an error on the way takes them all with it.
    auto owner = std::make_unique<TFmHome>(dialogs, settings,
                                           options.makeEngine ? options.makeEngine()
                                                              : std::unique_ptr<TCommController>(),
                                           options.pictureFolder);
    TFmHome* home = owner.get();
    w.FmHome = home;
    home->setAttribute(Qt::WA_DeleteOnClose, false);
    // The dialogs are owned by the main window so that they go with it.
    w.FmCommSetting = new TFmCommSetting(dialogs, settings, home->engine().model(), home);
    QObject::connect(w.FmCommSetting, &TFmCommSetting::titleApplied, home,
                     handled(home, &TFmHome::setProgramTitle));
    w.FmSetPage = new TFmSetPage(dialogs, home->engine(), home);
    w.FmSetPage->setAuditor(&home->writeAuditor());
    w.FmBarPage = new TFmBarPage(home);
    QObject::connect(w.FmBarPage, &TFmBarPage::closedByUserOrTimer, home,
                     handled(home, &TFmHome::dpDialogClosed));
    TChartPage* charts = home->chartPage();
    w.FmChartSetting = new TFmChartSetting(
        dialogs, charts->charts(), [charts](int msecs) { charts->setSampleInterval(msecs); }, home);
    w.FmWriting = new TFmWriting(home);
    home->recipePage()->attachWritingDialog(w.FmWriting);
    TAlarmPage* alarms = home->alarmPage();
    w.FmAddAlarm = new TFmAddAlarm([alarms](const auto& row) { alarms->storeNewRow(row); }, home);
    w.FmModifyAlarm =
        new TFmModifyAlarm([alarms](const auto& row) { alarms->storeChangedRow(row); }, home);
    w.FmAlmDlg = new TFmAlmDlg(home);
    QObject::connect(w.FmAlmDlg, &TFmAlmDlg::acknowledged, home,
                     handled([home](const QStringList& lines, const QString& how) {
                         home->auditLog().record(
                             audit::kind::AlarmAcknowledged,
                             {{QStringLiteral("lines"), QJsonArray::fromStringList(lines)},
                              {QStringLiteral("by"), how}});
                     }));
    alarms->attachDialogs(w.FmAddAlarm, w.FmModifyAlarm, w.FmAlmDlg);
    w.FmRecord = new TFmRecord(home->recorder(), home);
    w.FmBrowse = new TFmBrowse(home);
    w.FmRecord->attachBrowse(w.FmBrowse);
    QObject::connect(w.FmBrowse, &TFmBrowse::folderChosen, w.FmRecord,
                     handled(w.FmRecord, &TFmRecord::setFilePath));
    w.fmpaset = new Tfmpaset(dialogs, settings, home);
    w.fmpassread = new Tfmpassread(dialogs, settings, home);
    QObject::connect(w.fmpassread, &Tfmpassread::unlockRequested, home,
                     handled([home] { home->setTilesLocked(false); }));
    w.Fmshowpawd = new TFmshowpawd(dialogs, home);
    QObject::connect(w.Fmshowpawd, &TFmshowpawd::lockRequested, home,
                     handled([home] { home->setTilesLocked(true); }));
    w.Form1 = new TForm1(dialogs, home);
    w.FmTitle = new TFmTitle(dialogs, settings, home);
    QObject::connect(w.FmTitle, &TFmTitle::titleChanged, home,
                     handled(home, &TFmHome::setCompanyTitle));
    w.FmLineStatistics = new TFmLineStatistics(&home->engine(), home);

    // Before any of them shows: Enter in a dialog's edit must press no button it did not choose.
    for (QDialog* dialog : home->findChildren<QDialog*>())
        keepEnterToChosenButtons(*dialog);

    w.Fmshowpawd->attachWindows(w);
    home->attachWindows(w);
    static_cast<void>(owner.release()); // the caller owns the main window from here
    return w;
}

Program::Program(DialogService& dialogs, StartOptions options)
    : m_dialogs(dialogs), m_options(std::move(options))
{
}

Program::~Program()
{
    // The windows hold the settings file: they go first.
    m_home.reset();
}

bool Program::fail(const QString& message, const QString& detail)
{
    m_home.reset();
    m_windows = {};
    m_dialogs.detailedMessage(nullptr, QCoreApplication::applicationName(), message, detail,
                              DialogService::Icon::Error);
    return false;
}

void Program::closeFromOutside()
{
    if (!m_started) {
        // A message of the start is on screen: it goes, and the close follows once the window
        // is up, or the program ends with the start that failed.
        m_closePending = true;
        QCoreApplication::exit(1);
        return;
    }
    if (m_home)
        m_home->setEndReason(QStringLiteral("signal"));
    if (m_home && m_home->close())
        QCoreApplication::quit();
}

bool Program::start()
{
    const QString home = core::homeFolder();
    QDir().mkpath(home);

    // One program per home: a second one would fight the first for the serial ports and
    // overwrite its settings at close. It leaves before it touches anything.
    m_lock = std::make_unique<QLockFile>(home + QStringLiteral("/quillmere.lock"));
    m_lock->setStaleLockTime(0); // a lock is stale when its program is gone, never by age
    if (!m_lock->tryLock(0)) {
        qint64 pid = 0;
        QString host, application;
        if (m_lock->error() == QLockFile::LockFailedError &&
            m_lock->getLockInfo(&pid, &host, &application))
            return fail(QStringLiteral("Quillmere Control is already running with the home "
                                       "folder %1 (process %2 on %3). Only one copy may use a "
                                       "home folder: a second one would compete with it for "
                                       "the serial ports and overwrite its settings.")
                            .arg(QDir::toNativeSeparators(home))
                            .arg(pid)
                            .arg(host));
        return fail(QStringLiteral("Quillmere Control cannot lock its home folder %1: %2")
                        .arg(QDir::toNativeSeparators(home),
                             m_lock->error() == QLockFile::PermissionError
                                 ? QStringLiteral("permission denied")
                                 : QStringLiteral("the lock file cannot be used")));
    }

    try {
        const QString path = home + QStringLiteral("/settings.reg");
        // Data records go to a folder in the operator's own home, as files of a user do.
        store::seedDefaultSettings(path, QDir::homePath());
        alarms::seedDefaultDatabases(home);
        m_settings = std::make_unique<store::RegistryFile>(path);
        m_windows = createWindows(m_dialogs, *m_settings, m_options);
        m_home.reset(m_windows.FmHome);
    } catch (const QuillmereError& error) {
        return fail(error.message(), error.detail());
    } catch (const std::exception& error) {
        return fail(QString::fromLocal8Bit(error.what()));
    }

    // The restore runs at the first showing; the program cannot run on half of it.
    m_home->show();
    if (!m_home->restoreError().isEmpty())
        return fail(m_home->restoreError(), m_home->restoreErrorDetail());
    m_started = true;
    if (m_closePending)
        QTimer::singleShot(0, m_home.get(), [this] { closeFromOutside(); });
    return true;
}
