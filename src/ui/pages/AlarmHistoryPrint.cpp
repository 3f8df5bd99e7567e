#include "ui/pages/AlarmHistoryPrint.h"

#include "core/QuillmereError.h"

#include <QFontMetrics>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

// Text is placed by its top left corner, as the layout is given; QPainter wants a baseline.
void drawAt(QPainter& painter, int x, int y, const QString& text)
{
    painter.drawText(x, y + painter.fontMetrics().ascent(), text);
}

int centred(int pageWidth, const QFontMetrics& metrics, const QString& text)
{
    return (pageWidth - metrics.horizontalAdvance(text)) / 2;
}

void setPointSize(QPainter& painter, int points)
{
    QFont font = painter.font();
    font.setPointSize(points);
    painter.setFont(font);
}

} // namespace

void printAlarmHistory(QPagedPaintDevice& device, const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    const QPageLayout::Orientation remembered = device.pageLayout().orientation();
    device.setPageOrientation(QPageLayout::Portrait);
    // Whatever happens on the way, the device is handed back as it came.
    struct Restore
    {
        QPagedPaintDevice& device;
        QPageLayout::Orientation orientation;
        ~Restore() { device.setPageOrientation(orientation); }
    } restore{device, remembered};

    QPainter painter;
    if (!painter.begin(&device))
        throw QuillmereError(QStringLiteral("The print job could not be started."));
    const int w = device.width();
    const int h = device.height();

    setPointSize(painter, 24);
    const QString title = QStringLiteral("Alarm History");
    const int titleHeight = painter.fontMetrics().height();
    drawAt(painter, centred(w, painter.fontMetrics(), title), titleHeight, title);
    const int top = 3 * titleHeight;

    setPointSize(painter, 12);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString firstFooter = QStringLiteral("Page1");
    drawAt(painter, centred(w, metrics, firstFooter), h - metrics.height(), firstFooter);

    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0 && i % AlarmHistoryLinesPerPage == 0) {
            device.newPage();
            const int n = (i + 1) / AlarmHistoryLinesPerPage + 1;
            // Placed as if it read "Page<n>", two text heights up: where it has always been.
            const QString measured = QStringLiteral("Page%1").arg(n);
            drawAt(painter, centred(w, metrics, measured), h - 2 * metrics.height(),
                   QStringLiteral("第%1頁").arg(n));
        }
        const int lineHeight = int(1.5 * metrics.height());
        drawAt(painter, centred(w, metrics, lines[i]),
               top + (i % AlarmHistoryLinesPerPage) * lineHeight, lines[i]);
    }
    if (!painter.end())
        throw QuillmereError(QStringLiteral("The print job could not be finished."));
}
