#pragma once

#include <QStringList>

class QPagedPaintDevice;

// The printout of the alarm history, drawn on any paged device (a printer, or a PDF in the
// tests): portrait, the title "Alarm History" and the footer "Page1" on the first page, 40
// lines a page centred across it, "第<n>頁" at the foot of every later page. The device's
// orientation is set back as it was afterwards. Raises when the device cannot be painted on.
// An empty history draws nothing and starts no job.
void printAlarmHistory(QPagedPaintDevice& device, const QStringList& lines);

constexpr int AlarmHistoryLinesPerPage = 40;
