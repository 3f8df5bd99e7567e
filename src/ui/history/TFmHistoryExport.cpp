// The history viewer's exports: the CSV of the part shown and the printed report.
#include "ui/history/TFmHistory.h"

#include "core/QuillmereError.h"
#include "ui/DialogService.h"
#include "ui/history/HistoryPlot.h"
#include "ui/history/HistoryReport.h"
#include "ui/history/TimeAxis.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr int A = 0;
constexpr int B = 1;

// `path` lies in `folder` or below it.
bool isInside(const QString& path, const QString& folder)
{
    const QString dir = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    const QString base = QFileInfo(folder).canonicalFilePath();
    return !base.isEmpty() && !dir.isEmpty() &&
           (dir == base || dir.startsWith(base + QLatin1Char('/')));
}

} // namespace

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
    m_dialogs.message(this, caption(),
                      QStringLiteral("%1 lies in the record folder, which the viewer never writes "
                                     "into: choose another folder.")
                          .arg(QDir::toNativeSeparators(path)),
                      DialogService::Icon::Warning);
    return true;
}

void TFmHistory::BtnCsvClick()
{
    if (!m_plot->data(A)) {
        m_dialogs.message(this, caption(),
                          QStringLiteral("Nothing to export: show a period first."));
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
        m_dialogs.message(this, caption(),
                          QStringLiteral("%1 was not written: %2")
                              .arg(QDir::toNativeSeparators(path), file.errorString()),
                          DialogService::Icon::Warning);
}

void TFmHistory::BtnPdfClick()
{
    if (!m_plot->data(A)) {
        m_dialogs.message(this, caption(),
                          QStringLiteral("Nothing to report: show a period first."));
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
    content.statisticsHeader[5] +=
        QStringLiteral(" (%1)").arg(QLocale::system().toString(m_band->value(), 'f', 1));
    content.statistics = statisticsRows();
    content.reviewer = m_reviewer->text();

    content.alarms = alarmsRaised(m_options.auditFolder, m_results[A]->monitor, chosenSlots(),
                                  m_plot->origin(A) + m_plot->viewStart(),
                                  m_plot->origin(A) + m_plot->viewEnd(), &content.alarmsNote);
    try {
        printHistoryReport(printer, content,
                           [this](QPainter& p, const QRect& r) { m_plot->draw(p, r); });
        if (!printer.outputFileName().isEmpty())
            m_exportFolder = QFileInfo(printer.outputFileName()).absolutePath();
    } catch (const QuillmereError& error) {
        m_dialogs.message(this, caption(), error.message(), DialogService::Icon::Warning);
    }
}
