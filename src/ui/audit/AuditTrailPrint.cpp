#include "ui/audit/AuditTrailPrint.h"

#include "audit/AuditView.h"
#include "core/QuillmereError.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

void printAuditTrail(QPagedPaintDevice& device, const QString& plantTitle, const QString& range,
                     const QString& chainState, const std::vector<audit::AuditEntry>& entries)
{
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&device))
        throw QuillmereError(QStringLiteral(
            "The audit trail cannot be printed: the printer or file cannot be opened."));
    QFont font(QStringLiteral("DejaVu Sans"), 8);
    painter.setFont(font);
    const QRect page = painter.viewport().adjusted(0, 0, -1, -1);
    const int line = QFontMetrics(font, &device).height() + 2;
    int page_no = 1;
    int y = 0;
    const auto header = [&] {
        y = 0;
        QFont bold = font;
        bold.setBold(true);
        bold.setPointSize(12);
        painter.setFont(bold);
        painter.drawText(QRect(0, y, page.width(), line * 2), Qt::AlignLeft | Qt::AlignVCenter,
                         plantTitle + QStringLiteral(" — Audit Trail"));
        painter.setFont(font);
        y += line * 2;
        painter.drawText(0, y,
                         QStringLiteral("Range: %1    Chain: %2    Page %3")
                             .arg(range, chainState)
                             .arg(page_no));
        y += line * 2;
    };
    header();
    for (const audit::AuditEntry& e : entries) {
        if (y + line > page.height() - line * 4) {
            device.newPage();
            ++page_no;
            header();
        }
        const QStringList c = audit::columns(e);
        const QString text = QStringLiteral("%1  %2  M%3 S%4  %5  (%6@%7)")
                                 .arg(c[0], c[1], c[2], c[3], c[4], c[5], c[6]);
        painter.drawText(
            QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::TextSingleLine,
            QFontMetrics(font, &device).elidedText(text, Qt::ElideRight, page.width()));
        y += line;
    }
    y += line * 2;
    painter.drawText(0, y, QStringLiteral("%1 entries.").arg(entries.size()));
    y += line * 2;
    painter.drawText(0, y,
                     QStringLiteral("Reviewed by (name): ______________________    Signature: "
                                    "______________________    Date: ____________"));
    painter.end();
}
