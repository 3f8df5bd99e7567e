#include "ui/history/TFmHistory.h"

#include "ui/DialogService.h"
#include "ui/charts/TrendPlot.h"
#include "ui/history/HistoryPlot.h"
#include "ui/history/TimeAxis.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int A = 0; // the period chosen
constexpr int B = 1; // the period compared with it

QPushButton* button(QBoxLayout* layout, const char* name, const QString& text)
{
    auto* b = new QPushButton(text);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    layout->addWidget(b);
    return b;
}

QDateTimeEdit* dateEdit(QBoxLayout* layout, const char* name, const QString& label)
{
    if (!label.isEmpty())
        layout->addWidget(new QLabel(label));
    auto* e = new QDateTimeEdit;
    e->setObjectName(QLatin1String(name));
    e->setCalendarPopup(true);
    e->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat) +
                        QStringLiteral(" HH:mm"));
    layout->addWidget(e);
    return e;
}

QString number(double v, int decimals = -1)
{
    if (std::isnan(v))
        return QStringLiteral("-");
    return decimals < 0 ? QLocale::system().toString(v, 'g', 7)
                        : QLocale::system().toString(v, 'f', decimals);
}

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QIcon slotIcon(int slot)
{
    QPixmap swatch(14, 14);
    swatch.fill(TrendPlot::slotColour(slot));
    return QIcon(swatch);
}

} // namespace

