#include "ui/pages/TAlarmHistoryPanel.h"

#include "core/Conversions.h"
#include "core/QuillmereError.h"
#include "ui/DialogService.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"
#include "ui/pages/AlarmHistoryPrint.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>

namespace {

const QString NoPrinter = QStringLiteral(
    "No default printer is set up, so the alarm history was not printed and is kept.");

std::unique_ptr<QPrinter> defaultPrinter()
{
    if (QPrinterInfo::defaultPrinter().isNull())
        throw QuillmereError(NoPrinter);
    return std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter());
}

QPushButton* addButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& place)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    return button;
}

} // namespace

TAlarmHistoryPanel::TAlarmHistoryPanel(DialogService& dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_now(&QDateTime::currentDateTime),
      m_printer(&defaultPrinter), m_lastAutoPrint(QDate(1899, 12, 30), QTime(0, 0))
{
    setObjectName(QStringLiteral("PnlAlarmRecord"));
    auto* heading = new QLabel(QStringLiteral("Alarm History"), this);
    heading->setObjectName(QStringLiteral("LbAlarmHistory"));
    heading->setFont(fonts::sans(20, true));
    heading->setGeometry(10, 4, 300, 30);

    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl1"));
    pages->setGeometry(8, 38, 770, 376);
    pages->addTab(buildTimeTab(), QStringLiteral("Time"));
    pages->addTab(buildFrequencyTab(), QStringLiteral("Frequency"));
    pages->setCurrentIndex(0);
}

QWidget* TAlarmHistoryPanel::buildTimeTab()
{
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet1"));
    m_lstAlarming = new QListWidget(tab);
    m_lstAlarming->setObjectName(QStringLiteral("LstAlarming"));
    QFont font(QStringLiteral("Arial"), 11);
    font.setBold(true);
    m_lstAlarming->setFont(font);
    m_lstAlarming->setStyleSheet(
        QStringLiteral("QListWidget { background: green; color: yellow; }"));
    m_lstAlarming->setGeometry(6, 6, 560, 334);

    auto* print = addButton(tab, "BtnPrintRecord", QStringLiteral("Print"), {580, 6, 170, 32});
    auto* del = addButton(tab, "BtnDelRecord", QStringLiteral("Delete"), {580, 44, 170, 32});
    auto* delAll =
        addButton(tab, "BtnDelAllRecord", QStringLiteral("Delete All"), {580, 82, 170, 32});
    connect(print, &QPushButton::clicked, this,
            handled(this, &TAlarmHistoryPanel::BtnPrintRecordClick));
    connect(del, &QPushButton::clicked, this,
            handled(this, &TAlarmHistoryPanel::BtnDelRecordClick));
    connect(delAll, &QPushButton::clicked, this,
            handled(this, &TAlarmHistoryPanel::BtnDelAllRecordClick));

    m_chkAutoPrn = new QCheckBox(QStringLiteral("Automatic Print"), tab);
    m_chkAutoPrn->setObjectName(QStringLiteral("ChkAutoPrn"));
    m_chkAutoPrn->setGeometry(580, 140, 170, 24);
    auto* per = new QLabel(QStringLiteral("Per"), tab);
    per->setObjectName(QStringLiteral("LbPer"));
    per->setGeometry(580, 172, 30, 24);
    m_txtPrnTime = new QLineEdit(QStringLiteral("10"), tab);
    m_txtPrnTime->setObjectName(QStringLiteral("TxtPrnTime"));
    m_txtPrnTime->setGeometry(612, 172, 50, 24);
    m_cboPrnTimeUnit = new QComboBox(tab);
    m_cboPrnTimeUnit->setObjectName(QStringLiteral("CboPrnTimeUnit"));
    m_cboPrnTimeUnit->addItems({QStringLiteral("Minute"), QStringLiteral("Hour")});
    m_cboPrnTimeUnit->setGeometry(668, 172, 82, 24);
    m_chkAutoDel = new QCheckBox(QStringLiteral("Delete Record "), tab);
    m_chkAutoDel->setObjectName(QStringLiteral("ChkAutoDel"));
    m_chkAutoDel->setGeometry(580, 204, 170, 24);
    auto* after = new QLabel(QStringLiteral("After Printing"), tab);
    after->setObjectName(QStringLiteral("LbAfterPrinting"));
    after->setGeometry(600, 228, 150, 20);
    for (QWidget* control :
         {static_cast<QWidget*>(m_txtPrnTime), static_cast<QWidget*>(m_cboPrnTimeUnit),
          static_cast<QWidget*>(m_chkAutoDel)})
        control->setEnabled(false);

    connect(m_chkAutoPrn, &QCheckBox::clicked, this,
            handled(this, &TAlarmHistoryPanel::ChkAutoPrnClick));
    connect(m_txtPrnTime, &QLineEdit::textChanged, this,
            handled(this, &TAlarmHistoryPanel::TxtPrnTimeChange));
    connect(m_cboPrnTimeUnit, &QComboBox::currentIndexChanged, this,
            handled(this, &TAlarmHistoryPanel::TxtPrnTimeChange));
    return tab;
}

QWidget* TAlarmHistoryPanel::buildFrequencyTab()
{
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet2"));
    m_counts = new QStandardItemModel(0, 3, this);
    m_counts->setHorizontalHeaderLabels(
        {QStringLiteral("Times"), QStringLiteral("Monitor"), QStringLiteral("Controller")});
    m_dbGrid2 = new QTableView(tab);
    m_dbGrid2->setObjectName(QStringLiteral("DBGrid2"));
    m_dbGrid2->setModel(m_counts);
    m_dbGrid2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dbGrid2->verticalHeader()->hide();
    m_dbGrid2->setColumnWidth(0, 112);
    m_dbGrid2->setColumnWidth(2, 77);
    m_dbGrid2->setGeometry(6, 6, 400, 334);
    return tab;
}

void TAlarmHistoryPanel::appendLine(const QString& line)
{
    m_lstAlarming->addItem(line);
}

QStringList TAlarmHistoryPanel::lines() const
{
    QStringList texts;
    for (int i = 0; i < m_lstAlarming->count(); ++i)
        texts << m_lstAlarming->item(i)->text();
    return texts;
}

void TAlarmHistoryPanel::showCounts(const QList<QStringList>& rows)
{
    m_counts->setRowCount(0);
    for (const QStringList& row : rows) {
        QList<QStandardItem*> items;
        for (const QString& text : row)
            items << new QStandardItem(text);
        m_counts->appendRow(items);
    }
}

void TAlarmHistoryPanel::print(QPrinter& printer)
{
    printer.setDocName(QStringLiteral("Alarm History"));
    printAlarmHistory(printer, lines());
}

void TAlarmHistoryPanel::BtnPrintRecordClick()
{
    if (m_lstAlarming->count() == 0)
        return;
    QPrinter printer;
    if (!m_dialogs.choosePrinter(this, &printer))
        return;
    // Without any printer Qt falls back to a PDF with no file: that is no printer either.
    const bool toFile = !printer.outputFileName().isEmpty();
    if (!toFile &&
        (printer.outputFormat() == QPrinter::PdfFormat || printer.printerName().isEmpty()))
        throw QuillmereError(NoPrinter);
    print(printer);
}

void TAlarmHistoryPanel::BtnDelRecordClick()
{
    QListWidgetItem* item = m_lstAlarming->currentItem();
    if (item && item->isSelected())
        delete item;
}

void TAlarmHistoryPanel::BtnDelAllRecordClick()
{
    m_lstAlarming->clear();
}

void TAlarmHistoryPanel::ChkAutoPrnClick()
{
    const bool on = m_chkAutoPrn->isChecked();
    m_chkAutoDel->setEnabled(on);
    m_txtPrnTime->setEnabled(on);
    m_cboPrnTimeUnit->setEnabled(on);
    if (on)
        m_lastAutoPrint = m_now();
}

void TAlarmHistoryPanel::TxtPrnTimeChange()
{
    // Raises the conversion error for a text that is no whole number; it stays as typed.
    if (core::toInteger(m_txtPrnTime->text()) > 0) {
        m_lastAutoPrint = m_now();
        return;
    }
    m_dialogs.message(nullptr, QStringLiteral("訊息"), QStringLiteral("輸入錯誤"),
                      DialogService::Icon::Warning);
    m_txtPrnTime->setText(QStringLiteral("1")); // a change too: the period starts anew
}

void TAlarmHistoryPanel::selectFirstPrintUnit()
{
    m_cboPrnTimeUnit->setCurrentIndex(0);
}

void TAlarmHistoryPanel::autoPrintCheck()
{
    if (!m_chkAutoPrn->isChecked())
        return;
    // While the operator is retyping the period it may be no number for a few ticks: the
    // check waits for it quietly; the change itself has already said what is wrong.
    // Nor does a period that is no positive length (".0", "-.5") or none a date can reach
    // ("1e20" minutes): either would print the whole history at every tick.
    bool ok = false;
    const double count = QLocale::system().toDouble(m_txtPrnTime->text().trimmed(), &ok);
    if (!ok || !(count > 0))
        return;
    double unitMs = 0;
    switch (m_cboPrnTimeUnit->currentIndex()) {
    case 0:
        unitMs = 60'000;
        break;
    case 1:
        unitMs = 3'600'000;
        break;
    default:
        return;
    }
    constexpr double LongestPeriodMs = 1000.0 * 86'400 * 366 * 100; // a century
    const double periodDouble = count * unitMs;
    if (!(periodDouble >= 1 && periodDouble <= LongestPeriodMs))
        return;
    const qint64 periodMs = qint64(periodDouble);
    const QDateTime now = m_now();
    if (!(now > m_lastAutoPrint.addMSecs(periodMs)))
        return;
    m_lastAutoPrint = now;
    if (m_lstAlarming->count() == 0)
        return;
    const std::unique_ptr<QPrinter> printer = m_printer();
    print(*printer);
    // Only after a print that went through: a failed one keeps the lines.
    if (m_chkAutoDel->isChecked() && m_chkAutoDel->isEnabled())
        m_lstAlarming->clear();
}
