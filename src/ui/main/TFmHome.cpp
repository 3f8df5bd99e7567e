#include "ui/main/TFmHome.h"

#include "audit/AuditEntry.h"
#include "audit/AuditLog.h"
#include "audit/WriteAuditor.h"
#include "ui/Handled.h"
#include "ui/audit/TFmAuditTrail.h"
#include "ui/main/AuditHooks.h"

#include <QMenu>

#include "core/Home.h"
#include "publish/MqttPublisher.h"

#include "core/QuillmereError.h"
#include "engine/TCommController.h"
#include "record/DataRecorder.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/dialogs/TFmBarPage.h"
#include "ui/dialogs/TFmChartSetting.h"
#include "ui/dialogs/TFmCommSetting.h"
#include "ui/dialogs/TFmLineStatistics.h"
#include "ui/dialogs/TFmRecord.h"
#include "ui/dialogs/TFmTitle.h"
#include "ui/dialogs/TFmshowpawd.h"
#include "ui/dialogs/TForm1.h"
#include "ui/main/HotKeyFilter.h"
#include "ui/main/PageButton.h"
#include "ui/main/StatusLine.h"
#include "ui/main/TController.h"
#include "ui/pages/TAlarmHistoryPanel.h"
#include "ui/pages/TAlarmPage.h"
#include "ui/pages/TBarChartPage.h"
#include "ui/pages/TChartPage.h"
#include "ui/pages/TMonitorPage.h"
#include "ui/pages/TRecipePage.h"
#include "ui/params/TFmSetPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int PageCount = 5;

struct PageButtonInfo
{
    int number; // ImgButton<number>
    int left;
    const char* caption;
    int page; // Panel<page>
};

// Left to right along the bottom edge.
constexpr PageButtonInfo PageButtons[] = {
    {1, 26, "Quillmere Controller-->Monitor", 1},    {2, 146, "Quillmere Controller-->Chart", 2},
    {6, 266, "Quillmere Controller-->Bar Chart", 5}, {3, 386, "Quillmere Controller-->Alarm", 3},
    {4, 506, "Quillmere Controller-->Recipe", 4},
};

const PageButtonInfo& pageButtonInfo(int number)
{
    for (const PageButtonInfo& info : PageButtons)
        if (info.number == number)
            return info;
    Q_UNREACHABLE();
}