TFmHistory::TFmHistory(DialogService& dialogs, HistoryOptions options, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_options(std::move(options))
{
    setObjectName(QStringLiteral("FmHistory"));
    setWindowTitle(caption());
    resize(1180, 800);
    for (int p : {A, B}) {
        m_loaders[size_t(p)] = new HistoryLoader(this);
        connect(m_loaders[size_t(p)], &HistoryLoader::finished, this,
                [this, p](const auto& result) { loaded(p, result); });
        connect(m_loaders[size_t(p)], &HistoryLoader::cancelled, this, [this, p] {
            m_states[size_t(p)] = QStringLiteral("cancelled");
            showStatus();
        });
    }
    buildControls();
    restoreSettings();
    if (!m_options.folder.isEmpty())
        m_folder->setText(m_options.folder);
    m_title->setText(storedTitle());
    const QDateTime now = QDateTime::currentDateTime();
    m_to->setDateTime(now);
    m_from->setDateTime(now.addDays(-1));
    m_compareTo->setDateTime(now.addDays(-1));
    m_compareFrom->setDateTime(now.addDays(-2));
    showStatus();
}

TFmHistory::~TFmHistory() = default;

void TFmHistory::buildControls()
{
    auto* layout = new QVBoxLayout(this);

    auto* source = new QHBoxLayout;
    layout->addLayout(source);
    source->addWidget(new QLabel(QStringLiteral("Record folder")));
    m_folder = new QLineEdit;
    m_folder->setObjectName(QStringLiteral("TxtFolder"));
    source->addWidget(m_folder, 1);
    connect(button(source, "BtnBrowse", QStringLiteral("Browse...")), &QPushButton::clicked, this,
            &TFmHistory::BtnBrowseClick);
    source->addSpacing(12);
    m_monitor = new QComboBox;
    m_monitor->setObjectName(QStringLiteral("CboMonitor"));
    for (int m = 1; m <= history::Monitors; ++m)
        m_monitor->addItem(QStringLiteral("Monitor%1").arg(m), m);
    source->addWidget(m_monitor);
    connect(m_monitor, &QComboBox::activated, this, [this] {
        if (m_results[A])
            BtnShowClick();
    });

    auto* slotRow = new QHBoxLayout;
    layout->addLayout(slotRow);
    slotRow->addWidget(new QLabel(QStringLiteral("Slots")));
    for (int s = 1; s <= history::Slots; ++s) {
        auto* c = new QCheckBox(QString::number(s));
        c->setObjectName(QStringLiteral("ChkSlot%1").arg(s));
        c->setIcon(slotIcon(s));
        c->setChecked(true);
        m_slots[size_t(s - 1)] = c;
        slotRow->addWidget(c);
        connect(c, &QCheckBox::toggled, this, [this, s](bool on) {
            m_plot->setSlotShown(s, on);
            updateStatistics();
        });
    }
    m_sv = new QCheckBox(QStringLiteral("SV lines"));
    m_sv->setObjectName(QStringLiteral("ChkSv"));
    m_sv->setChecked(true);
    slotRow->addSpacing(12);
    slotRow->addWidget(m_sv);
    slotRow->addStretch();

    auto* period = new QHBoxLayout;
    layout->addLayout(period);
    m_from = dateEdit(period, "DtFrom", QStringLiteral("From"));
    m_to = dateEdit(period, "DtTo", QStringLiteral("to"));
    connect(button(period, "BtnShow", QStringLiteral("Show")), &QPushButton::clicked, this,
            &TFmHistory::BtnShowClick);
    period->addSpacing(12);
    connect(button(period, "BtnLast24h", QStringLiteral("Last 24 hours")), &QPushButton::clicked,
            this, [this] { showLast(24); });
    connect(button(period, "BtnLast7d", QStringLiteral("Last 7 days")), &QPushButton::clicked, this,
            [this] { showLast(24 * 7); });
    connect(button(period, "BtnLast30d", QStringLiteral("Last 30 days")), &QPushButton::clicked,
            this, [this] { showLast(24 * 30); });
    period->addSpacing(12);
    m_cancel = button(period, "BtnCancel", QStringLiteral("Cancel"));
    m_cancel->setEnabled(false);
    connect(m_cancel, &QPushButton::clicked, this, &TFmHistory::BtnCancelClick);
    period->addStretch();

    auto* compare = new QHBoxLayout;
    layout->addLayout(compare);
    m_compare = new QCheckBox(QStringLiteral("Compare with"));
    m_compare->setObjectName(QStringLiteral("ChkCompare"));
    compare->addWidget(m_compare);
    m_compareFrom = dateEdit(compare, "DtCompareFrom", QString());
    m_compareTo = dateEdit(compare, "DtCompareTo", QStringLiteral("to"));
    compare->addWidget(new QLabel(QStringLiteral("(drawn lighter, both from their first row)")));
    compare->addStretch();
    connect(m_compare, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            if (m_results[A])
                BtnShowClick();
            return;
        }
        m_loaders[B]->cancel();
        m_results[B].reset();
        m_states[B].clear();
        m_plot->setPeriod(B, nullptr, 0);
        showStatus();
    });

    auto* splitter = new QSplitter(Qt::Vertical);
    layout->addWidget(splitter, 1);
    m_plot = new HistoryPlot;
    for (int s = 1; s <= history::Slots; ++s)
        m_plot->setSlotShown(s, true);
    splitter->addWidget(m_plot);
    connect(m_sv, &QCheckBox::toggled, m_plot, &HistoryPlot::setSvShown);
    connect(m_plot, &HistoryPlot::viewChanged, this, &TFmHistory::updateStatistics);

    auto* lower = new QWidget;
    auto* lowerLayout = new QHBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    splitter->addWidget(lower);
    m_statistics = new QTableWidget(0, int(statisticsHeader().size()));
    m_statistics->setObjectName(QStringLiteral("GridStatistics"));
    m_statistics->setHorizontalHeaderLabels(statisticsHeader());
    m_statistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_statistics->verticalHeader()->hide();
    m_statistics->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    lowerLayout->addWidget(m_statistics, 1);
    splitter->setSizes({520, 200});

    auto* side = new QGridLayout;
    lowerLayout->addLayout(side);
    int row = 0;
    side->addWidget(new QLabel(QStringLiteral("Band around SV")), row, 0);
    m_band = new QDoubleSpinBox;
    m_band->setObjectName(QStringLiteral("SpnBand"));
    m_band->setRange(0, 10000);
    m_band->setDecimals(1);
    m_band->setValue(5);
    side->addWidget(m_band, row++, 1);
    connect(m_band, &QDoubleSpinBox::valueChanged, this, &TFmHistory::updateStatistics);
    side->addWidget(new QLabel(QStringLiteral("Report title")), row, 0);
    m_title = new QLineEdit;
    m_title->setObjectName(QStringLiteral("TxtTitle"));
    side->addWidget(m_title, row++, 1);
    side->addWidget(new QLabel(QStringLiteral("Reviewer")), row, 0);
    m_reviewer = new QLineEdit;
    m_reviewer->setObjectName(QStringLiteral("TxtReviewer"));
    side->addWidget(m_reviewer, row++, 1);
    auto* exports = new QHBoxLayout;
    side->addLayout(exports, row++, 0, 1, 2);
    connect(button(exports, "BtnResetZoom", QStringLiteral("Reset zoom")), &QPushButton::clicked,
            m_plot, &HistoryPlot::reset);
    connect(button(exports, "BtnCsv", QStringLiteral("Export CSV...")), &QPushButton::clicked, this,
            &TFmHistory::BtnCsvClick);
    connect(button(exports, "BtnPdf", QStringLiteral("PDF Report...")), &QPushButton::clicked, this,
            &TFmHistory::BtnPdfClick);
    side->setRowStretch(row, 1);

    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("LbStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_status);
}

