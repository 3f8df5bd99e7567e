#include "ui/dialogs/TFmLineStatistics.h"

#include "core/LocaleText.h"
#include "engine/TCommController.h"
#include "ui/Fonts.h"
#include "ui/Handled.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget* makeTable(QWidget* parent, const char* name, int rows, const QStringList& headers)
{
    auto* table = new QTableWidget(rows, int(headers.size()), parent);
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setFocusPolicy(Qt::NoFocus);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(22);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < int(headers.size()); ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
    return table;
}

// Cells are set at every refresh; one that did not change is left alone.
void setCell(QTableWidget* table, int row, int column, const QString& text)
{
    QTableWidgetItem* item = table->item(row, column);
    if (item->text() != text)
        item->setText(text);
}

QString whenText(const QDateTime& when, const QLocale& locale)
{
    if (!when.isValid())
        return QStringLiteral("-");
    const QString time = core::longTimeText(when.time(), locale);
    if (when.date() == QDate::currentDate())
        return time;
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') + time;
}

} // namespace

TFmLineStatistics::TFmLineStatistics(TCommController* engine, QWidget* parent)
    : QDialog(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("FmLineStatistics"));
    setWindowTitle(QStringLiteral("Line Statistics"));
    setModal(false);
    resize(1000, 620);
    setFont(fonts::sans(12));

    m_since = new QLabel(this);
    m_since->setObjectName(QStringLiteral("LbSince"));

    m_lines = makeTable(this, "GrdLines", 3,
                        {QStringLiteral("Port"), QStringLiteral("Transactions"),
                         QStringLiteral("Good replies"), QStringLiteral("Timeouts"),
                         QStringLiteral("Malformed"), QStringLiteral("Port errors"),
                         QStringLiteral("Writes"), QStringLiteral("Last cycle (ms)"),
                         QStringLiteral("Average cycle (ms)"), QStringLiteral("Answering"),
                         QStringLiteral("Port error")});
    m_lines->setVerticalHeaderLabels(
        {QStringLiteral("Monitor1"), QStringLiteral("Monitor2"), QStringLiteral("Monitor3")});
    // All three lines in view at once, without scrolling.
    m_lines->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_lines->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_lines->setFixedHeight(m_lines->horizontalHeader()->sizeHint().height() +
                            3 * m_lines->verticalHeader()->defaultSectionSize() + 4);
    for (int r = 0; r < 3; ++r)
        m_lines->item(r, ColPortError)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_slots =
        makeTable(this, "GrdSlots", 30,
                  {QStringLiteral("Monitor"), QStringLiteral("Slot"), QStringLiteral("Station ID"),
                   QStringLiteral("Last good reply"), QStringLiteral("Failures")});
    m_slots->verticalHeader()->hide();
    for (int r = 0; r < 30; ++r) {
        m_slots->item(r, ColMonitor)->setText(QStringLiteral("Monitor%1").arg(r / 10 + 1));
        m_slots->item(r, ColSlot)->setText(QString::number(r % 10 + 1));
    }

    m_reset = new QPushButton(QStringLiteral("Reset"), this);
    m_reset->setObjectName(QStringLiteral("BtnReset"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("BtnClose"));
    connect(m_reset, &QPushButton::clicked, this, handled(this, &TFmLineStatistics::BtnResetClick));
    connect(m_close, &QPushButton::clicked, this, handled(this, &QDialog::close));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_reset);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_since);
    layout->addWidget(m_lines);
    layout->addWidget(m_slots, 1);
    layout->addLayout(buttons);

    m_timer.setObjectName(QStringLiteral("TmrRefresh"));
    m_timer.setParent(this);
    m_timer.setInterval(RefreshIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, handled(this, &TFmLineStatistics::refresh));
}

void TFmLineStatistics::refresh()
{
    if (m_engine)
        showStatistics(m_engine->statisticsCopy());
}

void TFmLineStatistics::showStatistics(const EngineStatistics& stats)
{
    const QLocale locale = QLocale::system();
    const QString since = QStringLiteral("Counted since %1").arg(whenText(stats.since, locale));
    if (m_since->text() != since)
        m_since->setText(since);
    for (int m = 1; m <= 3; ++m) {
        const LineStatistics& line = stats.line(m);
        const int row = m - 1;
        const auto count = [&locale](quint64 n) { return locale.toString(qulonglong(n)); };
        setCell(m_lines, row, ColPort, QStringLiteral("COM%1").arg(line.comPort));
        setCell(m_lines, row, ColTransactions, count(line.transactions));
        setCell(m_lines, row, ColGood, count(line.goodReplies));
        setCell(m_lines, row, ColTimeouts, count(line.timeouts));
        setCell(m_lines, row, ColMalformed, count(line.malformed));
        setCell(m_lines, row, ColPortErrors, count(line.portErrors));
        setCell(m_lines, row, ColWrites, count(line.writes));
        const bool timed = line.cycles > 0;
        setCell(m_lines, row, ColLastCycle,
                timed ? locale.toString(line.lastCycleMs, 'f', 1) : QStringLiteral("-"));
        setCell(m_lines, row, ColAverageCycle,
                timed ? locale.toString(line.averageCycleMs, 'f', 1) : QStringLiteral("-"));
        setCell(m_lines, row, ColAnswering,
                QStringLiteral("%1/%2").arg(line.answeringSlots()).arg(line.slotStatistics.size()));
        setCell(m_lines, row, ColPortError, line.portError);
        for (int s = 1; s <= 10; ++s) {
            const SlotStatistics& slot = line.slot(s);
            const int slotRow = row * 10 + s - 1;
            setCell(m_slots, slotRow, ColStation, QString::number(slot.stationId));
            setCell(m_slots, slotRow, ColLastGood, whenText(slot.lastGoodReply, locale));
            setCell(m_slots, slotRow, ColFailures, count(slot.failures));
        }
    }
}

void TFmLineStatistics::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // It opens with the focus on Close: on Reset, Enter would clear the counts.
    m_close->setFocus();
    refresh();
    m_timer.start();
}

void TFmLineStatistics::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    // Minimised with the main window it keeps counting on screen; closed, it stops.
    if (!event->spontaneous())
        m_timer.stop();
}

void TFmLineStatistics::BtnResetClick()
{
    if (!m_engine)
        return;
    m_engine->ResetStatistics();
    refresh();
}
