#include "ui/history/TFmHistory.h"

#include "audit/AuditChain.h"
#include "audit/AuditView.h"
#include "core/QuillmereError.h"
#include "store/RegistryFile.h"
#include "store/SettingsStore.h"
#include "ui/DialogService.h"
#include "ui/charts/TrendPlot.h"
#include "ui/history/HistoryPlot.h"
#include "ui/history/HistoryReport.h"
#include "ui/history/TimeAxis.h"

#include <QCheckBox>
#include <QCloseEvent>
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
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("History Viewer");
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

// `path` lies in `folder` or below it.
bool isInside(const QString& path, const QString& folder)
{
    const QString dir = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    const QString base = QFileInfo(folder).canonicalFilePath();
    return !base.isEmpty() && !dir.isEmpty() &&
           (dir == base || dir.startsWith(base + QLatin1Char('/')));
}

} // namespace

TFmHistory::TFmHistory(DialogService& dialogs, HistoryOptions options, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_options(std::move(options))
{
    setObjectName(QStringLiteral("FmHistory"));
    setWindowTitle(Caption);
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

QString TFmHistory::subjectText() const
{
    QStringList names;
    for (int s : chosenSlots())
        names << QString::number(s);
    return QStringLiteral("Monitor%1, slots %2")
        .arg(m_plot->data(A) && m_results[A] ? m_results[A]->monitor
                                             : m_monitor->currentData().toInt())
        .arg(names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", ")));
}

QString TFmHistory::periodText(int which) const
{
    // A compared period shorter than the view ends where its rows end.
    qint64 end = m_plot->origin(which) + m_plot->viewEnd();
    const history::MonitorHistory* data = m_plot->data(which);
    if (data && data->rowCount() > 0)
        end = std::min(end, data->timeAt(data->rowCount() - 1));
    return QStringLiteral("%1 to %2")
        .arg(historyview::momentText(m_plot->origin(which) + m_plot->viewStart()),
             historyview::momentText(end));
}

QString TFmHistory::reportFileName(const QString& extension) const
{
    // Where the last export went; else the documents folder, or the home folder without one.
    QString folder = m_exportFolder;
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(m_plot->origin(A) + m_plot->viewStart());
    return QDir(folder).filePath(
        QStringLiteral("Monitor%1 %2.%3")
            .arg(m_results[A]->monitor)
            .arg(start.toString(QStringLiteral("yyyy-MM-dd HHmm")), extension));
}

bool TFmHistory::refuseRecordFolder(const QString& path)
{
    if (!isInside(path, m_folder->text().trimmed()))
        return false;
    m_dialogs.message(this, Caption,
                      QStringLiteral("%1 lies in the record folder, which the viewer never writes "
                                     "into: choose another folder.")
                          .arg(QDir::toNativeSeparators(path)),
                      DialogService::Icon::Warning);
    return true;
}

void TFmHistory::BtnCsvClick()
{
    if (!m_plot->data(A)) {
        m_dialogs.message(this, Caption, QStringLiteral("Nothing to export: show a period first."));
        return;
    }
    const QString path = m_dialogs.saveFileName(this, QStringLiteral("Export CSV"),
                                                reportFileName(QStringLiteral("csv")),
                                                QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty() || refuseRecordFolder(path))
        return;
    std::vector<int> series;
    for (int slot : chosenSlots())
        series.insert(series.end(),
                      {history::seriesIndex(slot, false), history::seriesIndex(slot, true)});
    const QByteArray text =
        history::csvText(*m_plot->data(A), series, m_plot->origin(A) + m_plot->viewStart(),
                         m_plot->origin(A) + m_plot->viewEnd());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit())
        m_exportFolder = QFileInfo(path).absolutePath();
    else
        m_dialogs.message(this, Caption,
                          QStringLiteral("%1 was not written: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()),
                          DialogService::Icon::Warning);
}

