#pragma once

#include "engine/LineStatistics.h"

#include <QLabel>
#include <QList>
#include <QPair>
#include <QString>

// Named texts that other features show after the lines' summary, in the order first given.
using StatusSegments = QList<QPair<QString, QString>>;

// For each line, the slots that answer (not lost, a value held: what the tiles show) out of
// its ten, and the port's error while it has one: "Monitor1 10/10  Monitor2 9/10  Monitor3
// 0/10 (port error: COM3 /dev/ttyUSB2: No such device)"; then the segments, two spaces apart.
QString statusLineText(const EngineStatistics& stats, const StatusSegments& segments = {});

// The status line along the bottom of the main window. It shows what it is given: the main
// window hands it a statistics copy at its refresh tick (setStatistics), and later features
// put their own states after the lines (setSegment). A click asks for the statistics window.
class StatusLine : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLine(QWidget* parent = nullptr);

    // A copy from TCommController::statisticsCopy().
    void setStatistics(const EngineStatistics& stats);
    // Adds the segment `key`, replaces its text in place, or removes it when `text` is empty.
    void setSegment(const QString& key, const QString& text);
    QString segment(const QString& key) const;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showText();

    EngineStatistics m_stats;
    StatusSegments m_segments;
};
