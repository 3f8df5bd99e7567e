#pragma once

#include <QDateTime>
#include <QWidget>
#include <functional>
#include <memory>

class DialogService;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPrinter;
class QStandardItemModel;
class QTableView;

// The History sub-page of the Alarm page (`PnlAlarmRecord`): the alarm lines in arrival order
// on the "Time" tab with printing by hand and on a timer, and the slots that have raised
// alarms on the "Frequency" tab. The lines live in memory only.
class TAlarmHistoryPanel : public QWidget
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // The printer an automatic print goes to; raises when there is none.
    using PrinterSource = std::function<std::unique_ptr<QPrinter>()>;

    explicit TAlarmHistoryPanel(DialogService& dialogs, QWidget* parent = nullptr);

    void appendLine(const QString& line);
    QStringList lines() const;
    // The Frequency grid: rows of (AlarmCount, Panel, ControllerNO) in the order given.
    void showCounts(const QList<QStringList>& rows);

    // Tests and demos run the period on a clock of their own and print to a file.
    void setClock(Clock clock) { m_now = std::move(clock); }
    void setPrinterSource(PrinterSource source) { m_printer = std::move(source); }
    QDateTime LastAutoPrint() const { return m_lastAutoPrint; }

    // Handlers, named after their controls.
    void BtnPrintRecordClick();
    void BtnDelRecordClick();
    void BtnDelAllRecordClick();
    void ChkAutoPrnClick();
    void TxtPrnTimeChange(); // also CboPrnTimeUnit's change
    // Run on every tick of the main window's refresh timer.
    void autoPrintCheck();
    void selectFirstPrintUnit(); // CboPrnTimeUnit item 0, as start-up leaves it

private:
    QWidget* buildTimeTab();
    QWidget* buildFrequencyTab();
    void print(QPrinter& printer);

    DialogService& m_dialogs;
    Clock m_now;
    PrinterSource m_printer;
    // "0" until automatic printing is first switched on: the first day of the calendar the
    // program's dates have always counted from.
    QDateTime m_lastAutoPrint;

    QListWidget* m_lstAlarming = nullptr;
    QCheckBox* m_chkAutoPrn = nullptr;
    QLineEdit* m_txtPrnTime = nullptr;
    QComboBox* m_cboPrnTimeUnit = nullptr;
    QCheckBox* m_chkAutoDel = nullptr;
    QStandardItemModel* m_counts = nullptr;
    QTableView* m_dbGrid2 = nullptr;
};