void TFmHistory::BtnPdfClick()
{
    if (!m_plot->data(A)) {
        m_dialogs.message(this, Caption, QStringLiteral("Nothing to report: show a period first."));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("History report"));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(reportFileName(QStringLiteral("pdf")));
    if (!m_dialogs.choosePrinter(this, &printer))
        return;
    if (printer.outputFormat() == QPrinter::PdfFormat &&
        (printer.outputFileName().isEmpty() || refuseRecordFolder(printer.outputFileName())))
        return;

    HistoryReportContent content;
    content.title = m_title->text();
    content.subject = subjectText();
    content.period = periodText(A);
    if (m_plot->comparing())
        content.compared = periodText(B);
    content.statisticsHeader = statisticsHeader();
    content.statisticsHeader[5] += QStringLiteral(" (%1)").arg(number(m_band->value(), 1));
    content.statistics = statisticsRows();
    content.reviewer = m_reviewer->text();

    const QString audit = m_options.auditFolder;
    if (audit.isEmpty() || !QFileInfo(audit).isDir()) {
        content.alarmsNote = QStringLiteral("No audit trail at hand: the alarms are not listed.");
    } else {
        audit::AuditFilter filter;
        filter.from =
            QDateTime::fromMSecsSinceEpoch(m_plot->origin(A) + m_plot->viewStart(), Qt::UTC);
        filter.to = QDateTime::fromMSecsSinceEpoch(m_plot->origin(A) + m_plot->viewEnd(), Qt::UTC);
        filter.kind = audit::kind::AlarmRaised;
        filter.monitor = m_results[A]->monitor;
        const std::vector<int> chosen = chosenSlots();
        const auto entries = audit::filterEntries(audit::readEntries(audit), filter);
        // Oldest first, as a report reads.
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (std::find(chosen.begin(), chosen.end(), it->slot()) == chosen.end())
                continue;
            content.alarms << QStringList{audit::localTimeText(*it), QString::number(it->monitor()),
                                          QString::number(it->slot()),
                                          it->details.value(QStringLiteral("alarm")).toString(),
                                          it->details.value(QStringLiteral("count")).toString()};
        }
        content.alarmsNote =
            content.alarms.isEmpty()
                ? QStringLiteral("No alarm was raised for these slots in the period (audit trail "
                                 "%1).")
                      .arg(QDir::toNativeSeparators(audit))
                : QStringLiteral("From the audit trail %1.").arg(QDir::toNativeSeparators(audit));
    }
    try {
        printHistoryReport(printer, content,
                           [this](QPainter& p, const QRect& r) { m_plot->draw(p, r); });
        if (!printer.outputFileName().isEmpty())
            m_exportFolder = QFileInfo(printer.outputFileName()).absolutePath();
    } catch (const QuillmereError& error) {
        m_dialogs.message(this, Caption, error.message(), DialogService::Icon::Warning);
    }
}

QString TFmHistory::storedTitle() const
{
    // The company title the main program shows in its title line, when its store is here.
    const QString path = QDir(m_options.home).filePath(QStringLiteral("settings.reg"));
    if (!QFileInfo::exists(path))
        return {};
    try {
        store::RegistryFile file(path);
        SettingsStore home(file);
        home.setRoot(SettingsStore::Root::LocalMachine);
        if (!home.openKey(store::programKey(QStringLiteral("FmHome"))))
            return {};
        return home.readString(QStringLiteral("HmTitle")).trimmed();
    } catch (const QuillmereError&) {
        return {}; // a store the main program cannot read either: the field stays to be filled
    }
}

void TFmHistory::restoreSettings()
{
    if (m_options.home.isEmpty())
        return;
    QSettings s(QDir(m_options.home).filePath(QStringLiteral("quillmere-history.ini")),
                QSettings::IniFormat);
    m_folder->setText(s.value(QStringLiteral("folder")).toString());
    m_monitor->setCurrentIndex(std::clamp(s.value(QStringLiteral("monitor"), 1).toInt(), 1, 3) - 1);
    if (s.contains(QStringLiteral("slots"))) {
        const QStringList on = s.value(QStringLiteral("slots")).toString().split(QLatin1Char(','));
        for (int k = 1; k <= history::Slots; ++k)
            m_slots[size_t(k - 1)]->setChecked(on.contains(QString::number(k)));
    }
    m_sv->setChecked(s.value(QStringLiteral("sv"), true).toBool());
    m_band->setValue(s.value(QStringLiteral("band"), 5.0).toDouble());
    m_reviewer->setText(s.value(QStringLiteral("reviewer")).toString());
    m_exportFolder = s.value(QStringLiteral("exports")).toString();
}

void TFmHistory::storeSettings() const
{
    if (m_options.home.isEmpty())
        return;
    QSettings s(QDir(m_options.home).filePath(QStringLiteral("quillmere-history.ini")),
                QSettings::IniFormat);
    QStringList on;
    for (int k : chosenSlots())
        on << QString::number(k);
    s.setValue(QStringLiteral("folder"), m_folder->text());
    s.setValue(QStringLiteral("monitor"), m_monitor->currentData().toInt());
    s.setValue(QStringLiteral("slots"), on.join(QLatin1Char(',')));
    s.setValue(QStringLiteral("sv"), m_sv->isChecked());
    s.setValue(QStringLiteral("band"), m_band->value());
    s.setValue(QStringLiteral("reviewer"), m_reviewer->text());
    s.setValue(QStringLiteral("exports"), m_exportFolder);
}

void TFmHistory::closeEvent(QCloseEvent* event)
{
    storeSettings();
    QWidget::closeEvent(event);
}
