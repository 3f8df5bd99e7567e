#pragma once

#include "link/LinkTypes.h"
#include "params/ParameterEntry.h"

#include <QDialog>
#include <array>
#include <map>

class DialogService;
class QLabel;
class QLineEdit;
class QTabWidget;
class SetPageTab;
class TCommController;
namespace audit {
class WriteAuditor;
}
struct WriteResult;

// "Set Controller": writes one controller parameter at a time to the controller whose SET
// button opened it. Six tabs of parameters from the catalogue, each value keyed in on an
// on-screen keypad or picked from choosers; Levels 1 and 2 check the number first. A write is
// handed to the engine and nothing is read back: clearing the value edit is the only sign of
// success. A write the engine cannot carry out (a station it must not address, a value the
// controller cannot hold) is refused with a message, before it is posted or when its turn comes.
// Created once and only hidden when closed, so every entry survives until the program ends.
class TFmSetPage : public QDialog
{
    Q_OBJECT

public:
    TFmSetPage(DialogService& dialogs, TCommController& engine, QWidget* parent = nullptr);

    // The header after a SET button: `LbPanel` (Monitor), `LbNO` (the two-digit slot number)
    // and `LbID` (station ID). Every write goes to the controller the header shows, whatever
    // page the main window has turned to since.
    void setTarget(const QString& panel, const QString& slotNumber, const QString& id);
    // The operator lock: locking hides the dialog, and no write goes out until it is lifted.
    void setLocked(bool locked);
    // Where its writes are recorded; none when null.
    void setAuditor(audit::WriteAuditor* auditor) { m_audit = auditor; }

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
    void refuseWrite(const QString& parameter, const QString& valueText, int monitor, int slot,
                     int station, const QString& reason);
    void engineWriteResult(const WriteResult& result);
    SetPageTab& page(params::TabId tab) const { return *m_pages[size_t(tab)]; }

    DialogService& m_dialogs;
    TCommController& m_engine;
    TAddress m_selectedCode = 0;
    bool m_locked = false;
    // This dialog's writes not yet sent or refused by the engine: id -> parameter name.
    std::map<quint64, QString> m_posted;
    audit::WriteAuditor* m_audit = nullptr;

    QLabel* m_panel = nullptr; // LbPanel
    QLabel* m_no = nullptr;    // LbNO
    QLabel* m_id = nullptr;    // LbID
    QTabWidget* m_tabs = nullptr;
    std::array<SetPageTab*, 6> m_pages{};
};