// Shows a modeless window, or brings it forward when it is already open.
void bringUp(QWidget* window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

TFmHome::TFmHome(DialogService& dialogs, store::RegistryFile& settings,
                 std::unique_ptr<TCommController> engine, const QString& pictureFolder)
    : m_dialogs(dialogs), m_settings(settings),
      m_engine(engine ? std::move(engine) : std::make_unique<TCommController>()),
      m_pictureFolder(pictureFolder.isEmpty() ? core::dataFolder() : pictureFolder)
{
    setObjectName(QStringLiteral("FmHome"));
    setFixedSize(800, 570);
    setWindowTitle(QCoreApplication::applicationName());

    m_audit = new audit::AuditLog(core::homeFolder() + QStringLiteral("/audit"), this);
    // Before any window that reports writes connects to the engine: an entry is on the disk
    // before its write is shown as done.
    m_writeAuditor = new audit::WriteAuditor(*m_audit, *m_engine, this);
    connectAuditTrail(*m_audit, m_settings, this);
    m_monitorPage = new TMonitorPage(this);
    // The alarm settings go into the engine's model before anything can start it.
    m_alarmPage = new TAlarmPage(dialogs, m_engine->model(), this);
    m_alarmPage->openTables();
    connect(m_alarmPage, &TAlarmPage::alarmSettingChanged, this,
            handled([this](const QString& action, const auto& before, const auto& after) {
                m_audit->record(audit::kind::AlarmSetting,
                                alarmSettingDetails(action, before, after));
            }));
    m_recipePage = new TRecipePage(dialogs, *m_engine, this);
    m_recipePage->setAuditor(m_writeAuditor);
    // Monitor 1's chart button comes marked; the bars are created with their page.
    m_chartPage = new TChartPage(
        dialogs, m_engine->model(), [this] { return m_dpScanDone; }, this);
    m_barChartPage = new TBarChartPage(m_engine->model(), this);
    m_barChartPage->ShowBars(1);
    m_pages = {m_monitorPage, m_chartPage, m_alarmPage, m_recipePage, m_barChartPage};
    for (int p = 0; p < PageCount; ++p) {
        m_pages[size_t(p)]->setObjectName(QStringLiteral("Panel%1").arg(p + 1));
        m_pages[size_t(p)]->setGeometry(6, 32, 786, 462);
        // Opaque: the page on top hides the ones below it until the first switch.
        m_pages[size_t(p)]->setAutoFillBackground(true);
    }
    // All pages exist and are visible at creation; the Monitor page lies on top.
    m_pages[0]->raise();
    buildTitleAndPageButtons();

    m_hotKey = new HotKeyFilter([this](int id) { hotKey(id); }, this);

    // The ID boxes show the slots' station IDs until the stored IDs replace them.
    for (int m = 1; m <= MonitorCount; ++m)
        for (int s = 1; s <= SlotCount; ++s)
            tile(m, s)->setIdText(QString::number(m_engine->model().station(m, s).StationId));

    connect(m_monitorPage, &TMonitorPage::startClicked, this,
            handled(this, &TFmHome::BtnStartClick));
    connect(m_monitorPage, &TMonitorPage::rescanClicked, this,
            handled(this, &TFmHome::BtnScanDPClick));
    connect(m_monitorPage, &TMonitorPage::communicationClicked, this,
            handled(this, &TFmHome::BtnDClick));
    connect(m_monitorPage, &TMonitorPage::passwordClicked, this,
            handled(this, &TFmHome::Button5Click));
    connect(m_monitorPage, &TMonitorPage::setReleased, this, handled(this, &TFmHome::SetHandler));
    connect(m_chartPage, &TChartPage::chartSettingClicked, this,
            handled([this] { bringUp(m_windows.FmChartSetting); }));
    connect(m_engine.get(), &TCommController::updateRequested, this,
            handled(this, &TFmHome::applyEngineUpdate), Qt::QueuedConnection);

    loadPicture(m_pageButtons[0], QStringLiteral("button1D.bmp"));

    m_tmrHome = new QTimer(this);
    m_tmrHome->setObjectName(QStringLiteral("TmrHome"));
    m_tmrHome->setInterval(500);
    connect(m_tmrHome, &QTimer::timeout, this, handled(this, &TFmHome::TmrHomeTimer));

    // The tick copies the texts under the model lock and writes the files after it.
    m_recorder = new record::DataRecorder(
        [this] {
            record::RecordValues values;
            StationModel& model = m_engine->model();
            QMutexLocker lock(&model.mutex);
            for (int m = 1; m <= MonitorCount; ++m)
                for (int s = 1; s <= SlotCount; ++s)
                    values[size_t(m - 1)][size_t(s - 1)] = {model.station(m, s).PvText,
                                                            model.station(m, s).SvText};
            return values;
        },
        this);
    // While a message box is open the messages behind it wait; the status line counts them.
    m_dialogs.setWaitingListener([this](int waiting) {
        m_statusLine->setSegment(
            QStringLiteral("waiting"),
            waiting ? QStringLiteral("%1 more messages waiting behind the open box").arg(waiting)
                    : QString());
    });
    connect(m_alarmPage, &TAlarmPage::databaseStateChanged, m_statusLine,
            handled([this](const QString& text) {
                m_statusLine->setSegment(QStringLiteral("alarmdb"), text);
            }));
    connect(m_recorder, &record::DataRecorder::stateChanged, this,
            handled([this](const QString& text) {
                m_audit->record(audit::kind::Recording, {{QStringLiteral("state"), text}});
            }));
    connect(m_recorder, &record::DataRecorder::stateChanged, m_statusLine,
            handled([this](const QString& text) {
                m_statusLine->setSegment(QStringLiteral("record"), text);
            }));
    // Rows lost at the cap stay on the status line until the operator has clicked it.
    connect(m_statusLine, &StatusLine::clicked, m_recorder, &record::DataRecorder::acknowledgeLoss);
    m_recorder->setKeepFile(core::homeFolder() + QStringLiteral("/record-waiting.dat"));
    startPublishing();
}

void TFmHome::startPublishing()
{
    const publish::PublishSettings settings =
        publish::readPublishSettings(core::homeFolder() + QStringLiteral("/publish.ini"));
    if (!settings.enabled) {
        // A file that is wrong is said once; polling goes on without the broker.
        if (!settings.error.isEmpty())
            m_statusLine->setSegment(QStringLiteral("mqtt"),
                                     QStringLiteral("MQTT off: ") + settings.error);
        return;
    }
    m_publisher = new publish::MqttPublisher(
        settings, *m_engine, [this](int m, int s) { return tile(m, s)->titleText(); }, this);
    connect(m_publisher, &publish::MqttPublisher::statusChanged, m_statusLine,
            handled([this](const QString& text) {
                m_statusLine->setSegment(QStringLiteral("mqtt"), text);
            }));
    m_statusLine->setSegment(QStringLiteral("mqtt"), m_publisher->statusText());
    connect(m_audit, &audit::AuditLog::recorded, m_publisher,
            &publish::MqttPublisher::auditRecorded);
    // The state without the queue's length: the trail notes a failure and its recovery, not
    // every alarm queued during it.
    connect(m_publisher, &publish::MqttPublisher::statusChanged, this,
            handled([this, last = QString()](const QString& text) mutable {
                // The entry itself goes through the publisher and changes its status: `last`
                // is set first, so that this does not record again.
                const QString state = text.section(QStringLiteral(", "), 0, 0);
                if (state == last)
                    return;
                last = state;
                m_audit->record(audit::kind::Publishing, {{QStringLiteral("state"), state}});
            }));
}

TFmHome::~TFmHome()
{
    m_dialogs.setWaitingListener({});
    m_engine->Stop();
    // It reads the engine's model: it goes before the engine does.
    delete m_publisher;
    m_publisher = nullptr;
}

void TFmHome::buildTitleAndPageButtons()
{
    m_title = new QLabel(QStringLiteral("Please enter Ctrl+A change of company name"), this);
    m_title->setObjectName(QStringLiteral("Label2"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setFont(fonts::sans(21));
    m_title->setGeometry(197, 4, 426, 26);
    // The audit trail is reached from the title line's context menu: no control of the
    // window moves for it.
    m_title->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_title, &QLabel::customContextMenuRequested, this, handled([this](const QPoint& at) {
                QMenu menu(this);
                QAction* trail = menu.addAction(QStringLiteral("Audit Trail..."));
                trail->setObjectName(QStringLiteral("ActAuditTrail"));
                connect(trail, &QAction::triggered, this, handled(this, &TFmHome::showAuditTrail));
                QAction* viewer = menu.addAction(QStringLiteral("History Viewer..."));
                viewer->setObjectName(QStringLiteral("ActHistoryViewer"));
                connect(viewer, &QAction::triggered, this,
                        handled(this, &TFmHome::openHistoryViewer));
                menu.exec(m_title->mapToGlobal(at));
            }));

    m_version = new QLabel(QStringLiteral("VER 9.22"), this);
    m_version->setObjectName(QStringLiteral("RzVersionInfoStatus4"));
    m_version->setGeometry(678, 8, 78, 22);
    m_version->setCursor(Qt::PointingHandCursor);
    m_version->installEventFilter(this);

    for (const PageButtonInfo& info : PageButtons) {
        auto* button = new PageButton(this);
        button->setObjectName(QStringLiteral("ImgButton%1").arg(info.number));
        button->setGeometry(info.left, 498, info.number == 1 ? 113 : 112, 41);
        // The built-in look until the first switch reads the pictures from disk.
        button->setFrameStyle(QFrame::Panel | QFrame::Raised);
        button->setAlignment(Qt::AlignCenter);
        button->setText(QString::fromLatin1(info.caption).section(QStringLiteral("-->"), 1));
        const int number = info.number;
        connect(button, &PageButton::clicked, this,
                handled([this, number] { switchPage(number); }));
        m_pageButtons[size_t(number - 1)] = button;
    }

    auto* record = new QPushButton(QStringLiteral("Record...."), this);
    record->setObjectName(QStringLiteral("BitBtn1"));
    record->setGeometry(634, 498, 137, 41);
    record->setCursor(Qt::PointingHandCursor);
    connect(record, &QPushButton::clicked, this, handled(this, &TFmHome::BitBtn1Click));

    // Below the documented layout, so that nothing above it moves.
    m_statusLine = new StatusLine(this);
    // An entry the trail could not keep is said where the operator looks, until one goes in.
    connect(m_audit, &audit::AuditLog::failed, m_statusLine, handled([this](const QString& error) {
                m_statusLine->setSegment(QStringLiteral("audit"),
                                         QStringLiteral("Audit trail not written: %1").arg(error));
            }));
    connect(m_audit, &audit::AuditLog::recorded, m_statusLine,
            handled([this] { m_statusLine->setSegment(QStringLiteral("audit"), QString()); }));
    m_statusLine->setGeometry(0, 548, 800, 22);
    connect(m_statusLine, &StatusLine::clicked, this,
            handled([this] { bringUp(m_windows.FmLineStatistics); }));
}

TController* TFmHome::tile(int monitor, int slot) const
{
    return m_monitorPage->tile(monitor, slot);
}

QLineEdit* TFmHome::recipeEdit(int monitor, int slot) const
{
    return m_recipePage->recipeEdit(monitor, slot);
}

int TFmHome::CurrentMonitor() const
{
    return m_monitorPage->CurrentMonitor();
}

void TFmHome::ShowMonitor(int monitor)
{
    m_monitorPage->ShowMonitor(monitor);
}

void TFmHome::setCompanyTitle(const QString& title)
{
    m_title->setText(title);
}

TFmAuditTrail* TFmHome::showAuditTrail()
{
    if (!m_auditTrail)
        m_auditTrail = new TFmAuditTrail(
            m_dialogs, m_audit->folder(), [this] { return m_title->text(); }, this);
    m_auditTrail->reload();
    m_auditTrail->show();
    m_auditTrail->raise();
    return m_auditTrail;
}

QStringList TFmHome::historyViewerCommand() const
{
    // Beside this program in a build tree and in an installed bin folder alike.
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/quillmere-history"),
            QStringLiteral("--folder"), m_recorder->settings().RecordFolder,
            QStringLiteral("--audit"), m_audit->folder()};
}

void TFmHome::openHistoryViewer()
{
    QStringList command = historyViewerCommand();
    const QString program = command.takeFirst();
    if (!QProcess::startDetached(program, command))
        m_dialogs.message(this, QCoreApplication::applicationName(),
                          QStringLiteral("The history viewer could not be started: %1")
                              .arg(QDir::toNativeSeparators(program)),
                          DialogService::Icon::Warning);
}

void TFmHome::setProgramTitle(const QString& title)
{
    setWindowTitle(title);
    QCoreApplication::setApplicationName(title);
}

void TFmHome::setTilesLocked(bool locked)
{
    m_monitorPage->setLocked(locked);
    m_audit->record(locked ? audit::kind::Lock : audit::kind::Unlock, {});
    // A Set Controller dialog opened before the lock must not go on writing.
    if (m_windows.FmSetPage)
        m_windows.FmSetPage->setLocked(locked);
}

void TFmHome::switchPage(int pageButton)
{
    const PageButtonInfo& clicked = pageButtonInfo(pageButton);
    setWindowTitle(QLatin1String(clicked.caption));
    for (int p = 1; p <= PageCount; ++p)
        m_pages[size_t(p - 1)]->setVisible(p == clicked.page);

    // The pressed picture first (except for the bar chart button), then the others.
    QList<int> order;
    if (pageButton != 6)
        order << pageButton;
    for (int n : {1, 2, 3, 4, 6})
        if (n != pageButton || pageButton == 6)
            order << n;
    for (int n : order) {
        const QString file = QStringLiteral("button%1%2.bmp")
                                 .arg(n)
                                 .arg(n == pageButton ? QLatin1Char('D') : QLatin1Char('U'));
        loadPicture(m_pageButtons[size_t(n - 1)], file);
    }
}

void TFmHome::loadPicture(PageButton* button, const QString& file)
{
    const QString path = m_pictureFolder + QLatin1Char('/') + file;
    QPixmap picture;
    if (!picture.load(path))
        throw QuillmereError(QStringLiteral("Cannot open file %1").arg(path));
    button->setPixmap(picture);
}

void TFmHome::BtnStartClick()
{
    m_audit->record(audit::kind::Start, {});
    if (m_windows.FmBarPage)
        m_windows.FmBarPage->showCentredOn(this);
    m_engine->Start();
    m_tmrHome->start();
    if (m_recorder->settings().RecordEnabled)
        m_recorder->switchTimer(true);
    m_monitorPage->setStartEnabled(false);
}

void TFmHome::BtnScanDPClick()
{
    m_audit->record(audit::kind::Rescan, {});
    if (m_windows.FmBarPage)
        m_windows.FmBarPage->showCentredOn(this);
    m_engine->RequestRescan();
}

void TFmHome::BtnDClick()
{
    bringUp(m_windows.FmCommSetting);
}

void TFmHome::Button5Click()
{
    bringUp(m_windows.Fmshowpawd);
}

void TFmHome::RzVersionInfoStatus4Click()
{
    bringUp(m_windows.Form1);
}

void TFmHome::BitBtn1Click()
{
    bringUp(m_windows.FmRecord);
    // No rows while the operator changes how they are written; closing the dialog decides.
    m_recorder->switchTimer(false);
}

void TFmHome::TmrRecordTimer()
{
    m_recorder->TmrRecordTimer();
}

void TFmHome::SetHandler(TController* tile)
{
    if (!m_windows.FmSetPage)
        return;
    bringUp(m_windows.FmSetPage);
    m_windows.FmSetPage->setTarget(QString::number(CurrentMonitor()), tile->slotNumberText(),
                                   tile->idText());
}

void TFmHome::hotKey(int id)
{
    if (id == HotKeyFilter::HotKeyId)
        bringUp(m_windows.FmTitle);
}

bool TFmHome::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_version && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        runHandled([this] { RzVersionInfoStatus4Click(); });
    return QWidget::eventFilter(watched, event);
}

