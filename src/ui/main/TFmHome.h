#pragma once

#include "engine/TCommController.h"
#include "ui/main/Windows.h"

#include <QWidget>
#include <array>
#include <memory>

class DialogService;
class HotKeyFilter;
class PageButton;
class QLabel;
class QLineEdit;
class QTimer;
class SettingsStore;
class TAlarmPage;
class TFmAuditTrail;
class TBarChartPage;
class TChartPage;
class StatusLine;
class TController;
class TMonitorPage;
class TRecipePage;
namespace store {
class RegistryFile;
}
namespace record {
class DataRecorder;
}
namespace publish {
class MqttPublisher;
}
namespace audit {
class AuditLog;
class WriteAuditor;
} // namespace audit

// The main window: a frame holding five pages in one rectangle, the title line, the page
// buttons along the bottom, the refresh timer, and the polling engine it owns. The pages are
// classes of their own; the frame connects them to the engine and the other windows.
class TFmHome : public QWidget
{
    Q_OBJECT

public:
    // `engine` null: the real engine over the real ports. The picture folder is the folder of
    // the program file unless given.
    TFmHome(DialogService& dialogs, store::RegistryFile& settings,
            std::unique_ptr<TCommController> engine = {}, const QString& pictureFolder = {});
    ~TFmHome() override;

    // After every window exists.
    void attachWindows(const Windows& windows) { m_windows = windows; }
    const Windows& windows() const { return m_windows; }

    TCommController& engine() { return *m_engine; }
    TController* tile(int monitor, int slot) const;
    QLineEdit* recipeEdit(int monitor, int slot) const; // RecipeEdits
    TRecipePage* recipePage() const { return m_recipePage; }
    TAlarmPage* alarmPage() const { return m_alarmPage; }
    // The record settings and the record timer `TmrRecord`.
    record::DataRecorder& recorder() const { return *m_recorder; }
    TChartPage* chartPage() const { return m_chartPage; }
    TBarChartPage* barChartPage() const { return m_barChartPage; }
    int CurrentMonitor() const;
    bool DpScanDone() const { return m_dpScanDone; }

    // The title line `Label2` (the company name).
    void setCompanyTitle(const QString& title);
    // The window caption and the application's title (the communication dialog's "Title").
    void setProgramTitle(const QString& title);
    // The operator lock on the tiles' ID boxes and SET buttons.
    void setTilesLocked(bool locked);

    // The restore, run once when the window is first shown; raises the first error.
    void FormShow();
    // The store at close, then the timers and the engine stop; raises the first error, and
    // then nothing after it is done.
    void FormClose();
    // The error that stopped the restore at the first showing, empty when it went through.
    // The program cannot run on half-restored settings: start-up ends it with this message.
    QString restoreError() const { return m_restoreError; }
    QString restoreErrorDetail() const { return m_restoreErrorDetail; }

    // Handlers, named after their controls.
    void BtnStartClick();
    void BtnScanDPClick();
    void BtnDClick();
    void Button5Click();
    void RzVersionInfoStatus4Click();
    void BitBtn1Click(); // "Record...."
    void TmrRecordTimer();
    void ShowMonitor(int monitor); // BtnA, BtnB, BtnC
    void TmrHomeTimer();
    void applyEngineUpdate(const EngineUpdate& update);
    void dpDialogClosed();
    void hotKey(int id);
    // A mouse button released on a tile's SET: the Set Controller dialog for that controller.
    void SetHandler(TController* tile);
    // The status line along the bottom: the lines' health, then what later features add.
    StatusLine* statusLine() const { return m_statusLine; }
    // Null unless <home>/publish.ini configures a broker.
    publish::MqttPublisher* publisher() const { return m_publisher; }
    // The audit trail in <home>/audit, and its record of controller writes.
    audit::AuditLog& auditLog() const { return *m_audit; }
    audit::WriteAuditor& writeAuditor() const { return *m_writeAuditor; }
    // How the program ends, for the trail: "window close" unless the closer says otherwise.
    void setEndReason(const QString& how) { m_endReason = how; }
    // "Audit Trail...", from the title line's context menu: the window, read afresh.
    TFmAuditTrail* showAuditTrail();
    // "History Viewer...", from the same menu: quillmere-history on the record folder and the
    // trail, as a program of its own. The command: the program file, then its arguments.
    QStringList historyViewerCommand() const;
    void openHistoryViewer();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTitleAndPageButtons();
    // The click on page button ImgButton<pageButton>.
    void switchPage(int pageButton);
    void loadPicture(PageButton* button, const QString& file);
    void restoreHomeValues(SettingsStore& store);
    QString storableId(int monitor, int slot);
    void startPublishing();
    void storeHomeValues(SettingsStore& store);

    DialogService& m_dialogs;
    store::RegistryFile& m_settings;
    std::unique_ptr<TCommController> m_engine;
    QString m_pictureFolder;
    Windows m_windows;
    HotKeyFilter* m_hotKey = nullptr;

    bool m_dpScanDone = false;
    bool m_shownOnce = false;
    bool m_closing = false;
    QString m_restoreError;
    QString m_restoreErrorDetail;

    QLabel* m_title = nullptr;         // Label2
    QLabel* m_version = nullptr;       // RzVersionInfoStatus4
    std::array<QWidget*, 5> m_pages{}; // Panel1..Panel5
    TMonitorPage* m_monitorPage = nullptr;
    TRecipePage* m_recipePage = nullptr;
    TAlarmPage* m_alarmPage = nullptr;
    TChartPage* m_chartPage = nullptr;
    TBarChartPage* m_barChartPage = nullptr;
    std::array<PageButton*, 6> m_pageButtons{}; // ImgButton1..ImgButton6 (index 5 unused)
    QTimer* m_tmrHome = nullptr;
    record::DataRecorder* m_recorder = nullptr;
    StatusLine* m_statusLine = nullptr; // below the page buttons
    publish::MqttPublisher* m_publisher = nullptr;
    audit::AuditLog* m_audit = nullptr;
    audit::WriteAuditor* m_writeAuditor = nullptr;
    QString m_endReason = QStringLiteral("window close");
    TFmAuditTrail* m_auditTrail = nullptr;
};
