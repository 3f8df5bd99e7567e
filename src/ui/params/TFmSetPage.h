#pragma once

#include "link/LinkTypes.h"
#include "params/ParameterEntry.h"

#include <QDialog>
#include <array>
#include <functional>

class DialogService;
class QLabel;
class QLineEdit;
class QTabWidget;
class SetPageTab;
class TCommController;

// "Set Controller": writes one controller parameter at a time to the controller whose SET
// button opened it. Six tabs of parameters from the catalogue, each value keyed in on an
// on-screen keypad or picked from choosers; Levels 1 and 2 check the number first. A write is
// handed to the engine and nothing is read back: clearing the value edit is the only sign.
// Created once and only hidden when closed, so every entry survives until the program ends.
class TFmSetPage : public QDialog
{
    Q_OBJECT

public:
    // `currentMonitor` tells the main window's CurrentMonitor; it is asked at every Write,
    // since the operator may have changed pages since the dialog was opened.
    TFmSetPage(DialogService& dialogs, TCommController& engine, std::function<int()> currentMonitor,
               QWidget* parent = nullptr);

    // The header after a SET button: `LbPanel` (Monitor, shown only), `LbNO` (the two-digit
    // slot number that every write goes to) and `LbID` (station ID, shown only).
    void setTarget(const QString& panel, const QString& slotNumber, const QString& id);

    void WritwL1Click();
    void WritwL2Click();
    void WritwL3Click();
    void WritwL4Click();
    void WritwP1Click();
    void WritwP2Click();

    // The keypad keys of `tab`: a digit or '.' is appended to the tab's value edit, the back
    // key removes its last character. A disabled key does nothing.
    void KeyClick(params::TabId tab, QChar key);
    void KeyBack(params::TabId tab);

    // The code of the parameter written last; 0 until the first write.
    TAddress SelectedCode() const { return m_selectedCode; }

private:
    void buildHeader();
    void write(params::TabId tab);
    // Levels 1 and 2: the checks before a write, in their order; false when one refused.
    bool checkKeypadValue(QLineEdit& edit, bool keypadParameter);
    void refuse(const QString& text);
    SetPageTab& page(params::TabId tab) const { return *m_pages[size_t(tab)]; }

    DialogService& m_dialogs;
    TCommController& m_engine;
    std::function<int()> m_currentMonitor;
    TAddress m_selectedCode = 0;

    QLabel* m_panel = nullptr; // LbPanel
    QLabel* m_no = nullptr;    // LbNO
    QLabel* m_id = nullptr;    // LbID
    QTabWidget* m_tabs = nullptr;
    std::array<SetPageTab*, 6> m_pages{};
};
