#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QPagedPaintDevice;
class QPainter;
class QRect;

// What the printed history report holds besides the chart.
struct HistoryReportContent
{
    QString title;    // the company title
    QString subject;  // "Monitor2, slots 1, 3, 5"
    QString period;   // the shown period
    QString compared; // the period overlaid, empty when none
    QStringList statisticsHeader;
    QList<QStringList> statistics;
    QString alarmsNote;        // where the alarms come from, or why there are none
    QList<QStringList> alarms; // time, Monitor, slot, alarm, count
    QString reviewer;          // the name typed in, may be empty
};

// The alarms raised for the `chosen` slots of `monitor` within [t0, t1] (UTC ms) as the audit
// trail in `auditFolder` holds them, oldest first, as report rows; `note` says where they come
// from, or why none are listed.
QList<QStringList> alarmsRaised(const QString& auditFolder, int monitor,
                                const std::vector<int>& chosen, qint64 t0, qint64 t1,
                                QString* note);

// The report on any paged device (a printer, or a PDF file): landscape; the title, subject and
// period at the top, the chart (drawn by `drawChart` into the rectangle it is given), the
// statistics table; then the alarms raised in the period, and a line for the reviewer's name,
// signature and date at the end. Raises when the device cannot be painted on.
void printHistoryReport(QPagedPaintDevice& device, const HistoryReportContent& content,
                        const std::function<void(QPainter&, const QRect&)>& drawChart);