bool TFmHistory::reading() const
{
    return m_loaders[A]->busy() || m_loaders[B]->busy();
}

void TFmHistory::BtnBrowseClick()
{
    const QString folder =
        m_dialogs.folderName(this, QStringLiteral("Record folder"), m_folder->text());
    if (folder.isEmpty())
        return;
    m_folder->setText(QDir::toNativeSeparators(folder));
    BtnShowClick();
}

void TFmHistory::showLast(int hours)
{
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 length = qint64(hours) * 3600;
    {
        const QSignalBlocker b1(m_from), b2(m_to), b3(m_compareFrom), b4(m_compareTo);
        m_to->setDateTime(now);
        m_from->setDateTime(now.addSecs(-length));
        m_compareTo->setDateTime(now.addSecs(-length));
        m_compareFrom->setDateTime(now.addSecs(-2 * length));
    }
    BtnShowClick();
}

void TFmHistory::BtnShowClick()
{
    const QString folder = m_folder->text().trimmed();
    const int monitor = m_monitor->currentData().toInt();
    const QString monitorFolder = QDir(folder).filePath(QStringLiteral("Monitor%1").arg(monitor));
    const auto refuse = [this](const QString& why) {
        m_states = {why, QString()};
        showStatus();
    };
    if (folder.isEmpty())
        return refuse(QStringLiteral("Choose the record folder (the one holding Monitor1..3)."));
    if (!QFileInfo(monitorFolder).isDir())
        return refuse(QStringLiteral("%1 holds no folder Monitor%2.").arg(folder).arg(monitor));
    if (m_from->dateTime() >= m_to->dateTime())
        return refuse(QStringLiteral("The period ends before it starts."));
    const bool compare = m_compare->isChecked();
    if (compare && m_compareFrom->dateTime() >= m_compareTo->dateTime())
        return refuse(QStringLiteral("The compared period ends before it starts."));

    m_states = {QStringLiteral("reading..."), compare ? QStringLiteral("reading...") : QString()};
    m_loaders[A]->start(folder, monitor, m_from->dateTime(), m_to->dateTime());
    if (compare)
        m_loaders[B]->start(folder, monitor, m_compareFrom->dateTime(), m_compareTo->dateTime());
    m_cancel->setEnabled(true);
    showStatus();
}

void TFmHistory::BtnCancelClick()
{
    for (HistoryLoader* loader : m_loaders)
        loader->cancel();
    m_cancel->setEnabled(false);
    Q_EMIT readsDone();
}

