#include "ui/history/HistoryReport.h"

#include "audit/AuditChain.h"
#include "audit/AuditView.h"
#include "core/QuillmereError.h"

#include <QDir>
#include <QFileInfo>

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

// Columns of a table as wide as their widest cell, the last taking what is left.
QList<int> columnWidths(const QFontMetrics& fm, const QStringList& header,
                        const QList<QStringList>& rows, int width)
{
    QList<int> widths;
    for (int c = 0; c < header.size(); ++c) {
        int w = fm.horizontalAdvance(header[c]);
        for (const QStringList& row : rows)
            if (c < row.size())
                w = std::max(w, fm.horizontalAdvance(row[c]));
        widths << w + fm.averageCharWidth() * 3;
    }
    int used = 0;
    for (int c = 0; c + 1 < widths.size(); ++c)
        used += widths[c];
    if (!widths.isEmpty())
        widths.last() = std::max(widths.last(), width - used);
    return widths;
}

} // namespace

QList<QStringList> alarmsRaised(const QString& auditFolder, int monitor,
                                const std::vector<int>& chosen, qint64 t0, qint64 t1, QString* note)
{
    QList<QStringList> rows;
    const QString shown = QDir::toNativeSeparators(auditFolder);
    if (auditFolder.isEmpty() || !QFileInfo(auditFolder).isDir()) {
        *note = QStringLiteral("No audit trail at hand: the alarms are not listed.");
        return rows;
    }
    audit::AuditFilter filter;
    filter.from = QDateTime::fromMSecsSinceEpoch(t0, Qt::UTC);
    filter.to = QDateTime::fromMSecsSinceEpoch(t1, Qt::UTC);
    filter.kind = audit::kind::AlarmRaised;
    filter.monitor = monitor;
    const auto entries = audit::filterEntries(audit::readEntries(auditFolder), filter);
    // Oldest first, as a report reads.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        if (std::find(chosen.begin(), chosen.end(), it->slot()) == chosen.end())
            continue;
        rows << QStringList{audit::localTimeText(*it), QString::number(it->monitor()),
                            QString::number(it->slot()),
                            it->details.value(QStringLiteral("alarm")).toString(),
                            it->details.value(QStringLiteral("count")).toString()};
    }
    *note =
        rows.isEmpty()
            ? QStringLiteral("No alarm was raised for these slots in the period (audit trail %1).")
                  .arg(shown)
            : QStringLiteral("From the audit trail %1.").arg(shown);
    return rows;
}

void printHistoryReport(QPagedPaintDevice& device, const HistoryReportContent& content,
                        const std::function<void(QPainter&, const QRect&)>& drawChart)
{
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&device))
        throw QuillmereError(QStringLiteral(
            "The history report cannot be printed: the printer or file cannot be opened."));
    const QFont font(QStringLiteral("DejaVu Sans"), 9);
    QFont bold = font;
    bold.setBold(true);
    QFont heading = bold;
    heading.setPointSize(14);
    painter.setFont(font);
    const QFontMetrics fm(font, &device);
    const QRect page = painter.viewport().adjusted(0, 0, -1, -1);
    const int line = fm.height() + fm.height() / 4;
    int y = 0;

    const auto newPageIfBelow = [&](int needed) {
        if (y + needed <= page.height())
            return;
        device.newPage();
        y = 0;
    };
    const auto text = [&](const QString& s, const QFont* f = nullptr) {
        painter.setFont(f ? *f : font);
        const int h = QFontMetrics(painter.font(), &device).height() + fm.height() / 4;
        newPageIfBelow(h);
        painter.drawText(QRect(0, y, page.width(), h), Qt::AlignLeft | Qt::AlignVCenter, s);
        y += h;
        painter.setFont(font);
    };
    const auto table = [&](const QStringList& header, const QList<QStringList>& rows) {
        const QList<int> widths = columnWidths(fm, header, rows, page.width());
        const auto row = [&](const QStringList& cells, bool isHeader) {
            newPageIfBelow(line);
            painter.setFont(isHeader ? bold : font);
            int x = 0;
            for (int c = 0; c < cells.size() && c < widths.size(); ++c) {
                painter.drawText(QRect(x, y, widths[c], line), Qt::AlignLeft | Qt::AlignVCenter,
                                 cells[c]);
                x += widths[c];
            }
            y += line;
            if (isHeader) {
                painter.drawLine(0, y - 1, x, y - 1);
                painter.setFont(font);
            }
        };
        row(header, true);
        for (const QStringList& cells : rows)
            row(cells, false);
    };

    text(content.title.trimmed().isEmpty()
             ? QStringLiteral("History report")
             : content.title.trimmed() + QStringLiteral(" — History report"),
         &heading);
    text(content.subject);
    text(QStringLiteral("Period: ") + content.period);
    if (!content.compared.isEmpty())
        text(QStringLiteral("Compared with: ") + content.compared +
             QStringLiteral(" (lighter lines, times from each period's start)"));
    y += line / 2;
    const int chartHeight = std::min(page.height() / 2, page.height() - y - line * 6);
    drawChart(painter, QRect(0, y, page.width(), chartHeight));
    painter.setFont(font);
    y += chartHeight + line / 2;

    text(QStringLiteral("Statistics of the period shown"), &bold);
    table(content.statisticsHeader, content.statistics);
    y += line;

    text(QStringLiteral("Alarms raised in the period"), &bold);
    if (!content.alarmsNote.isEmpty())
        text(content.alarmsNote);
    if (!content.alarms.isEmpty())
        table({QStringLiteral("Time"), QStringLiteral("Monitor"), QStringLiteral("Slot"),
               QStringLiteral("Alarm"), QStringLiteral("Count")},
              content.alarms);
    y += line * 2;

    newPageIfBelow(line * 4);
    text(QStringLiteral("Reviewed by (name): %1")
             .arg(content.reviewer.trimmed().isEmpty() ? QStringLiteral("______________________")
                                                       : content.reviewer.trimmed()));
    y += line;
    text(QStringLiteral("Signature: ______________________    Date: ____________"));
    painter.end();
}
