#pragma once

#include <QWidget>
#include <array>

class QPushButton;
class ScanIndicator;
class TController;

// The Monitor page (`Panel1`): the three Monitor panels of ten controller tiles with their scan
// indicators, and the row of buttons below them. It owns its widgets and the Monitor buttons'
// handler; what reaches beyond the page (starting the engine, opening dialogs) is signalled
// to the main window.
class TMonitorPage : public QWidget
{
    Q_OBJECT

public:
    explicit TMonitorPage(QWidget* parent = nullptr);

    TController* tile(int monitor, int slot) const;
    int CurrentMonitor() const { return m_currentMonitor; }

    // BtnA, BtnB, BtnC: shows that Monitor's panel and marks its button.
    void ShowMonitor(int monitor);
    // The engine's scan indicator: red above the given slot, all others white; monitor 0
    // turns them all white.
    void setActiveIndicator(int monitor, int slot);
    // The operator lock: the ID boxes and SET buttons of all thirty tiles, slot by slot.
    void setLocked(bool locked);
    void setStartEnabled(bool enabled);

Q_SIGNALS:
    void startClicked();         // BtnStart
    void rescanClicked();        // BtnScanDP
    void communicationClicked(); // BtnD
    void passwordClicked();      // Button5
    // A mouse button was released on the SET button of a tile.
    void setReleased(TController* tile);

private:
    void buildMonitorPanels();
    void buildButtonRow();

    int m_currentMonitor = 1;
    std::array<QWidget*, 3> m_monitorPanels{};      // PanelA..PanelC
    std::array<QPushButton*, 3> m_monitorButtons{}; // BtnA..BtnC
    std::array<std::array<TController*, 10>, 3> m_tiles{};
    std::array<ScanIndicator*, 30> m_indicators{}; // Shape1..Shape30
    QPushButton* m_btnStart = nullptr;
};
