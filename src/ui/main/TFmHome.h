#pragma once

#include "engine/TCommController.h"
#include "ui/main/Windows.h"

#include <QWidget>
#include <array>
#include <memory>

class DialogService;
class PageButton;
class QLabel;
class QPushButton;
class QTimer;
class ScanIndicator;
class TController;

// The main window: five pages in one rectangle, the Monitor page with thirty controller tiles,
// and the polling engine it owns.
class TFmHome : public QWidget
{
    Q_OBJECT

public:
    // `engine` null: the real engine over the real ports. The picture folder is the folder of
    // the program file unless given.
    explicit TFmHome(DialogService& dialogs, std::unique_ptr<TCommController> engine = {},
                     const QString& pictureFolder = {});
    ~TFmHome() override;

    // After every window exists.
    void attachWindows(const Windows& windows) { m_windows = windows; }

    TCommController& engine() { return *m_engine; }
    TController* tile(int monitor, int slot) const;
    int CurrentMonitor() const { return m_currentMonitor; }
    bool DpScanDone() const { return m_dpScanDone; }
    int LastAutoPrint = 0;

    // Handlers, named after their controls.
    void BtnStartClick();
    void BtnScanDPClick();
    void ShowMonitor(int monitor); // BtnA, BtnB, BtnC
    void TmrHomeTimer();
    void applyEngineUpdate(const EngineUpdate& update);
    void dpDialogClosed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMonitorPage();
    void buildPageButtons();
    // The click on page button ImgButton<pageButton>.
    void switchPage(int pageButton);
    void loadPicture(PageButton* button, const QString& file);
    void hotKey();

    DialogService& m_dialogs;
    std::unique_ptr<TCommController> m_engine;
    QString m_pictureFolder;
    Windows m_windows;

    int m_currentMonitor = 1;
    bool m_dpScanDone = false;

    QLabel* m_title = nullptr;                      // Label2
    QLabel* m_version = nullptr;                    // RzVersionInfoStatus4
    std::array<QWidget*, 5> m_pages{};              // Panel1..Panel5
    std::array<QWidget*, 3> m_monitorPanels{};      // PanelA..PanelC
    std::array<QPushButton*, 3> m_monitorButtons{}; // BtnA..BtnC
    std::array<std::array<TController*, 10>, 3> m_tiles{};
    std::array<ScanIndicator*, 30> m_indicators{}; // Shape1..Shape30
    std::array<PageButton*, 6> m_pageButtons{};    // ImgButton1..ImgButton6 (index 5 unused)
    QPushButton* m_btnStart = nullptr;
    QPushButton* m_btnScanDp = nullptr;
    QTimer* m_tmrHome = nullptr;
};