void TFmHistory::loaded(int which, const std::shared_ptr<const HistoryLoader::Result>& result)
{
    m_results[size_t(which)] = result;
    const history::ReadReport& r = result->report;
    QStringList parts;
    parts << QStringLiteral("%1 rows from %2 files (%3) in %4 s")
                 .arg(QLocale::system().toString(qlonglong(result->data->rowCount())))
                 .arg(r.files)
                 .arg(sizeText(r.bytes))
                 .arg(QLocale::system().toString(result->elapsedMs / 1000.0, 'f', 2));
    if (r.tornLines)
        parts << QStringLiteral("%1 torn lines skipped").arg(r.tornLines);
    if (r.duplicateRows)
        parts << QStringLiteral("%1 duplicate rows skipped").arg(r.duplicateRows);
    if (!r.problems.isEmpty())
        parts << QStringLiteral("%1 problems: %2").arg(r.problems.size()).arg(r.problems.first());
    m_states[size_t(which)] = parts.join(QStringLiteral("; "));
    // The compared period is drawn only beside a chosen one.
    if (which == A) {
        m_plot->setPeriod(A, result->data, result->from.toMSecsSinceEpoch());
        if (m_results[B] && m_compare->isChecked() && !m_loaders[B]->busy())
            m_plot->setPeriod(B, m_results[B]->data, m_results[B]->from.toMSecsSinceEpoch());
    } else if (m_results[A] && m_compare->isChecked()) {
        m_plot->setPeriod(B, result->data, result->from.toMSecsSinceEpoch());
    }
    showStatus();
    if (!reading()) {
        m_cancel->setEnabled(false);
        Q_EMIT readsDone();
    }
}

void TFmHistory::showStatus()
{
    QStringList problems;
    for (const auto& r : m_results)
        if (r)
            problems += r->report.problems;
    QString text = m_states[A];
    if (!m_states[B].isEmpty())
        text = QStringLiteral("A: %1    B: %2").arg(m_states[A], m_states[B]);
    m_status->setText(text);
    m_status->setToolTip(problems.join(QLatin1Char('\n')));
    m_status->setStyleSheet(problems.isEmpty() ? QString() : QStringLiteral("color: #b00000"));
}

QStringList TFmHistory::statisticsHeader()
{
    return {QStringLiteral("Period"),
            QStringLiteral("Slot"),
            QStringLiteral("Min"),
            QStringLiteral("Max"),
            QStringLiteral("Mean"),
            QStringLiteral("Above SV + band"),
            QStringLiteral("Below SV - band"),
            QStringLiteral("Gaps")};
}

std::vector<int> TFmHistory::chosenSlots() const
{
    std::vector<int> chosen;
    for (int s = 1; s <= history::Slots; ++s)
        if (m_slots[size_t(s - 1)]->isChecked())
            chosen.push_back(s);
    return chosen;
}

QList<QStringList> TFmHistory::statisticsRows() const
{
    QList<QStringList> rows;
    for (int p : {A, B}) {
        const history::MonitorHistory* data = m_plot->data(p);
        if (!data)
            continue;
        const qint64 t0 = m_plot->origin(p) + m_plot->viewStart();
        const qint64 t1 = m_plot->origin(p) + m_plot->viewEnd();
        for (int slot : chosenSlots()) {
            const history::SlotStatistics s =
                history::statistics(*data, slot, t0, t1, m_band->value());
            rows << QStringList{p == A ? QStringLiteral("A") : QStringLiteral("B"),
                                QString::number(slot),
                                number(s.min),
                                number(s.max),
                                number(s.mean, 2),
                                historyview::durationText(s.msAbove),
                                historyview::durationText(s.msBelow),
                                QString::number(s.gaps)};
        }
    }
    return rows;
}

void TFmHistory::updateStatistics()
{
    const QList<QStringList> rows = statisticsRows();
    m_statistics->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c) {
            auto* item = new QTableWidgetItem(rows[r][c]);
            if (c == 1)
                item->setIcon(slotIcon(rows[r][c].toInt()));
            m_statistics->setItem(r, c, item);
        }
}