void TFmHome::dpDialogClosed()
{
    m_dpScanDone = true;
}

void TFmHome::TmrHomeTimer()
{
    StationModel& model = m_engine->model();
    const int m = CurrentMonitor();
    for (int s = 1; s <= 10; ++s) {
        TController* t = tile(m, s);
        const std::optional<int> id = t->stationId();
        QString pv, sv, out;
        {
            QMutexLocker lock(&model.mutex);
            StationRecord& rec = model.station(m, s);
            if (id)
                rec.StationId = *id;
            pv = rec.PvText;
            sv = rec.SvText;
            out = rec.OutText;
        }
        t->showValues(pv, sv, out);
    }
    m_statusLine->setStatistics(m_engine->statisticsCopy());
    // The bars before the print check: a print that fails is reported without holding up
    // the tiles or the bars.
    m_barChartPage->updateBars();
    m_alarmPage->history()->autoPrintCheck();
}

void TFmHome::applyEngineUpdate(const EngineUpdate& update)
{
    switch (update.kind) {
    case EngineUpdate::Indicator:
        m_monitorPage->setActiveIndicator(update.monitor, update.slot);
        break;
    case EngineUpdate::Lamps:
        tile(update.monitor, update.slot)->setLamps(update.value);
        break;
    case EngineUpdate::ScanProgress:
        if (m_windows.FmBarPage)
            m_windows.FmBarPage->setProgress(update.monitor, update.value);
        break;
    case EngineUpdate::Alarm:
        QApplication::beep();
        // On disk first (the trail shows it raised before anything reports it), then the
        // plant: nothing on this station's side may keep an alarm from it.
        m_audit->record(audit::kind::AlarmRaised, {{QStringLiteral("monitor"), update.monitor},
                                                   {QStringLiteral("slot"), update.slot},
                                                   {QStringLiteral("alarm"), update.text},
                                                   {QStringLiteral("count"), update.countText}});
        if (m_publisher)
            m_publisher->alarmRaised(update.monitor, update.slot, update.text, update.countText);
        m_alarmPage->alarmRaised(update.monitor, update.slot, update.text, update.countText);
        break;
    }
}

void TFmHome::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    try {
        FormShow();
    } catch (const QuillmereError& error) {
        m_restoreError = error.message();
        m_restoreErrorDetail = error.detail();
    } catch (const std::exception& error) {
        m_restoreError = QString::fromLocal8Bit(error.what());
    }
}

void TFmHome::closeEvent(QCloseEvent* event)
{
    // The window stays open unless the whole store went through: an error raised on the way
    // is shown and the operator can close again.
    event->ignore();
    if (runHandled([this] { FormClose(); }))
        event->accept();
}
